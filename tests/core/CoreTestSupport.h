#pragma once
// Shared by the core tests: an application object for widgets, and a
// program folder in a temporary directory holding copies of the shipped
// "door.mdb" and "Public.Sys".
#include "ui/ScriptedUi.h"

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

void ensureApplication();

class ProgramFolderTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    ui::ScriptedUi scripted;

    void SetUp() override;
    void TearDown() override;
    QString folder() const { return dir.path() + "/"; }
    // Copies the shipped files into the program folder.
    void shipDatabase(const QString& name = "door.mdb");
    void shipConfig();
    void writeConfig(const QByteArray& bytes);
    QByteArray configBytes() const;
    // Opens the shared connection on the program folder's database.
    void openShared();
};
