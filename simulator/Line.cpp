#include "Line.h"
#include "StateReader.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSet>

#include <vector>

namespace sim {

namespace {
// 11 bit times at 19200 baud, kept in nanoseconds so long runs do not drift.
constexpr int64_t kCharNs = 11LL * 1'000'000'000 / 19200;

// The first key that one object of well-formed JSON text gives twice, else
// empty. The JSON reader keeps only the last of them, and saving would drop
// the others.
QString keyGivenTwice(const QByteArray& text)
{
    struct Open {
        bool object;
        QSet<QString> keys;
    };
    std::vector<Open> open;
    bool keyNext = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '{' || c == '[') {
            open.push_back({c == '{', {}});
            keyNext = c == '{';
        } else if (c == '}' || c == ']') {
            open.pop_back();
        } else if (c == ',') {
            keyNext = open.back().object;
        } else if (c == '"') {
            const qsizetype start = i;
            while (text[++i] != '"')
                if (text[i] == '\\')
                    ++i;   // the escaped character
            if (!keyNext)
                continue;
            keyNext = false;
            const QByteArray quoted = text.mid(start, i + 1 - start);
            // A key with escapes is read as the JSON reader reads it.
            const QString key = quoted.contains('\\')
                                  ? QJsonDocument::fromJson('[' + quoted + ']').array().at(0).toString()
                                  : QString::fromUtf8(quoted.mid(1, quoted.size() - 2));
            if (open.back().keys.contains(key))
                return key;
            open.back().keys.insert(key);
        }
    }
    return {};
}
} // namespace

Line::~Line()
{
    if (!name_.isEmpty() && serial::inprocLine(name_) == this)
        serial::registerInprocLine(name_, nullptr);
}

Controller& Line::adopt(std::unique_ptr<Controller> c)
{
    Controller& ref = *c;
    ref.onChange = [this] {
        if (onChange)
            onChange();
    };
    controllers_[ref.address()] = std::move(c);
    return ref;
}

Controller& Line::add(uint8_t address, int capacity)
{
    if (Controller* c = controller(address))
        return *c;
    Controller& c = adopt(std::make_unique<Controller>(address, capacity));
    if (onChange)
        onChange();
    return c;
}

Controller* Line::controller(int address)
{
    auto it = controllers_.find(address);
    return it == controllers_.end() ? nullptr : it->second.get();
}

void Line::remove(int address)
{
    if (controllers_.erase(address) && onChange)
        onChange();
}

std::vector<Controller*> Line::controllers()
{
    std::vector<Controller*> out;
    for (auto& [a, c] : controllers_)
        out.push_back(c.get());
    return out;
}

void Line::registerAs(const QString& name)
{
    if (!name_.isEmpty() && serial::inprocLine(name_) == this)
        serial::registerInprocLine(name_, nullptr);
    name_ = name;
    serial::registerInprocLine(name, this);
}

void Line::clearLog()
{
    sent_.clear();
    for (auto& [a, c] : controllers_)
        c->clearLog();
}

void Line::fromPort(const std::vector<serial::LineByte>& bytes, int64_t nowMs)
{
    int64_t t = nowMs * 1'000'000;
    for (const serial::LineByte& b : bytes) {
        if (lineSpeed_) {
            t = std::max(t, inFreeNs_) + kCharNs;
            inFreeNs_ = t;
        }
        sent_.push_back(b);
        for (auto& [a, c] : controllers_)
            if (auto reply = c->onByte(b))
                schedule(*reply, t);
    }
}

void Line::schedule(const Reply& r, int64_t startNs)
{
    int64_t t = startNs;
    bool first = true;
    for (const Reply::Piece& p : r.pieces) {
        t += int64_t(p.gapMs) * 1'000'000;
        if (first || lineSpeed_)
            t = std::max(t, outFreeNs_); // one character at a time on the line
        first = false;
        for (char c : p.bytes) {
            if (lineSpeed_)
                t += kCharNs;
            out_.push_back({{uint8_t(c), false}, t});
        }
        outFreeNs_ = std::max(outFreeNs_, t);
    }
    std::stable_sort(out_.begin(), out_.end(), [](const Timed& a, const Timed& b) { return a.atNs < b.atNs; });
}

