// The registry stand-in: keys and typed values in files, and the
// Windows-shaped calls the about box mirrors.
#include "registry/Registry.h"
#include "runtime/Gbk.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace reg;

namespace {

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        setenv("DOORSUITE_REGISTRY_DIR", dir_.path().toLocal8Bit().constData(), 1);
        setRootDirectory(QString());
    }
    void TearDown() override { setRootDirectory(QString()); }

    QString hiveFile(const char* name) const { return dir_.filePath(QString::fromLatin1(name) + QStringLiteral(".json")); }

    QTemporaryDir dir_;
};

const QString kMsInfo = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");

TEST_F(RegistryTest, ValuesKeepTheirTypes)
{
    ASSERT_TRUE(setValue(Root::LocalMachine, kMsInfo, QStringLiteral("PATH"), QStringLiteral("/opt/msinfo/信息")));
    ASSERT_TRUE(setDwordValue(Root::LocalMachine, kMsInfo, QStringLiteral("Count"), 0xFFFFFFFFu));
    ASSERT_TRUE(setBinaryValue(Root::LocalMachine, kMsInfo, QStringLiteral("Blob"), QByteArray("\x00\x01\xFF", 3)));

    EXPECT_EQ(queryText(Root::LocalMachine, kMsInfo, QStringLiteral("PATH")), QStringLiteral("/opt/msinfo/信息"));
    auto n = queryValue(Root::LocalMachine, kMsInfo, QStringLiteral("Count"));
    ASSERT_TRUE(n);
    EXPECT_EQ(n->type, REG_DWORD);
    EXPECT_EQ(n->number, 0xFFFFFFFFu);
    auto b = queryValue(Root::LocalMachine, kMsInfo, QStringLiteral("Blob"));
    ASSERT_TRUE(b);
    EXPECT_EQ(b->type, REG_BINARY);
    EXPECT_EQ(b->bytes, QByteArray("\x00\x01\xFF", 3));
    // Only text values read as text.
    EXPECT_FALSE(queryText(Root::LocalMachine, kMsInfo, QStringLiteral("Count")));
    EXPECT_FALSE(queryValue(Root::LocalMachine, kMsInfo, QStringLiteral("Absent")));
    // The hives are separate.
    EXPECT_FALSE(keyExists(Root::CurrentUser, kMsInfo));
    // Overwriting may change the type.
    ASSERT_TRUE(setValue(Root::LocalMachine, kMsInfo, QStringLiteral("count"), QStringLiteral("3")));
    EXPECT_EQ(queryText(Root::LocalMachine, kMsInfo, QStringLiteral("COUNT")), QStringLiteral("3"));
    EXPECT_EQ(valueNames(Root::LocalMachine, kMsInfo).size(), 3);
}

TEST_F(RegistryTest, NamesIgnoreCaseAndKeepTheirFirstSpelling)
{
    ASSERT_TRUE(setValue(Root::ClassesRoot, QStringLiteral("Vantrel.Door8096\\CLSID"), QString(), QStringLiteral("{X}")));
    EXPECT_EQ(queryText(Root::ClassesRoot, QStringLiteral("VANTREL.door8096\\clsid"), QString()), QStringLiteral("{X}"));
    ASSERT_TRUE(setValue(Root::ClassesRoot, QStringLiteral("vantrel.DOOR8096\\Other"), QStringLiteral("A"), QStringLiteral("1")));
    EXPECT_EQ(subKeyNames(Root::ClassesRoot, QString()), QStringList{QStringLiteral("Vantrel.Door8096")});
    EXPECT_EQ(subKeyNames(Root::ClassesRoot, QStringLiteral("VANTREL.DOOR8096")),
              (QStringList{QStringLiteral("CLSID"), QStringLiteral("Other")}));
    // Leading and trailing separators do not matter; empty names in between do.
    EXPECT_TRUE(keyExists(Root::ClassesRoot, QStringLiteral("\\Vantrel.Door8096\\Other\\")));
    EXPECT_FALSE(keyExists(Root::ClassesRoot, QStringLiteral("Vantrel.Door8096\\\\Other")));
    EXPECT_FALSE(setValue(Root::ClassesRoot, QStringLiteral("A\\\\B"), QString(), QStringLiteral("x")));
}

