#pragma once
// Application-wide state of the management program, shared by every window
// (the start-up module "mdl"). Numbers keep their 16-bit width; empty values
// (0, "") hold until the start-up, the login or the main window's load sets
// them.
#include "com/Com.h"
#include "db/Db.h"

#include <QString>
#include <QStringList>
#include <cstdint>

namespace mdl {

// The program's own title, carried by every message box that names none.
inline const QString kProgramTitle = QStringLiteral("门禁系统");
// The password the shipped database and the initialisation give "admin".
inline const QString kDefaultAdminPassword = QStringLiteral("1");
// The serial buffer sizes the initialisation stores.
constexpr int16_t kInitialInBufferSize = 2048;
constexpr int16_t kInitialOutBufferSize = 512;

// Database handles (see db/Db.h for the conventions).
extern db::Connection AdoConnection;   // opened by Module2::OpenDatabaseConnection
extern db::Database DaoDatabase;       // opened by the login window from DaoConnect
extern QString DaoConnect;             // ";database=" + the file actually opened
extern QString DatabasePathInUse;      // the file AdoConnection was opened on in this run

// The controller object "Vantrel.Door8096", created at login.
extern com::Dispatch Door;

// Serial link and controllers (table system, loaded by the main window).
extern int16_t PortNumber;
extern int16_t PortReady;              // result of the last SetPort, used as Boolean
extern int16_t CommandDelay;           // milliseconds between controller commands
extern QString MachineVersion;         // a version label such as "JQ8096 V5.1.0"
extern QString PortSettings;           // shown and stored by the settings window only
extern int16_t InBufferSize;
extern int16_t OutBufferSize;
extern int16_t CardIssuer;

// The logged-in operator (user.sysname).
extern QString CurrentUser;

// Collection schedule and wait time.
extern int16_t GatherType;             // 1 automatic, 0 manual
extern QString GatherTime;             // "hh:mm", or "0" when manual
extern int16_t GatherWaitTime;         // seconds

// Card windows and their dialogs.
extern QStringList SelectedLocks;      // items "lock,address"
extern bool SelectedLocksAllocated;    // false until a card window first sets SelectedLocks
extern QString SelectedTimeGroups;
extern int16_t SelectTimeAddress;
extern QString ConfirmedPassword;
extern int32_t ReaderHandle;           // desktop card reader handle

// Set to 1 by a database restore; the main window then ends the program.
extern int16_t DatabaseRestored;

// The start procedure up to the login window: opens the database from
// "Public.Sys". False after showing "数据库连接出错！" or an error's
// "number:description" (title "错误提示"); the program then ends.
bool Main();

// Back to the empty values (tests).
void resetGlobals();

} // namespace mdl
