#pragma once
// What the card windows share: the lock list (one "address[lock name]" item
// per named lock), the selection list SelectedLocks built from it, the rights
// controls with their enabling rules and the exchange with the time-group
// picker, and the booking of an issued credential in dfaka.
#include "db/Db.h"

#include <QDate>
#include <QList>
#include <QObject>
#include <QString>

class QCheckBox;
class QDateEdit;
class QLineEdit;
class QListWidget;
class QPushButton;
class QWidget;

namespace cards {

// True unless the configured controller version's ninth character is a
// digit below 5: such controllers take no keypad passwords and no
// card-plus-password time groups.
bool passwordsSupported();

// An item "3[1前门]": the address before the first "[", the lock digit after
// it; 0 when there is none.
int GetintAddress(const QString& item);
int GetIntNumber(const QString& item);

// Fills the list with one item per named lock of table doors, in ascending
// order of the item text (both locks of an address stand together, lock 1 first).
void FillDoorList(QListWidget* list);
// The distinct addresses of the list's items, first occurrence kept.
QList<int> addressArray(const QListWidget* list);
bool hasSelection(const QListWidget* list);

// SelectedLocks: items "lock,address" (lock 3: both locks of the address);
// one empty item when nothing is chosen.
void ClearSelectArray();
// Rebuilds SelectedLocks from the list's selection; both locks of one
// address selected next to each other become one item with lock 3. Without
// a selection SelectedLocks keeps its content.
void GetAddSelectArray(const QListWidget* list);
// The address after the comma of a SelectedLocks item; the lock digit before it.
int addressOf(const QString& lockItem);
int lockOf(const QString& lockItem);

// The rights a credential is issued with.
struct Rights {
    bool lock1 = false;
    bool lock2 = false;
    bool week = false;
    bool endDate = false;
    bool time = false;
    QString weekMask;      // 7 "0"/"1", Monday first
    QString endDateText;   // yymmdd
    QString mask1;         // 16-character time-group masks
    QString mask2;
};
// The rights stored in a dfaka row (lock flags included).
Rights rightsOfRow(const db::Recordset& rs);

// A stored end date "yymmdd" as a date in 20yy; invalid when malformed.
QDate endDateOf(const QString& yymmdd);

// The rights controls of a card window, created inside parent.
class RightsControls : public QObject {
    Q_OBJECT
public:
    explicit RightsControls(QWidget* parent);

    QCheckBox* CheckWeek = nullptr;
    QCheckBox* w1Check[7] = {};
    QCheckBox* CheckEndDate = nullptr;
    QDateEdit* stopDate = nullptr;
    QCheckBox* CheckTime = nullptr;
    QPushButton* ButtonChkTime[2] = {};
    QLineEdit* TxtTime[2] = {};

    void CheckWeek_Click();
    void CheckEndDate_Click();
    void CheckTime_Click();

    // The working rights as the controls show them (lock flags left false).
    Rights rights() const;
    // Shows a stored row's week, end date and time groups.
    void showRow(const db::Recordset& rs);
    // Clears the three controls and both selections; week boxes and date stay.
    void clearControls();
};

// Offers lock `index`'s time groups in the picker: the box's selection goes
// in, the picker's answer comes back into the box.
void pickTimeGroups(QLineEdit* txtTime);

// One issued credential as dfaka keeps it.
struct IssuedRow {
    int address = 0;
    QString employee;
    QString physical;      // 10-digit card number or padded password
    QString name;
    QString department;
    Rights rights;
    QString issuedOn;      // yyyy-mm-dd
    bool password = false;
};
// Replaces the employee's row of that kind at the address, in one
// transaction: on a failure the old row stays and the error is raised.
void storeIssued(db::Database& db, const IssuedRow& r);

} // namespace cards
