#pragma once
// A program folder with the shipped database and "Public.Sys", the shared
// connection open, scripted operator services, and a clean window registry
// after each test.
#include "AppForms.h"
#include "Globals.h"
#include "HelpViewer.h"
#include "Module2.h"
#include "db/Db.h"
#include "registry/Registry.h"
#include "ui/Form.h"
#include "ui/ProgramFolder.h"
#include "ui/ScriptedUi.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

class AppFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        mdl::resetGlobals();
        ui::setProgramFolder(dir.path());
        reg::setRootDirectory(dir.filePath("registry"));
        const QString mdb = dir.filePath("door.mdb");
        ASSERT_TRUE(QFile::copy(QStringLiteral(SHIPPED_DB), mdb));
        QFile::setPermissions(mdb, QFile::ReadOwner | QFile::WriteOwner);
        QFile cfg(dir.filePath("Public.Sys"));
        ASSERT_TRUE(cfg.open(QIODevice::WriteOnly));
        cfg.write("[Access]\r\nProvider=SQLite\r\n");
        cfg.close();
        ASSERT_TRUE(Module2::OpenDatabaseConnection());
        ui::setDefaultTitle(mdl::kProgramTitle);
        ui.setNow(QDateTime(QDate(2026, 12, 8), QTime(9, 30)));
    }

    void TearDown() override
    {
        ui::forms::setModalHandler({});
        ui::forms::unloadAll();
        if (help::HelpViewer* v = help::HelpViewer::current())
            delete v;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        mdl::resetGlobals();
        ui::setProgramFolder(QString());
        reg::setRootDirectory(QString());
    }

    // A handle of the test's own on the program folder's database.
    db::Database database() { return db::Database::open(dir.filePath("door.mdb")); }
    void exec(const QString& sql, const QVariantList& params = {}) { database().execute(sql, params); }

    QTemporaryDir dir;
    ui::ScriptedUi ui;
};
