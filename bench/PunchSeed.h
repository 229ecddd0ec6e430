#pragma once
// The large site of the database benchmarks: employees "00000001".. and
// their punches from 2026-01-01 on, one day after another (four a day per
// employee, 07:xx, 10:xx, 13:xx, 16:xx), addresses 1 to 8, flags 1 to 4,
// the employees in departments "部门0".. in turn.
#include "db/Db.h"

namespace bench {

inline void seedPunches(db::Database& dao, int employees, int punches, int departments = 20)
{
    dao.execute(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i < ?) "
        "INSERT INTO people (卡号,姓名,部门,职务) SELECT printf('%08d', i), '员工' || i, '部门' || (i % ?), '职员' FROM n"),
        {employees, departments});
    dao.execute(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i+1 FROM n WHERE i < ?) "
        "INSERT INTO data (地址,卡号,日期,时间,flag,flagIO) "
        "SELECT 1 + i % 8, printf('%08d', 1 + i % ?), date('2026-01-01', '+' || (i / (4 * ?)) || ' days'), "
        "printf('%02d:%02d:%02d', 7 + 3 * ((i / ?) % 4), i % 60, (i / 7) % 60), 1 + (i / ?) % 4, '锁1进' FROM n"),
        {punches - 1, employees, employees, employees, employees});
}

} // namespace bench
