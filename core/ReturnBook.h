#pragma once
// Booking a credential withdrawn from a controller: its history row in
// dtuika and its issue row gone from dfaka, together or not at all. Every
// window that takes cards or passwords off controllers books through here,
// and books before it offers the collect-and-re-send advice, so a re-send
// never puts the withdrawn credential back.
#include "db/Db.h"

#include <QString>

namespace returns {

struct ReturnedCredential {
    int address = 0;
    QString employee;     // 卡号
    QString physical;     // 物理卡号, or the padded password
    QString name;         // 姓名
    QString department;   // 部门
    QString returnedAt;   // 退卡日期: "yyyy-mm-dd" or "yyyy-mm-dd hh:mm:ss"
};

// Inserts the dtuika row (退卡原因 left empty) and deletes the dfaka rows at
// the address with that physical number (and, when onlyDepartment is not
// empty, that 部门), in one transaction on db. On a failure nothing is
// changed and the error (rt::Error / db error) reaches the caller.
void bookReturn(db::Database& db, const ReturnedCredential& c, const QString& onlyDepartment = QString());

// True when dtuika already holds a return of that physical number at the
// address dated the given day ("yyyy-mm-dd"; a stored time of day is ignored).
bool returnedOn(db::Database& db, int address, const QString& physical, const QString& day);

} // namespace returns