TEST_F(RegistryTest, DeletingKeysAndValues)
{
    ASSERT_TRUE(setValue(Root::CurrentUser, QStringLiteral("Soft\\App\\Sub"), QStringLiteral("v"), QStringLiteral("1")));
    ASSERT_TRUE(setValue(Root::CurrentUser, QStringLiteral("Soft\\App"), QStringLiteral("w"), QStringLiteral("2")));
    ASSERT_TRUE(setValue(Root::CurrentUser, QStringLiteral("Soft\\Keep"), QStringLiteral("k"), QStringLiteral("3")));
    EXPECT_TRUE(deleteValue(Root::CurrentUser, QStringLiteral("soft\\app"), QStringLiteral("W")));
    EXPECT_FALSE(queryValue(Root::CurrentUser, QStringLiteral("Soft\\App"), QStringLiteral("w")));
    EXPECT_TRUE(deleteValue(Root::CurrentUser, QStringLiteral("Soft\\App"), QStringLiteral("w")));   // already gone
    EXPECT_TRUE(deleteKey(Root::CurrentUser, QStringLiteral("SOFT\\APP")));
    EXPECT_FALSE(keyExists(Root::CurrentUser, QStringLiteral("Soft\\App\\Sub")));
    EXPECT_FALSE(keyExists(Root::CurrentUser, QStringLiteral("Soft\\App")));
    EXPECT_EQ(queryText(Root::CurrentUser, QStringLiteral("Soft\\Keep"), QStringLiteral("k")), QStringLiteral("3"));
    EXPECT_TRUE(deleteKey(Root::CurrentUser, QStringLiteral("Soft\\App")));
    EXPECT_FALSE(deleteKey(Root::CurrentUser, QString()));   // the hive itself stays
}

TEST_F(RegistryTest, ValuesPersistInFilesUnderTheChosenFolder)
{
    ASSERT_TRUE(setValue(Root::LocalMachine, QStringLiteral("A"), QStringLiteral("n"), QStringLiteral("v")));
    EXPECT_TRUE(QFile::exists(hiveFile("HKEY_LOCAL_MACHINE")));
    // No temporary file is left behind by the atomic write.
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files), QStringList{QStringLiteral("HKEY_LOCAL_MACHINE.json")});

    QTemporaryDir other;
    setenv("DOORSUITE_REGISTRY_DIR", other.path().toLocal8Bit().constData(), 1);
    EXPECT_EQ(rootDirectory(), QDir::cleanPath(other.path()));
    EXPECT_FALSE(keyExists(Root::LocalMachine, QStringLiteral("A")));
    setRootDirectory(dir_.path());   // the setter wins over the environment
    EXPECT_EQ(queryText(Root::LocalMachine, QStringLiteral("a"), QStringLiteral("N")), QStringLiteral("v"));
    auto k = openKey(Root::LocalMachine, QStringLiteral("A"));
    ASSERT_TRUE(k);
    EXPECT_EQ(k->text(QStringLiteral("n")), QStringLiteral("v"));
    EXPECT_FALSE(openKey(Root::LocalMachine, QStringLiteral("B")));
    EXPECT_TRUE(openKey(Root::LocalMachine, QStringLiteral("B"), true));
    EXPECT_TRUE(keyExists(Root::LocalMachine, QStringLiteral("b")));
}

TEST_F(RegistryTest, DefaultFolderFollowsXdgDataHome)
{
    unsetenv("DOORSUITE_REGISTRY_DIR");
    setenv("XDG_DATA_HOME", "/tmp/xdg-here", 1);
    EXPECT_EQ(rootDirectory(), QStringLiteral("/tmp/xdg-here/doorsuite/registry"));
    unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(rootDirectory(), QDir::homePath() + QStringLiteral("/.local/share/doorsuite/registry"));
}

