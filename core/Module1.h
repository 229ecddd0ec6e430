#pragma once
// Helpers shared by the windows: proportional layout, list fillers, number
// checks, time-group masks and the export of a grid to Excel.
#include "db/Db.h"

#include <QString>
#include <cstdint>

class QAbstractItemView;
class QComboBox;
class QListWidget;
class QWidget;

// The text without blanks at either end; tabs and other white space stay.
QString trimBlanks(const QString& s);

namespace Module1 {

// The item that heads every department list.
inline const QString kAllDepartments = QStringLiteral("所有部门");

// The inner size of the window whose layout was saved last.
extern int32_t LayoutWidth;
extern int32_t LayoutHeight;

// Records the window's inner size and, in each control's "Tag" property,
// its left, top, width and height ("l t w h "). Controls are the window's
// named child widgets that no layout manages. Returns 0.
int16_t SaveControlLayout(QWidget* form);
// Moves and sizes every control from its "Tag" by the ratio of the window's
// present inner size to the saved one; never accumulates rounding. Returns 0.
int16_t ResizeControls(QWidget* form);

// "所有部门" and then every department. Raises what the query raises.
void FillDepartmentList(db::Connection& conn, QListWidget* list);
void FillDepartmentList(db::Connection& conn, QComboBox* list);
// Appends every door address, in numeric order. Raises what the query raises.
void AddDoorAddresses(db::Database& db, QComboBox* list);
// Appends one item per issued credential of a department (all for "所有部门"):
// number, name, physical number or fifteen "*" for a password, address,
// joined by five blanks. The list is not cleared.
void FillCardList(db::Connection& conn, QListWidget* list, const QString& department);
// Stands in a card-list item for a password, in place of its number.
inline const QString kPasswordItem = QStringLiteral("***************");
// One card-list item from a dfaka row (卡号, 姓名, 物理卡号, 地址, 密码标志).
QString CardListItem(const db::Recordset& rs);
// What a card-list item says: the employee number, the whole name, whether
// it is a password, and the address (-1 when unreadable).
struct CardListEntry {
    QString employee;
    QString name;
    bool password = false;
    int address = -1;
};
CardListEntry ParseCardListItem(const QString& item);
// Clears the list and adds "number     name" per employee of the department
// (all for "所有部门"), ordered by number.
void FillPeopleList(db::Connection& conn, QListWidget* list, const QString& department);
void FillPeopleList(db::Connection& conn, QComboBox* list, const QString& department);

// Seconds of the collection's block wait: the zhi of row 采集等待时间 of
// table system when above 0, else 5 (also when the row is missing). Raises
// what the query raises.
int16_t LoadGatherWaitTime(db::Connection& conn);

// True when the text has exactly `length` characters and reads as a number
// of the base (2: only "0"/"1"; 10: any numeric notation; 16: at most 8
// hexadecimal digits). Other bases: false.
bool IsValidNumberString(const QString& text, int16_t length, int16_t base);

// The 16-character time-group mask of a 15-character selection: "0" is
// appended when a group is chosen, "1" (the whole-day group 16) when none
// is; any other length gives "0000000000000001".
QString CompleteTimeGroupMask(const QString& selection);

// Writes what the grid shows (its model must be a db::RecordsetModel) to a
// new .xlsx workbook and opens it with the desktop's program: captions in
// row 1, one row per record, number fields as numbers, everything else as
// text. The workbook is named after the title and the time and kept in the
// user's documents folder (the program folder's "Export" when there is
// none); without a program to open it, a message says where it is. Returns
// "" on success, "没有数据可导出" when there is nothing to export, else
// "ExportToExcel:<number>,<description>".
QString ExportToExcel(QAbstractItemView* grid, const QString& title);

} // namespace Module1
