#include "ReturnBook.h"

namespace returns {

void bookReturn(db::Database& db, const ReturnedCredential& c, const QString& onlyDepartment)
{
    db.beginTrans();
    try {
        db.execute(QStringLiteral("INSERT INTO dtuika (地址, 卡号, 物理卡号, 姓名, 部门, 退卡日期) VALUES (?, ?, ?, ?, ?, ?)"),
                   {c.address, c.employee, c.physical, c.name, c.department, c.returnedAt});
        if (onlyDepartment.isEmpty())
            db.execute(QStringLiteral("DELETE FROM dfaka WHERE 地址=? AND 物理卡号=?"), {c.address, c.physical});
        else
            db.execute(QStringLiteral("DELETE FROM dfaka WHERE 地址=? AND 部门=? AND 物理卡号=?"),
                       {c.address, onlyDepartment, c.physical});
        db.commitTrans();
    } catch (...) {
        db.rollback();
        throw;
    }
}

bool returnedOn(db::Database& db, int address, const QString& physical, const QString& day)
{
    db::Recordset rs = db.openRecordset(
        QStringLiteral("SELECT 物理卡号 FROM dtuika WHERE 地址=? AND 物理卡号=? AND substr(退卡日期, 1, 10)=?"),
        {address, physical, day});
    return !rs.eof();
}

} // namespace returns
