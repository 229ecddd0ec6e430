// Every command fed thousands of random, truncated and over-long replies:
// no crash, no wait beyond the time-out, only the failure value or a
// well-formed result.
#include "DoorFixture.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <random>

using namespace vantrel;
using namespace vantrel::test;

namespace {

class RandomReplies : public DoorFixture {
protected:
    std::mt19937 rng{20260323};

    int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

    // A reply for an awaited length n from address a: random bytes, or a
    // well-formed frame (address, checksum) cut short, exact or too long.
    Reply randomReply(int a, int n, int timeoutMs)
    {
        QByteArray b;
        const int kind = pick(0, 3);
        const int len = kind == 0 ? pick(0, n + 10) : kind == 1 ? pick(0, n - 1) : kind == 2 ? n : n + pick(1, 20);
        for (int i = 0; i < len; ++i)
            b.append(char(pick(0, 255)));
        if (kind != 0 && n >= 2) {
            QByteArray frame(n, '\0');
            for (int i = 0; i < n; ++i)
                frame[i] = char(pick(0, 3) == 0 ? pick(0, 255) : pick(0, 2) == 0 ? 0xFF : pick(0, 0x60));
            frame[0] = char(pick(0, 4) == 0 ? pick(0, 255) : a);
            frame = withChecksum(frame.left(n - 1));
            b = frame.left(std::min<int>(len, n)) + b.mid(n);
        }
        return Reply{b, pick(0, 5) == 0 ? pick(0, timeoutMs + 500) : pick(0, 50)};
    }

    void run(int rounds, int n, double timeoutS, const std::function<void()>& call)
    {
        for (int i = 0; i < rounds; ++i) {
            const int a = pick(0, 3);
            port->responder = [&, a](uint8_t, const QByteArray&) -> std::optional<Reply> {
                if (pick(0, 20) == 0)
                    return std::nullopt;
                return randomReply(a, n, int(timeoutS * 1000));
            };
            address = int16_t(a);
            const int64_t start = ui.monotonicMs();
            call();
            ASSERT_LE(ui.monotonicMs() - start, int64_t(timeoutS * 1000) + 100);
            ui.advanceMs(pick(0, 600)); // late bytes may land before the next command
        }
        ui.clearMessages();
    }

    static bool matches(const QString& s, const char* pattern)
    {
        return QRegularExpression(QRegularExpression::anchoredPattern(QString::fromLatin1(pattern))).match(s).hasMatch();
    }

