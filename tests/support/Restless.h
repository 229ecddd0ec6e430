#pragma once
// The program's restlessness on the bench. In the program the library lets
// the window's events run while a command waits for its controller, so the
// operator can click anything in the middle of a run; the instant bench never
// gets there. Started, this mode gives the tests what the program has:
//   - the waits of the library run the pending window events;
//   - a click comes from a real event loop (click()), so a window unloaded
//     meanwhile is destroyed when the program would destroy it;
//   - the operator acts at a chosen moment of a run (at()): the action is an
//     event delivered during the wait of that call, or as soon as events run
//     after it for a call that does not let them run.
// With a controller that answers late or never (sim::Fault) the waits last.
//
//     restless.start();
//     c.inject(sim::Fault::noAnswer(kCardSend, 0));
//     restless.at("CardSendToMachine", 2, [&] { w->close(); });   // the close box
//     restless.click([&] { w->CmdSendCard_Click(); });
//     EXPECT_EQ(restless.mostAtOnce(), 1);   // never two commands on the line
#include "ui/ScriptedUi.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>

class Restless {
public:
    explicit Restless(ui::ScriptedUi& ui) : ui_(ui) {}
    ~Restless();
    Restless(const Restless&) = delete;
    Restless& operator=(const Restless&) = delete;

    void start();
    bool started() const { return started_; }

    // Acts once the nth call (1-based) of member (any letter case) has begun.
    void at(const QString& member, int nth, std::function<void()> act);
    // Runs act as the program runs a click: from the event loop. Returns
    // when it is done and the events it left behind (a window's destruction
    // among them) have run.
    void click(const std::function<void()>& act);

    // The most controller calls under way at one moment (1 when commands
    // never interleaved, 0 when none was made).
    int mostAtOnce() const { return most_; }
    // Calls of member begun so far.
    int begun(const QString& member) const { return begun_.value(member.toLower()); }
    // Actions of at() carried out so far.
    int acted() const { return acted_; }
    // Forgets the actions and counts, for the next run of a table.
    void reset();

private:
    struct Act {
        QString member;
        int nth = 0;
        std::function<void()> act;
        bool armed = false;
        bool posted = false;
    };
    void postArmed();

    ui::ScriptedUi& ui_;
    bool started_ = false;
    QList<Act> acts_;
    QHash<QString, int> begun_;
    int most_ = 0;
    int acted_ = 0;
};
