#pragma once
// For tests of the management program (target core_test_support): an
// application object for widgets, and a program folder in a temporary
// directory holding copies of the shipped "door.mdb" and "Public.Sys".
//
//     class FrmbmTest : public ProgramFolderTest {};
//     TEST_F(FrmbmTest, ...) {
//         openShared();                  // AdoConnection, DaoDatabase, DaoConnect
//         auto* w = ui::forms::load<Frmbm>();
//         scripted.queueAnswer(ui::mb::Yes);
//         w->CmdDel_Click();
//         EXPECT_EQ(scripted.lastMessage(), "...");
//     }
// Every window, global and the program folder are reset after each test.
#include "ui/ScriptedUi.h"

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

// Readable QString values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

void ensureApplication();

// A file system mounted over a folder for the life of the object: a tmpfs
// of a few bytes' size ("2m"), or the folder itself again, read-only (which
// root cannot write either). ok() is false where mounting is not permitted;
// why() then says so, for the test's skip.
class TestMount {
public:
    static TestMount tmpfs(const QString& folder, const QString& size);
    static TestMount readOnly(const QString& folder);
    TestMount(TestMount&& other) noexcept;
    ~TestMount();
    bool ok() const { return mounted_ && why_.isEmpty(); }
    QString why() const { return why_; }

private:
    TestMount() = default;
    QString folder_;
    bool mounted_ = false;
    QString why_;
};

class ProgramFolderTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ui::ScriptedUi scripted;
    // The user's home for the test ("home/" in the temporary directory, no
    // documents folder): nothing a window saves for the user lands in the
    // real one.
    QString home() const { return dir.path() + "/home"; }

    void SetUp() override;
    void TearDown() override;
    QString folder() const { return dir.path() + "/"; }
    // Copies the shipped files into the program folder.
    void shipDatabase(const QString& name = "door.mdb");
    void shipConfig();
    void writeConfig(const QByteArray& bytes);
    QByteArray configBytes() const;
    // Ships both files and opens the shared handles on the program folder's
    // database, as the start-up and the login do.
    void openShared();

private:
    QByteArray savedHome_, savedConfigHome_;
};