    int16_t address = 1;
};

constexpr int kRounds = 2000;

TEST_F(RandomReplies, CountsAndClearing)
{
    run(kRounds, 131, 3, [&] {
        const int32_t r = door->GatherRecordSum(address);
        ASSERT_TRUE(r == -1 || (r >= 0 && r <= 32767));
    });
    run(kRounds, 131, 3, [&] {
        const int32_t r = door->GatherSendCardSum(address);
        ASSERT_TRUE(r == -1 || (r >= 0 && r <= 32767));
    });
    run(kRounds, 4, 10, [&] { door->ClearRecord(address); });
    run(kRounds, 4, 10, [&] { door->ClearNameList(address); });
}

TEST_F(RandomReplies, NameListCommands)
{
    run(kRounds, 6, 3, [&] {
        door->CardSendToMachine(address, "00001234", "0012345678", 1, 1, 0, 0, 0, "1111111", "991231",
                                "0000000000000001", "0000000000000001");
    });
    run(kRounds, 6, 3, [&] {
        const int16_t r = door->ClearName(address, "0012345678");
        ASSERT_TRUE(r >= -1 && r <= 255);
    });
    run(kRounds, 21, 2, [&] {
        QString line = "x";
        const bool ok = door->FindCard(address, "0012345678", line);
        ASSERT_TRUE(line.isEmpty() || (ok && matches(line, "\\d{10}/[0-9A-F]{8}/[01]{8}/[01]{7}/[0-9A-F]{6}/[01]{16}/[01]{16}")))
            << line.toStdString();
    });
    run(kRounds, 8, 3, [&] {
        QString all = "x";
        const QString r = door->ReadCardNum(address, &all);
        ASSERT_TRUE((r.isEmpty() && all.isEmpty()) || (matches(r, "\\d{10}") && matches(all, "[0-9A-F]{16}")));
    });
}

TEST_F(RandomReplies, TimeGroupsClockAndLocks)
{
    run(kRounds, 5, 3, [&] { door->SetTimeGroup(address, 1, 2, "0800-1730", 3); });
    run(kRounds, 112, 4, [&] {
        QString list = "x", modes;
        if (door->GetTimeGroup(address, list, &modes)) {
            ASSERT_TRUE(matches(list, "([0-9A-F]{8}){0,16}"));
            ASSERT_EQ(modes.size() * 8, list.size());
            ASSERT_TRUE(matches(modes, "[0-3]*"));
        } else {
            ASSERT_TRUE(list.isEmpty());
        }
    });
    run(kRounds, 4, 3, [&] { door->ModifyDateTime(address, "260323", "081530", 1); });
    run(kRounds, 4, 3, [&] { door->SetLockDelayTime(address, 5, 5, 5); });
    run(kRounds, 5, 2, [&] { door->OpenLock(address, 1); });
}

TEST_F(RandomReplies, StatusReaders)
{
    run(kRounds, 6, 1, [&] {
        QString s = "x";
        door->getLockStatus(address, s);
        ASSERT_TRUE(s.isEmpty() || matches(s, "[01]{2}"));
    });
    run(kRounds, 13, 1, [&] {
        QString s = "x";
        door->getDateTimeDelay(address, s);
        ASSERT_TRUE(s.isEmpty() || matches(s, "[0-9A-F]{12}\\d{9}"));
    });
    run(kRounds, 10, 1, [&] {
        QString s = "x";
        door->getCardLockStatus(address, s);
        ASSERT_TRUE(s.isEmpty() || matches(s, "\\d{10}[01]{2}[12]{2}"));
    });
    run(kRounds, 12, 2, [&] {
        QString s = "x";
        door->GetMachVer(address, s);
        ASSERT_TRUE(s.isEmpty() || matches(s, "[0-9A-F]{16}"));
    });
}

TEST_F(RandomReplies, Collections)
{
    const QString out = dir.path();
    for (int i = 0; i < 300; ++i) {
        const int a = pick(0, 2);
        const int n = pick(0, 40);
        const bool cards = i % 2 == 1;
        const int replyLen = cards ? 315 : 240;
        port->responder = [&, a, n](uint8_t, const QByteArray& f) -> std::optional<Reply> {
            if (uint8_t(f[1]) == 0x10) {
                QByteArray b(131, '\0');
                b[0] = char(a);
                b[51] = b[53] = char(n);
                return Reply{b, 0};
            }
            if (pick(0, 6) == 0)
                return std::nullopt;
            Reply r = randomReply(a, replyLen, 1000);
            // Mostly well-formed slots, so lines get written.
            if (r.bytes.size() >= replyLen && pick(0, 1) == 0) {
                const int slot = replyLen / 15;
                for (int k = 0; k < 15; ++k) {
                    QByteArray s = r.bytes.mid(k * slot, slot - 1);
                    s[0] = char(a);
                    r.bytes.replace(k * slot, slot, withChecksum(s));
                }
            }
            return r;
        };
        QString desc;
        int32_t back = -1, count = -1;
        const QString name = QString("f%1.txt").arg(i);
        const bool ok = cards ? door->GatherSendCardData(int16_t(a), out, name, desc, back, 1, pick(0, 1) == 1, 0)
                              : door->GatherData(int16_t(a), out, name, desc, back, 1, pick(0, 1) == 1, pick(0, 1) == 1,
                                                 &count, 0);
        if (!cards) {
            ASSERT_TRUE(count >= 0 && count <= n);
            ASSERT_EQ(back, count);
        }
        QFile f(out + "/" + name);
        if (back > 0) {
            ASSERT_TRUE(f.open(QIODevice::ReadOnly));
            const QList<QByteArray> lines = f.readAll().split('\n');
            ASSERT_EQ(lines.size(), back + 1);
            for (int k = 0; k < back; ++k) {
                const QString l = QString::fromLatin1(lines[k]);
                ASSERT_TRUE(l == "\r" || matches(l, cards ? "[0-9A-F]{8,10}/[0-9A-F]{8}/[01]{8}/[01]{7}/[0-9A-F]{6}/[01]{16}/[01]{16}\r"
                                                          : "\\d{3}[0-9A-F]{8,10}(20)?[0-9A-F]{16}\r"))
                    << l.toStdString();
            }
        } else {
            ASSERT_FALSE(f.exists());
        }
        ASSERT_TRUE(ok || !ui.messages.isEmpty() || desc == "user:overtime" || desc.isEmpty());
        ui.clearMessages();
    }
}

} // namespace
