#pragma once
// The program folder fixture of the core tests with the shared handles
// open, plus a registry folder of the test's own, a fixed clock and no help
// viewer left behind.
#include "AppForms.h"
#include "CoreTestSupport.h"
#include "Globals.h"
#include "HelpViewer.h"
#include "Module2.h"
#include "db/Db.h"
#include "registry/Registry.h"
#include "ui/Form.h"
#include "ui/ProgramFolder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>

class AppFixture : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        reg::setRootDirectory(dir.filePath("registry"));
        openShared();
        scripted.setNow(QDateTime(QDate(2026, 12, 8), QTime(9, 30)));
    }

    void TearDown() override
    {
        ProgramFolderTest::TearDown();
        delete help::HelpViewer::current();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        reg::setRootDirectory(QString());
    }

    // A handle of the test's own on the program folder's database.
    db::Database database() { return db::Database::open(dir.filePath("door.mdb")); }
    void exec(const QString& sql, const QVariantList& params = {}) { database().execute(sql, params); }
};