TEST_F(RegistryTest, DamagedFileReadsAsMissingKeysAndIsKeptAside)
{
    ASSERT_TRUE(setValue(Root::CurrentUser, QStringLiteral("Keep"), QStringLiteral("x"), QStringLiteral("1")));
    QFile f(hiveFile("HKEY_LOCAL_MACHINE"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("{\"name\": \"HKEY_LOCAL_MACHINE\", \"keys\": [ {\"name\": \"SOFT");
    f.close();

    EXPECT_FALSE(keyExists(Root::LocalMachine, QStringLiteral("SOFTWARE")));
    EXPECT_TRUE(subKeyNames(Root::LocalMachine, QString()).isEmpty());
    EXPECT_EQ(queryText(Root::CurrentUser, QStringLiteral("Keep"), QStringLiteral("x")), QStringLiteral("1"));
    HKEY k = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND);

    ASSERT_TRUE(setValue(Root::LocalMachine, QStringLiteral("New"), QStringLiteral("v"), QStringLiteral("2")));
    EXPECT_EQ(queryText(Root::LocalMachine, QStringLiteral("New"), QStringLiteral("v")), QStringLiteral("2"));
    QFile aside(hiveFile("HKEY_LOCAL_MACHINE") + QStringLiteral(".damaged"));
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_TRUE(aside.readAll().endsWith("SOFT"));
}

TEST_F(RegistryTest, EntriesOfTheWrongShapeAreSkipped)
{
    QFile f(hiveFile("HKEY_LOCAL_MACHINE"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(R"({"keys": [
        {"name": "Good", "values": [
            {"name": "ok", "type": 1, "data": "yes"},
            {"name": "badtype", "type": "one", "data": "x"},
            {"name": "baddword", "type": 4, "data": "x"},
            {"type": 1, "data": "no name"}],
         "keys": [17, {"name": ""}, {"name": "Child"}]},
        "junk"]})");
    f.close();
    EXPECT_EQ(queryText(Root::LocalMachine, QStringLiteral("Good"), QStringLiteral("ok")), QStringLiteral("yes"));
    EXPECT_EQ(valueNames(Root::LocalMachine, QStringLiteral("Good")), QStringList{QStringLiteral("ok")});
    EXPECT_EQ(subKeyNames(Root::LocalMachine, QStringLiteral("Good")), QStringList{QStringLiteral("Child")});
}

TEST_F(RegistryTest, WritersInSeveralProcessesLoseNothing)
{
    const int processes = 4, writes = 15;
    std::vector<pid_t> children;
    for (int p = 0; p < processes; ++p) {
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            bool ok = true;
            for (int i = 0; i < writes; ++i)
                ok = setValue(Root::CurrentUser, QStringLiteral("Shared"), QStringLiteral("p%1_%2").arg(p).arg(i), QStringLiteral("x")) && ok;
            _exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(valueNames(Root::CurrentUser, QStringLiteral("Shared")).size(), processes * writes);
}

// ---- the Windows-shaped calls ----

TEST_F(RegistryTest, QueryGivesTextWithItsTerminatingNul)
{
    const QString path = QStringLiteral("/opt/工具/msinfo32");
    ASSERT_TRUE(setValue(Root::LocalMachine, kMsInfo, QStringLiteral("PATH"), path));
    HKEY k = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", 0, 0x2003F, &k), ERROR_SUCCESS);
    ASSERT_NE(k, nullptr);

    const QByteArray expected = rt::toGbk(path);
    unsigned char buf[1024];
    std::memset(buf, 0, sizeof buf);
    DWORD type = 0;
    DWORD size = sizeof buf;
    ASSERT_EQ(RegQueryValueExA(k, "path", nullptr, &type, buf, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_SZ));
    EXPECT_EQ(size, DWORD(expected.size() + 1));
    EXPECT_EQ(buf[size - 1], 0);
    EXPECT_EQ(QByteArray(reinterpret_cast<char*>(buf), int(size) - 1), expected);

    // Size only, then a buffer one byte short.
    DWORD need = 0;
    ASSERT_EQ(RegQueryValueExA(k, "PATH", nullptr, nullptr, nullptr, &need), ERROR_SUCCESS);
    EXPECT_EQ(need, size);
    DWORD small = need - 1;
    EXPECT_EQ(RegQueryValueExA(k, "PATH", nullptr, nullptr, buf, &small), ERROR_MORE_DATA);
    EXPECT_EQ(small, need);

    EXPECT_EQ(RegQueryValueExA(k, "NoSuchValue", nullptr, &type, buf, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(k), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(k), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
}

TEST_F(RegistryTest, NonTextValuesComeWithTheirType)
{
    ASSERT_TRUE(setDwordValue(Root::LocalMachine, QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"),
                              QStringLiteral("MSINFO"), 0x01020304u));
    HKEY k = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\microsoft\\shared tools location", 0, KEY_READ, &k), ERROR_SUCCESS);
    unsigned char buf[16] = {};
    DWORD type = 0, size = sizeof buf;
    ASSERT_EQ(RegQueryValueExA(k, "MSINFO", nullptr, &type, buf, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_DWORD));
    ASSERT_EQ(size, 4u);
    EXPECT_EQ(buf[0], 0x04);
    EXPECT_EQ(buf[3], 0x01);
    RegCloseKey(k);
}

TEST_F(RegistryTest, OpeningKeys)
{
    ASSERT_TRUE(setValue(Root::LocalMachine, kMsInfo, QStringLiteral("PATH"), QStringLiteral("p")));
    HKEY k = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Nothing", 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(k, nullptr);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE", 0, KEY_READ, &k), ERROR_FILE_NOT_FOUND);
    // A key opened below an opened key.
    HKEY soft = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0, KEY_READ, &soft), ERROR_SUCCESS);
    ASSERT_EQ(RegOpenKeyExA(soft, "Microsoft\\Shared Tools\\MSINFO", 0, KEY_READ, &k), ERROR_SUCCESS);
    unsigned char buf[8];
    DWORD size = sizeof buf;
    EXPECT_EQ(RegQueryValueExA(k, "PATH", nullptr, nullptr, buf, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 2u);
    RegCloseKey(k);
    RegCloseKey(soft);
    // A closed handle is refused, not followed.
    EXPECT_EQ(RegQueryValueExA(soft, "PATH", nullptr, nullptr, buf, &size), ERROR_INVALID_HANDLE);
    // A value queried on the hive handle itself.
    ASSERT_TRUE(setValue(Root::CurrentUser, QString(), QStringLiteral("top"), QStringLiteral("t")));
    size = sizeof buf;
    EXPECT_EQ(RegQueryValueExA(HKEY_CURRENT_USER, "top", nullptr, nullptr, buf, &size), ERROR_SUCCESS);
}

TEST_F(RegistryTest, KeyOpenedForChangesNeedsAWritableHive)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind the super-user";
    ASSERT_TRUE(setValue(Root::LocalMachine, kMsInfo, QStringLiteral("PATH"), QStringLiteral("p")));
    QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::ExeOwner);
    HKEY k = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", 0, 0x2003F, &k), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", 0, KEY_READ, &k), ERROR_SUCCESS);
    RegCloseKey(k);
    EXPECT_FALSE(setValue(Root::LocalMachine, kMsInfo, QStringLiteral("PATH"), QStringLiteral("q")));
    EXPECT_EQ(queryText(Root::LocalMachine, kMsInfo, QStringLiteral("PATH")), QStringLiteral("p"));
    QFile::setPermissions(dir_.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

} // namespace