std::vector<serial::LineByte> Line::toPort(int64_t nowMs)
{
    std::vector<serial::LineByte> out;
    while (!out_.empty() && out_.front().atNs <= nowMs * 1'000'000) {
        out.push_back(out_.front().byte);
        out_.pop_front();
    }
    return out;
}

int64_t Line::nextToPortAt() const
{
    if (out_.empty())
        return -1;
    return (out_.front().atNs + 999'999) / 1'000'000;
}

QJsonObject Line::toJson() const
{
    QJsonArray list;
    for (const auto& [a, c] : controllers_)
        list.append(c->toJson());
    return QJsonObject{{QStringLiteral("controllers"), list}, {QStringLiteral("lineSpeed"), lineSpeed_}};
}

QString Line::fromJson(const QJsonObject& o)
{
    controllers_.clear();
    out_.clear();
    StateReader read;
    lineSpeed_ = read.flag(o, "lineSpeed");
    for (const QJsonValue& v : read.list(o, "controllers")) {
        auto c = Controller::fromJson(read.object(v, "controllers"), read);
        if (controllers_.count(c->address()))
            read.fail("address"); // a second controller would replace the first
        if (!read.why.isEmpty())
            break;
        adopt(std::move(c));
    }
    if (!read.why.isEmpty())
        controllers_.clear();
    return read.why;
}

bool Line::save(const QString& path, QString* why) const
{
    QSaveFile f(path);
    // Unbuffered, so that a full disk or a size limit shows at a write, the
    // system's reason with it.
    if (f.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        const QByteArray text = QJsonDocument(toJson()).toJson(QJsonDocument::Indented);
        qint64 done = 0, n = 0;
        // A short write leaves no reason: the write of the rest then fails with one.
        while (done < text.size() && (n = f.write(text.constData() + done, text.size() - done)) > 0)
            done += n;
        if (done == text.size() && f.commit())
            return true;
    }
    if (why)
        *why = f.errorString();
    return false;
}

bool Line::load(const QString& path, QString* why)
{
    QFile f(path);
    const QFileInfo info(path);
    QJsonParseError err{};
    QJsonDocument doc;
    QByteArray text;
    QString reason, field;
    if (info.isDir())
        reason = QStringLiteral("it is a folder");
    else if (info.exists() && !info.isFile())   // a FIFO would wait for a writer forever
        reason = QStringLiteral("it is not a regular file");
    else if (!f.open(QIODevice::ReadOnly))
        reason = f.errorString();
    else if (text = f.readAll(), doc = QJsonDocument::fromJson(text, &err); err.error != QJsonParseError::NoError)
        reason = QStringLiteral("%1 at offset %2").arg(err.errorString()).arg(err.offset);
    else if (!doc.isObject())
        reason = QStringLiteral("it holds no JSON object");
    else if (field = keyGivenTwice(text); !field.isEmpty())
        reason = QStringLiteral("the key \"%1\" is given twice in one object").arg(field);
    else if (field = fromJson(doc.object()); !field.isEmpty())
        reason = QStringLiteral("a bad value in \"%1\"").arg(field);
    if (why)
        *why = reason;
    return reason.isEmpty();
}

bool mapPort(const QString& configDir, int number, const QString& target)
{
    const QString path = QDir(configDir).filePath(QStringLiteral("serialports.conf"));
    QStringList lines;
    QFile in(path);
    if (in.open(QIODevice::ReadOnly | QIODevice::Text)) {
        for (const QString& l : QString::fromUtf8(in.readAll()).split(QLatin1Char('\n'))) {
            const int eq = l.indexOf(QLatin1Char('='));
            bool ok = false;
            if (eq > 0 && l.left(eq).trimmed().toInt(&ok) == number && ok)
                continue;
            if (!l.trimmed().isEmpty() || !lines.isEmpty())
                lines << l;
        }
        in.close();
    }
    while (!lines.isEmpty() && lines.last().trimmed().isEmpty())
        lines.removeLast();
    lines << QStringLiteral("%1=%2").arg(number).arg(target);
    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write((lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    return out.commit();
}

} // namespace sim
