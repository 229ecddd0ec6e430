#include "Globals.h"

#include "ui/Ui.h"

namespace mdl {

db::Connection AdoConnection;
db::Database DaoDatabase;
QString DaoConnect;
QString DatabasePathInUse;

com::Dispatch Door;

int16_t PortNumber = 0;
int16_t PortReady = 0;
int16_t CommandDelay = 0;
QString MachineVersion;
QString PortSettings;
int16_t InBufferSize = 0;
int16_t OutBufferSize = 0;
int16_t CardIssuer = 0;

QString CurrentUser;

int16_t GatherType = 0;
QString GatherTime;
int16_t GatherWaitTime = 0;

QStringList SelectedLocks;
bool SelectedLocksAllocated = false;
QString SelectedTimeGroups;
int16_t SelectTimeAddress = 0;
QString ConfirmedPassword;
int32_t ReaderHandle = 0;

int16_t DatabaseRestored = 0;

namespace {
// Message boxes that name no title carry the program's own from the start.
const bool titleSet = [] {
    ui::setDefaultTitle(kProgramTitle);
    return true;
}();
} // namespace

void resetGlobals()
{
    AdoConnection.close();
    AdoConnection = db::Connection();
    DaoDatabase.close();
    DaoDatabase = db::Database();
    DaoConnect.clear();
    Door.reset();
    DatabasePathInUse.clear();
    PortNumber = PortReady = CommandDelay = 0;
    MachineVersion.clear();
    PortSettings.clear();
    InBufferSize = OutBufferSize = CardIssuer = 0;
    CurrentUser.clear();
    GatherType = 0;
    GatherTime.clear();
    GatherWaitTime = 0;
    SelectedLocks.clear();
    SelectedLocksAllocated = false;
    SelectedTimeGroups.clear();
    SelectTimeAddress = 0;
    ConfirmedPassword.clear();
    ReaderHandle = 0;
    DatabaseRestored = 0;
}

} // namespace mdl
