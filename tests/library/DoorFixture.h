#pragma once
#include "Door8096.h"
#include "FakePort.h"

#include "ui/ScriptedUi.h"

#include <QTemporaryDir>
#include <QTimeZone>
#include <gtest/gtest.h>
#include <memory>

namespace vantrel::test {

// A controller object on a scripted port, its settings file in a temporary folder.
class DoorFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A UTC clock moves without looking up the local time zone on every step.
        ui.setNow(QDateTime(QDate(2026, 1, 5), QTime(9, 0), Qt::UTC));
        makeDoor();
    }

    void makeDoor()
    {
        door.reset();
        auto p = std::make_unique<FakePort>(ui);
        port = p.get();
        door = std::make_unique<Door8096Core>(dir.path(), std::move(p));
    }

    // The 131-byte status block of command 0x10.
    static QByteArray statusBlock(int address, int cards, int records)
    {
        QByteArray b(131, '\0');
        b[0] = char(address);
        b[50] = char(cards >> 8);
        b[51] = char(cards & 0xFF);
        b[52] = char(records >> 8);
        b[53] = char(records & 0xFF);
        return b;
    }

    void reply(const QByteArray& b, int64_t delayMs = 0) { port->replies.push_back(Reply{b, delayMs}); }
    void silence() { port->replies.push_back(std::nullopt); }

    ui::ScriptedUi ui;
    QTemporaryDir dir;
    FakePort* port = nullptr;
    std::unique_ptr<Door8096Core> door;
};

} // namespace vantrel::test
