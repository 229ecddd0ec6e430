// Code page 936 text and files.
#include "runtime/Gbk.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

TEST(Gbk, ChineseTextRoundTrips)
{
    const QString s = QStringLiteral("门禁管理系统 A1");
    QByteArray b = rt::toGbk(s);
    EXPECT_EQ(b.size(), 6 * 2 + 3);
    EXPECT_EQ(b.left(2), QByteArray("\xC3\xC5"));   // 门
    EXPECT_EQ(rt::fromGbk(b), s);
    EXPECT_EQ(rt::fromGbk(rt::toGbk(QString())), QString());
}

TEST(Gbk, LimitedTextNeverEndsInHalfACharacter)
{
    const QString s = QStringLiteral("a门禁b");
    EXPECT_EQ(rt::toGbkLimited(s, 100), rt::toGbk(s));
    EXPECT_EQ(rt::toGbkLimited(s, 3), rt::toGbk(QStringLiteral("a门")));
    EXPECT_EQ(rt::toGbkLimited(s, 4), rt::toGbk(QStringLiteral("a门")));
    EXPECT_EQ(rt::toGbkLimited(s, 2), QByteArray("a"));
    EXPECT_EQ(rt::toGbkLimited(QStringLiteral("门"), 1), QByteArray());
    EXPECT_EQ(rt::toGbkLimited(s, 0), QByteArray());
    EXPECT_EQ(rt::toGbkLimited(s, -5), QByteArray());
    // Whatever the cut, the result decodes back to a prefix of the text.
    for (int n = 0; n <= 7; ++n)
        EXPECT_TRUE(s.startsWith(rt::fromGbk(rt::toGbkLimited(s, n)))) << n;
}

TEST(Gbk, FilesAndLines)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("t.txt"));
    ASSERT_TRUE(rt::writeGbkFile(path, QStringLiteral("第一行\r\n二\n三\r\r\n")));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll().left(6), rt::toGbk(QStringLiteral("第一行")));
    QString text;
    ASSERT_TRUE(rt::readGbkFile(path, text));
    EXPECT_TRUE(text.startsWith(QStringLiteral("第一行\r\n")));
    QStringList lines;
    ASSERT_TRUE(rt::readGbkLines(path, lines));
    EXPECT_EQ(lines, (QStringList{QStringLiteral("第一行"), QStringLiteral("二"), QStringLiteral("三"), QString()}));
    EXPECT_FALSE(rt::readGbkFile(dir.filePath(QStringLiteral("none.txt")), text));
    EXPECT_FALSE(rt::readGbkLines(dir.filePath(QStringLiteral("none.txt")), lines));
    EXPECT_FALSE(rt::writeGbkFile(dir.filePath(QStringLiteral("no/such/dir.txt")), text));
}

} // namespace
