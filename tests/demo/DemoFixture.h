#pragma once
// A loaded demo window in a temporary program folder, with per-user settings
// in a temporary configuration folder and scripted message boxes and clock.
#include "FrmDemo.h"
#include "ModDemo.h"
#include "runtime/Gbk.h"
#include "ui/ScriptedUi.h"

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

// Readable failure output for texts.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

inline void ensureApplication()
{
    if (!QApplication::instance()) {
        static int argc = 1;
        static char name[] = "demo_tests";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
}

class DemoWindowBase : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureApplication(); }

    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        QDir(tmp.path()).mkpath(QStringLiteral("prog"));
        programDir = tmp.filePath(QStringLiteral("prog"));
        ModDemo::setProgramFolder(programDir);
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, tmp.filePath(QStringLiteral("config")));
        ui::setDefaultTitle(QStringLiteral("Demo"));
        scripted.setNow(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7)));
    }

    void TearDown() override { frm.reset(); }

    // Builds the window around the given controller object and runs its start-up.
    FrmDemo& loadWith(const std::function<com::Dispatch()>& factory)
    {
        frm = std::make_unique<FrmDemo>(factory);
        loaded = frm->load();
        return *frm;
    }

    QString setting(const QString& section) const
    {
        QSettings s(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("VUZazu"));
        return s.value(section + QStringLiteral("/Value")).toString();
    }
    void storeSetting(const QString& section, const QString& value) const
    {
        QSettings s(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("VUZazu"));
        s.setValue(section + QStringLiteral("/Value"), value);
    }
    QString status() const { return frm->Sta_Info->simpleText(); }
    QString programFile(const QString& name) const { return QDir(programDir).filePath(name); }

    QTemporaryDir tmp;
    QString programDir;
    ui::ScriptedUi scripted;
    std::unique_ptr<FrmDemo> frm;
    bool loaded = false;
};
