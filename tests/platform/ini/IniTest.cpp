// Private-profile reading and writing.
#include "ini/Ini.h"
#include "runtime/Gbk.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace {

class IniTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString file() const { return dir.filePath("Public.Sys"); }
    void put(const QByteArray& bytes)
    {
        QFile f(file());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray bytes() const
    {
        QFile f(file());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(IniTest, ReadsCaseInsensitivelyTrimmedAndUnquoted)
{
    put("; comment\r\n[Access]\r\n  Provider =  SQLite  \r\nDataBasePath=\" /data/door.mdb \"\r\nq='single'\r\nhalf=\"open\r\n"
        "[access]\r\nProvider=second\r\n[Other]\r\nkey=v\r\n");
    EXPECT_EQ(ini::readString(file(), "ACCESS", "provider"), "SQLite");
    EXPECT_EQ(ini::readString(file(), "Access", "DataBasePath"), " /data/door.mdb ");
    EXPECT_EQ(ini::readString(file(), "Access", "q"), "single");
    EXPECT_EQ(ini::readString(file(), "Access", "half"), "\"open");
    EXPECT_EQ(ini::readString(file(), "other", "KEY"), "v");
    EXPECT_EQ(ini::readString(file(), "Other", "missing", "dflt"), "dflt");
    EXPECT_EQ(ini::readString(file(), "Nowhere", "key"), "");
    EXPECT_EQ(ini::readString(dir.filePath("none.ini"), "a", "b", "x"), "x");
}

TEST_F(IniTest, ValueIsCutToTheBufferLessOne)
{
    put("[s]\nk=" + QByteArray(1500, 'a') + "\n");
    EXPECT_EQ(ini::readString(file(), "s", "k").size(), 999);
    EXPECT_EQ(ini::readString(file(), "s", "k", QString(), 10), "aaaaaaaaa");
}

TEST_F(IniTest, WriteCreatesFileSectionAndKeyInOrder)
{
    ASSERT_TRUE(ini::writeString(file(), "InitSystem", "First", "NO"));
    ASSERT_TRUE(ini::writeString(file(), "DataSource", "DataBase", "Access"));
    ASSERT_TRUE(ini::writeString(file(), "Access", "DataBasePath", "/p/door.mdb"));
    EXPECT_EQ(bytes(), QByteArray("[InitSystem]\r\nFirst=NO\r\n[DataSource]\r\nDataBase=Access\r\n[Access]\r\nDataBasePath=/p/door.mdb\r\n"));
}

TEST_F(IniTest, WriteKeepsTheRestOfTheFile)
{
    put("; keep me\n[Access]\nProvider=SQLite\n\n[DiveDeri]\nPort=2\nprovider=other\n[Last]\nx=1");
    ASSERT_TRUE(ini::writeString(file(), "access", "PROVIDER", "New"));
    ASSERT_TRUE(ini::writeString(file(), "Access", "DataBasePath", "/d.mdb"));
    ASSERT_TRUE(ini::writeString(file(), "Last", "y", "2"));
    EXPECT_EQ(bytes(), QByteArray("; keep me\n[Access]\nProvider=New\nDataBasePath=/d.mdb\r\n\n[DiveDeri]\nPort=2\nprovider=other\n"
                                  "[Last]\nx=1\r\ny=2\r\n"));
}

TEST_F(IniTest, ChineseTextTravelsAsCodePage936)
{
    const QString path = QString::fromUtf8("/数据/门禁.mdb");
    ASSERT_TRUE(ini::writeString(file(), "Access", "DataBasePath", path));
    EXPECT_TRUE(bytes().contains(rt::toGbk(path)));
    EXPECT_FALSE(bytes().contains(path.toUtf8()));
    EXPECT_EQ(ini::readString(file(), "Access", "DataBasePath"), path);
    // A file written elsewhere in code page 936 reads back the same.
    put("[" + rt::toGbk(QString::fromUtf8("节")) + "]\r\nk=" + rt::toGbk(QString::fromUtf8("公司名称")) + "\r\n");
    EXPECT_EQ(ini::readString(file(), QString::fromUtf8("节"), "k"), QString::fromUtf8("公司名称"));
}

TEST_F(IniTest, UnwritableFileReportsFailure)
{
    EXPECT_FALSE(ini::writeString(dir.filePath("no/such/dir/x.ini"), "a", "b", "c"));
}

} // namespace

namespace {

// A value pasted with its line breaks never becomes keys or sections of its
// own: it is written and read back as one line and the rest stays as it was.
TEST_F(IniTest, LineBreaksNeverReachTheFile)
{
    const QByteArray start = "[InitSystem]\r\nFirst=NO\r\n[Access]\r\nProvider=SQLite\r\nDataBasePath=/site/door.mdb\r\n";
    struct Case {
        const char* section;
        const char* key;
        const char* value;
        const char* readSection;
        const char* readKey;
        const char* expectRead;
        QByteArray expectFile;
    } cases[] = {
        {"Access", "DataBasePath", "/x.mdb\r\n[Access]\r\nDataBasePath=/other.mdb", "Access", "DataBasePath",
         "/x.mdb[Access]DataBasePath=/other.mdb",
         "[InitSystem]\r\nFirst=NO\r\n[Access]\r\nProvider=SQLite\r\nDataBasePath=/x.mdb[Access]DataBasePath=/other.mdb\r\n"},
        {"Access", "Note", "a\nb\rc", "Access", "Note", "abc",
         "[InitSystem]\r\nFirst=NO\r\n[Access]\r\nProvider=SQLite\r\nDataBasePath=/site/door.mdb\r\nNote=abc\r\n"},
        {"DiveDeri", "Txt\r\nFirst", "1", "DiveDeri", "TxtFirst", "1",
         start + "[DiveDeri]\r\nTxtFirst=1\r\n"},
        {"Dive\nDeri", "K", "v", "DiveDeri", "K", "v", start + "[DiveDeri]\r\nK=v\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        put(start);
        ASSERT_TRUE(ini::writeString(file(), c.section, c.key, c.value));
        EXPECT_EQ(ini::readString(file(), c.readSection, c.readKey), c.expectRead);
        EXPECT_EQ(bytes(), c.expectFile);
        EXPECT_EQ(ini::readString(file(), "InitSystem", "First"), "NO");
    }
}

TEST_F(IniTest, ByteOrderMarkIsNotPartOfTheFirstSection)
{
    put("\xEF\xBB\xBF[InitSystem]\r\nFirst=NO\r\n[Access]\r\nDataBasePath=/site/door.mdb\r\n");
    EXPECT_EQ(ini::readString(file(), "InitSystem", "First"), "NO");
    EXPECT_EQ(ini::readString(file(), "Access", "DataBasePath"), "/site/door.mdb");
    ASSERT_TRUE(ini::writeString(file(), "InitSystem", "First", "NO"));
    EXPECT_EQ(bytes(), QByteArray("\xEF\xBB\xBF[InitSystem]\r\nFirst=NO\r\n[Access]\r\nDataBasePath=/site/door.mdb\r\n"));
    // With the mark the file is UTF-8, read and written back so.
    put("\xEF\xBB\xBF[Access]\r\nDataBasePath=" + QString("/门禁/door.mdb").toUtf8() + "\r\n");
    EXPECT_EQ(ini::readString(file(), "Access", "DataBasePath"), "/门禁/door.mdb");
    ASSERT_TRUE(ini::writeString(file(), "Access", "Provider", "考勤"));
    EXPECT_EQ(bytes(), "\xEF\xBB\xBF[Access]\r\nDataBasePath=" + QString("/门禁/door.mdb").toUtf8() + "\r\nProvider=" +
                           QString("考勤").toUtf8() + "\r\n");
}

} // namespace
