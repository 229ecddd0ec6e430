#include "WindowBench.h"

#include "Globals.h"
#include "registry/Registry.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>

#include <atomic>
#include <dlfcn.h>

QDateTime WindowBench::benchNow() { return QDateTime(QDate(2026, 12, 8), QTime(9, 30)); }

QString TracedCall::arg(size_t i) const
{
    return i < args.size() ? args[i].toString() : QString();
}

long long TracedCall::num(size_t i) const
{
    return i < args.size() ? args[i].toString().toLongLong() : 0;
}

QString TracedCall::text() const
{
    QStringList parts;
    for (const com::Variant& v : args)
        parts << v.toString();
    return member + QLatin1Char('(') + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
}

void registerVantrelCopy(const QString& folder)
{
    const QString lib = QDir(folder).filePath(QStringLiteral("libVantrel.so"));
    ASSERT_TRUE(QFile::exists(lib) || QFile::copy(QStringLiteral(VANTREL_PATH), lib));
    void* h = dlopen(lib.toLocal8Bit().constData(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(h, nullptr) << dlerror();
    auto registerServer = reinterpret_cast<com::DllRegisterServerFn>(dlsym(h, "DllRegisterServer"));
    ASSERT_NE(registerServer, nullptr);
    ASSERT_EQ(registerServer(), 0);
}

void WindowBench::SetUp()
{
    ProgramFolderTest::SetUp();
    openShared();
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("basedata")));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("SendData")));
    scripted.setNow(benchNow());

    // The library's settings file and port map live in its own folder, so
    // each test gets a copy of the library in its program folder.
    reg::setRootDirectory(dir.filePath(QStringLiteral("registry")));
    registerVantrelCopy(dir.path());
    if (HasFatalFailure())
        return;

    static std::atomic<int> serial{0};
    lineName_ = QStringLiteral("bench%1").arg(++serial);
    line.registerAs(lineName_);
    ASSERT_TRUE(sim::mapPort(dir.path(), 1, QStringLiteral("inproc:") + lineName_));

    mdl::Door = com::CreateObject(QStringLiteral("Vantrel.Door8096"));
    ASSERT_TRUE(bool(mdl::Door));
    mdl::PortNumber = 1;
    mdl::CommandDelay = 0;
    mdl::GatherWaitTime = 5;
    mdl::MachineVersion = QStringLiteral("JQ8096 V5.1.0");
    mdl::CurrentUser = QStringLiteral("admin");

    const com::IDispatch* door = mdl::Door.get();
    com::setCallObserver([this, door](const com::CallRecord& r) {
        if (r.object != door)
            return;
        trace_.append(TracedCall{r.member, r.args, r.after, r.result, r.raised});
        if (onCall)
            onCall(trace_.last());
    });
    db_ = db::Database::open(dir.filePath(QStringLiteral("door.mdb")));
    scripted.clearMessages();
}

void WindowBench::TearDown()
{
    onCall = {};   // may refer to the finished test's locals
    ProgramFolderTest::TearDown();   // unloads every window first
    com::setCallObserver({});
    mdl::Door.reset();
    db_.close();
    reg::setRootDirectory(QString());
}

sim::Controller& WindowBench::controller(int address)
{
    return line.add(uint8_t(address));
}

void WindowBench::silenceFrom(int nth)
{
    auto silence = [this] {
        for (sim::Controller* c : line.controllers())
            c->inject(sim::Fault::noAnswer(-1, 0));
    };
    if (nth <= 1) {
        silence();
        return;
    }
    onCall = [this, silence, left = nth - 1](const TracedCall& call) mutable {
        const QString m = call.member.toLower();
        if (m != QLatin1String("setport") && m != QLatin1String("destoryport") && --left == 0)
            silence();
    };
}

QList<TracedCall> WindowBench::callsOf(const QString& member) const
{
    QList<TracedCall> out;
    for (const TracedCall& c : trace_)
        if (c.member.compare(member, Qt::CaseInsensitive) == 0)
            out.append(c);
    return out;
}

QStringList WindowBench::members() const
{
    QStringList out;
    for (const TracedCall& c : trace_)
        out << c.member;
    return out;
}

QStringList WindowBench::traceText() const
{
    QStringList out;
    for (const TracedCall& c : trace_)
        out << c.text();
    return out;
}

void WindowBench::exec(const QString& sql, const QVariantList& params)
{
    db_.execute(sql, params);
}

QList<QVariantList> WindowBench::rows(const QString& sql, const QVariantList& params)
{
    QList<QVariantList> out;
    db::Recordset rs = db_.openRecordset(sql, params);
    while (!rs.eof()) {
        QVariantList row;
        for (int i = 0; i < rs.fieldCount(); ++i)
            row << rs.value(i);
        out << row;
        rs.moveNext();
    }
    return out;
}

QVariant WindowBench::value(const QString& sql, const QVariantList& params)
{
    const QList<QVariantList> r = rows(sql, params);
    return r.isEmpty() || r.first().isEmpty() ? QVariant() : r.first().first();
}

void WindowBench::addDepartment(const QString& name)
{
    exec(QStringLiteral("INSERT INTO department (部门) VALUES (?)"), {name});
}

void WindowBench::addPerson(const QString& number, const QString& name, const QString& department)
{
    exec(QStringLiteral("INSERT INTO people (卡号, 姓名, 部门) VALUES (?, ?, ?)"), {number, name, department});
}

void WindowBench::addDoor(int address, const QString& lock1, const QString& lock2)
{
    auto orNull = [](const QString& s) { return s.isEmpty() ? QVariant() : QVariant(s); };
    exec(QStringLiteral("INSERT INTO doors (地址, namedr1, delay1, namedr2, delay2, delay3) VALUES (?, ?, 3, ?, 3, 0)"),
         {address, orNull(lock1), orNull(lock2)});
}

QStringList WindowBench::messageTexts() const
{
    QStringList out;
    for (const ui::ShownMessage& m : scripted.messages)
        out << m.text;
    return out;
}

WindowBench::RunRecord WindowBench::recordRun(ui::Form* window, const std::function<void()>& start,
                                              const QString& member, int nth, const std::function<void()>& act,
                                              const QString& bookedSql)
{
    if (!restless.started())
        restless.start();
    restless.reset();
    clearTrace();
    scripted.setNow(benchNow());   // every run of a table at the same time
    if (act)
        restless.at(member, nth, act);
    const QPointer<ui::Form> w(window);
    restless.click(start);
    RunRecord r;
    r.calls = traceText();
    r.booked = rows(bookedSql);
    r.open = w && ui::forms::loaded().contains(w.data());
    if (w)
        for (const QAbstractButton* b : w->findChildren<QAbstractButton*>())
            if (b->isEnabled())
                r.enabled << b->objectName() + QLatin1Char(':') + b->text();
    r.acted = restless.acted();
    r.mostAtOnce = restless.mostAtOnce();
    return r;
}
