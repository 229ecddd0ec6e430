-- The sample site's own rows, added once to a fresh copy of the shipped
-- database: a few departments, positions and employees, two doors
-- (controllers at addresses 1 and 2) and the four cards issued on them.
BEGIN;

INSERT INTO department (部门) VALUES ('办公室'), ('生产部'), ('财务部');

INSERT INTO Dict_Pub (PubItem, SubItem, ParID)
  SELECT '门禁系统', '职位', 0
  WHERE NOT EXISTS (SELECT 1 FROM Dict_Pub WHERE PubItem = '门禁系统' AND SubItem = '职位');
INSERT INTO Dict_Pub (PubItem, SubItem, ParID)
  SELECT '职位', p.name, r.ChiID
  FROM (SELECT '经理' AS name UNION ALL SELECT '主管' UNION ALL SELECT '会计' UNION ALL SELECT '职员') AS p,
       (SELECT ChiID FROM Dict_Pub WHERE PubItem = '门禁系统' AND SubItem = '职位' LIMIT 1) AS r;

INSERT INTO people (卡号, 姓名, 部门, 身份证号, 职务, sex, birthday, tel) VALUES
  ('00000001', '张伟', '办公室', '', '经理', '男', '1975-03-12', '0571-8800001'),
  ('00000002', '李娜', '财务部', '', '会计', '女', '1982-07-25', '0571-8800002'),
  ('00000003', '王强', '生产部', '', '主管', '男', '1979-11-02', '0571-8800003'),
  ('00000004', '刘洋', '生产部', '', '职员', '男', '1990-01-18', '0571-8800004'),
  ('00000005', '陈静', '办公室', '', '职员', '女', '1993-05-30', '0571-8800005'),
  ('00000006', '赵磊', '生产部', '', '职员', '男', '1988-09-09', '0571-8800006');

-- Lock 2 is not in use at either door; its delay is the one its controller
-- holds. The simulated controllers start with these delays (controllers.sql),
-- and each lies within what 门锁设置 accepts for its lock (an iron lock 0-2).
INSERT INTO doors (地址, namedr1, delay1, dtype1, namedr2, delay2, dtype2, delay3) VALUES
  (1, '办公楼大门', 3, '玻', NULL, 5, NULL, 0),
  (2, '车间大门', 2, '铁', NULL, 5, NULL, 0);

-- The four cards the sample controllers hold, each for lock 1 of its door.
INSERT INTO dfaka (地址, 卡号, 物理卡号, 姓名, 部门, 周控制, 锁1允许, 锁2允许, 时间控制, 截止日期控制,
                   周标志, 截止日期, 锁1时间段标志, 锁2时间段标志, 发卡日期, 密码标志) VALUES
  (1, '00000001', '0001310721', '张伟', '办公室', 0, 1, 0, 0, 0, '1111111', '991231', '0000000000000001', '0000000000000001', '2026-11-02', 0),
  (1, '00000002', '0001310722', '李娜', '财务部', 0, 1, 0, 0, 0, '1111111', '991231', '0000000000000001', '0000000000000001', '2026-11-02', 0),
  (2, '00000003', '0001310723', '王强', '生产部', 0, 1, 0, 0, 0, '1111111', '991231', '0000000000000001', '0000000000000001', '2026-11-02', 0),
  (2, '00000004', '0001310724', '刘洋', '生产部', 0, 1, 0, 0, 0, '1111111', '991231', '0000000000000001', '0000000000000001', '2026-11-02', 0);

COMMIT;
