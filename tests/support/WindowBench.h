#pragma once
// The bench every window test of the management program stands on:
//
//   - a program folder in a temporary directory with the shipped "door.mdb",
//     "Public.Sys", "basedata/" and "SendData/", the shared handles open;
//   - the real controller library, copied into that folder, registered and
//     created by its identifier as the login does (mdl::Door), with port 1
//     mapped to a simulated line in process (controller(address) puts a
//     virtual controller on it; PortNumber is 1, CommandDelay 0);
//   - a trace of every call the program makes on mdl::Door: the member as
//     spelt, the arguments after coercion, by-reference results, the result;
//   - scripted message boxes and file dialogs, a fixed clock (Tuesday
//     2026-12-08 09:30:00 local time), instant sleeps, the program end
//     recorded instead of happening;
//   - instant by default: the simulated line answers at once and no event
//     runs during a wait; restless.start() gives the program's
//     restlessness to tests that act in the middle of a run (Restless.h).
//
//     class FrmdoorsTest : public WindowBench {};
//     TEST_F(FrmdoorsTest, AddsADoor) {
//         controller(3);
//         auto* w = ui::forms::load<Frmdoors>();
//         w->Text1->setText("3");
//         w->Command1_Click();
//         EXPECT_EQ(scripted.lastMessage(), "...");
//         EXPECT_EQ(callsOf("SetTime").size(), 1);
//         EXPECT_EQ(value("SELECT COUNT(*) FROM doors"), 1);
//     }
#include "CoreTestSupport.h"
#include "Restless.h"

#include "Controller.h"
#include "Line.h"
#include "com/Com.h"
#include "ui/Form.h"
#include "db/Db.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <functional>

// Copies the controller library into folder and registers it there under its
// identifier (the registry root must already point where the test wants it).
// Fails the test when it cannot.
void registerVantrelCopy(const QString& folder);

struct TracedCall {
    QString member;     // as the caller spelt it
    com::Args args;     // after coercion, defaults filled in
    com::Args after;    // the same after the call: by-reference results
    com::Variant result;
    bool raised = false;

    // Argument i as text / as a number (empty / 0 past the end).
    QString arg(size_t i) const;
    long long num(size_t i) const;
    // "Member(a, b, c)" with every argument as text, for whole-trace checks.
    QString text() const;
};

class WindowBench : public ProgramFolderTest {
protected:
    sim::Line line;
    Restless restless{scripted};

    void SetUp() override;
    void TearDown() override;
    // The bench's clock at the start of a test (Tuesday 2026-12-08 09:30:00).
    static QDateTime benchNow();

    // The virtual controller at address on port 1 (added on first use).
    sim::Controller& controller(int address);

    // The program's calls on mdl::Door since SetUp or the last clearTrace().
    const QList<TracedCall>& trace() const { return trace_; }
    // Calls of one member (any letter case), in order.
    QList<TracedCall> callsOf(const QString& member) const;
    // Member names in call order.
    QStringList members() const;
    // Every call as TracedCall::text(), in order.
    QStringList traceText() const;
    void clearTrace() { trace_.clear(); }
    // Runs after each traced call (a test can inject a fault for the next one).
    std::function<void(const TracedCall&)> onCall;
    // From the nth controller command on (opening and closing the port not
    // counted), no controller on the line answers any more (uses onCall).
    void silenceFrom(int nth);

    // The program folder's database, through a handle of the test's own.
    void exec(const QString& sql, const QVariantList& params = {});
    QList<QVariantList> rows(const QString& sql, const QVariantList& params = {});
    QVariant value(const QString& sql, const QVariantList& params = {});

    // Seeds: a department, a person (卡号 padded to 8 digits by the caller),
    // a door row with both lock names (empty text stores NULL).
    void addDepartment(const QString& name);
    void addPerson(const QString& number, const QString& name, const QString& department);
    void addDoor(int address, const QString& lock1 = QStringLiteral("前门"), const QString& lock2 = QString());

    // Texts of the message boxes shown so far.
    QStringList messageTexts() const;

    // What a run left behind, to hold an interrupted run against a calm one.
    struct RunRecord {
        QStringList calls;            // the trace as text
        QList<QVariantList> booked;   // rows of the test's query
        QStringList enabled;          // the window's buttons enabled afterwards
        bool open = false;            // the window is still loaded
        int acted = 0;                // interruptions carried out
        int mostAtOnce = 0;           // controller calls under way at once
    };
    // Restless: clicks start (from the event loop) on a freshly cleared
    // trace; act, when given, comes once the nth call of member has begun.
    RunRecord recordRun(ui::Form* window, const std::function<void()>& start, const QString& member, int nth,
                        const std::function<void()>& act, const QString& bookedSql);

    // One thing the operator does in the middle of a run.
    template <class W>
    struct Interruption {
        const char* name;
        std::function<void(W*)> act;
    };
    // A table of interruptions of one run: the run once calm, then once per
    // interruption, which must leave the window open until the run is over
    // and change nothing of what the calm run sent, booked and gave back;
    // afterwards exit closes the window. prepare() sets the world up afresh
    // and returns the loaded window; booked is the query of what the run books.
    template <class W>
    void holdsItsRuns(const QString& booked, const char* runName, const std::function<W*()>& prepare,
                      const std::function<void(W*)>& start, const QString& member, int nth,
                      const QList<Interruption<W>>& interruptions, const std::function<void(W*)>& exit)
    {
        W* w = prepare();
        const RunRecord calm = recordRun(w, [&] { start(w); }, member, nth, nullptr, booked);
        ASSERT_TRUE(calm.open) << runName;
        EXPECT_EQ(calm.mostAtOnce, 1) << runName;
        ASSERT_GE(restless.begun(member), nth) << runName << ": the run never got there\n"
                                               << calm.calls.join('\n').toStdString();
        for (const Interruption<W>& i : interruptions) {
            SCOPED_TRACE(std::string(runName) + ", " + i.name);
            w = prepare();
            const RunRecord r = recordRun(w, [&] { start(w); }, member, nth, [&] { i.act(w); }, booked);
            EXPECT_EQ(r.acted, 1);
            ASSERT_TRUE(r.open);
            EXPECT_EQ(r.mostAtOnce, 1);
            EXPECT_EQ(r.calls, calm.calls);
            EXPECT_EQ(r.booked, calm.booked);
            EXPECT_EQ(r.enabled, calm.enabled);
            const QPointer<W> alive(w);
            restless.click([&] { exit(w); });
            EXPECT_TRUE(alive.isNull());
        }
    }

private:
    QList<TracedCall> trace_;
    db::Database db_;
    QString lineName_;
};
