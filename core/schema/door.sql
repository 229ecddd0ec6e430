-- The management database "door.mdb" as it ships: every table, its
-- columns in their stated order, keys, indexes and the fixed rows. The build
-- turns this file into build/bin/door.mdb; the program never creates,
-- alters or drops a table.
--
-- How values are stored (the same rules hold for every writer):
--   * date/time columns (declared DATETEXT) hold text: dates "yyyy-mm-dd",
--     times of day "hh:mm:ss" (24 h), date with time "yyyy-mm-dd hh:mm:ss";
--     they sort and compare as text.
--   * Yes/No columns (declared BOOLEAN) hold 0 or 1; non-zero reads as True.
--   * number columns are INTEGER unless they take fractions (REAL).
--   * table and column names keep their Chinese spelling; names match in any
--     letter case. Text keys compared without regard to case (names,
--     departments, sysname, 卡号, SubItem) are COLLATE NOCASE.
--   * an index that the program opens by name is called "<table>.<name>";
--     "PrimaryKey" (any case) also finds a table's primary key.
--   * every value reaches SQL as a bound parameter.
PRAGMA encoding = 'UTF-8';  -- rollback journal (the default): the file alone is the whole database, so a copy is a backup

BEGIN;

-- Named settings, one row per name; the program only updates these rows.
CREATE TABLE system (
    name TEXT COLLATE NOCASE,
    zhi INTEGER,
    detail TEXT,
    dw TEXT
);
CREATE UNIQUE INDEX "system.name" ON system(name);

-- Collection schedule: none or one row (采集类型 1 automatic, 0 manual).
CREATE TABLE cjtype (
    采集类型 INTEGER,
    采集时间 TEXT
);

-- Operators and their rights; 33 columns whose order inserts rely on.
CREATE TABLE user (
    sysname TEXT COLLATE NOCASE,
    syspword TEXT,
    usersetting BOOLEAN DEFAULT 0,
    usermanage BOOLEAN DEFAULT 0,
    r0 BOOLEAN DEFAULT 0,
    r1 BOOLEAN DEFAULT 0,
    r2 BOOLEAN DEFAULT 0,
    r3 BOOLEAN DEFAULT 0,
    r4 BOOLEAN DEFAULT 0,
    r5 BOOLEAN DEFAULT 0,
    r6 BOOLEAN DEFAULT 0,
    r7 BOOLEAN DEFAULT 0,
    r8 BOOLEAN DEFAULT 0,
    r9 BOOLEAN DEFAULT 0,
    r10 BOOLEAN DEFAULT 0,
    r11 BOOLEAN DEFAULT 0,
    r12 BOOLEAN DEFAULT 0,
    r13 BOOLEAN DEFAULT 0,
    r14 BOOLEAN DEFAULT 0,
    r15 BOOLEAN DEFAULT 0,
    r16 BOOLEAN DEFAULT 0,
    r17 BOOLEAN DEFAULT 0,
    r18 BOOLEAN DEFAULT 0,
    r19 BOOLEAN DEFAULT 0,
    r20 BOOLEAN DEFAULT 0,
    r21 BOOLEAN DEFAULT 0,
    r22 BOOLEAN DEFAULT 0,
    r23 BOOLEAN DEFAULT 0,
    r24 BOOLEAN DEFAULT 0,
    r25 BOOLEAN DEFAULT 0,
    r26 BOOLEAN DEFAULT 0,
    r27 BOOLEAN DEFAULT 0,
    r28 BOOLEAN DEFAULT 0
);
CREATE UNIQUE INDEX "user.sysname" ON user(sysname);

CREATE TABLE key (
    keyvalue TEXT
);

-- Two-level dictionary: positions and the selectable controller versions.
CREATE TABLE Dict_Pub (
    ChiID INTEGER PRIMARY KEY,
    PubItem TEXT COLLATE NOCASE,
    SubItem TEXT COLLATE NOCASE,
    ParID INTEGER DEFAULT 0
);
CREATE INDEX "Dict_Pub.ParID" ON Dict_Pub(ParID);

CREATE TABLE department (
    部门 TEXT COLLATE NOCASE
);

-- Employees; columns in the order of the employee insert.
CREATE TABLE people (
    卡号 TEXT COLLATE NOCASE PRIMARY KEY,
    姓名 TEXT COLLATE NOCASE,
    部门 TEXT COLLATE NOCASE,
    身份证号 TEXT,
    职务 TEXT COLLATE NOCASE,
    rmno TEXT,
    sex TEXT,
    birthday DATETEXT,
    marriage TEXT,
    tel TEXT,
    hukou TEXT,
    company TEXT,
    fcz TEXT,
    nation TEXT,
    spouse TEXT,
    ssex TEXT,
    shukou TEXT,
    scompany TEXT,
    child1 TEXT,
    child2 TEXT,
    child3 TEXT,
    others TEXT,
    照片 TEXT
);
CREATE INDEX "people.部门" ON people(部门);

CREATE TABLE peoplept (
    卡号 TEXT COLLATE NOCASE,
    姓名 TEXT COLLATE NOCASE,
    部门 TEXT COLLATE NOCASE,
    身份证号 TEXT,
    职务 TEXT COLLATE NOCASE,
    rmno TEXT,
    sex TEXT,
    birthday DATETEXT,
    marriage TEXT,
    tel TEXT,
    hukou TEXT,
    company TEXT,
    fcz TEXT,
    nation TEXT,
    spouse TEXT,
    ssex TEXT,
    shukou TEXT,
    scompany TEXT,
    child1 TEXT,
    child2 TEXT,
    child3 TEXT,
    others TEXT,
    照片 TEXT
);

-- One row per controller address; a lock exists when its name is not empty.
CREATE TABLE doors (
    地址 INTEGER,
    namedr1 TEXT,
    delay1 REAL,
    dtype1 TEXT,
    namedr2 TEXT,
    delay2 REAL,
    dtype2 TEXT,
    delay3 REAL
);
CREATE INDEX "doors.地址" ON doors(地址);

-- Time groups per controller address.
CREATE TABLE DTime (
    地址 INTEGER,
    时间段1 TEXT,
    时间段2 TEXT,
    时间段3 TEXT,
    时间段4 TEXT,
    时间段5 TEXT,
    时间段6 TEXT,
    时间段7 TEXT,
    时间段8 TEXT,
    时间段9 TEXT,
    时间段10 TEXT,
    时间段11 TEXT,
    时间段12 TEXT,
    时间段13 TEXT,
    时间段14 TEXT,
    时间段15 TEXT,
    时间段16 TEXT,
    标志 TEXT
);
CREATE INDEX "DTime.地址" ON DTime(地址);

-- Credentials loaded into the controllers; columns in the order of the full insert.
CREATE TABLE dfaka (
    地址 INTEGER,
    卡号 TEXT COLLATE NOCASE,
    物理卡号 TEXT COLLATE NOCASE,
    姓名 TEXT COLLATE NOCASE,
    部门 TEXT COLLATE NOCASE,
    周控制 BOOLEAN DEFAULT 0,
    锁1允许 BOOLEAN DEFAULT 0,
    锁2允许 BOOLEAN DEFAULT 0,
    时间控制 BOOLEAN DEFAULT 0,
    截止日期控制 BOOLEAN DEFAULT 0,
    周标志 TEXT,
    截止日期 TEXT,
    锁1时间段标志 TEXT,
    锁2时间段标志 TEXT,
    发卡日期 DATETEXT,
    密码标志 BOOLEAN DEFAULT 0
);
CREATE INDEX "dfaka.PrimaryKey" ON dfaka(地址, 卡号, 物理卡号);
CREATE INDEX "dfaka.物理卡号" ON dfaka(物理卡号);
CREATE INDEX "dfaka.部门" ON dfaka(部门);

-- Returned credentials (history).
CREATE TABLE dtuika (
    地址 INTEGER,
    卡号 TEXT COLLATE NOCASE,
    物理卡号 TEXT COLLATE NOCASE,
    姓名 TEXT COLLATE NOCASE,
    部门 TEXT COLLATE NOCASE,
    退卡日期 DATETEXT,
    退卡原因 TEXT
);

-- Punch records.
CREATE TABLE data (
    地址 INTEGER,
    卡号 TEXT COLLATE NOCASE,
    日期 DATETEXT,
    时间 DATETEXT,
    flag INTEGER,
    flagIO TEXT
);
CREATE INDEX "data.卡号日期" ON data(卡号, 日期, 时间);
CREATE INDEX "data.日期" ON data(日期);

-- Working-time rules, one row (times of day; "00:00:00" means unset).
CREATE TABLE owt (
    上班时间 DATETEXT,
    下班时间 DATETEXT,
    迟到时间 DATETEXT,
    早退时间 DATETEXT,
    timeb DATETEXT,
    timee DATETEXT,
    lat DATETEXT,
    let DATETEXT,
    Rest INTEGER,
    MaxHour REAL
);

-- Daily attendance results, one row per employee and day.
CREATE TABLE datakq (
    姓名 TEXT COLLATE NOCASE,
    部门 TEXT COLLATE NOCASE,
    职务 TEXT COLLATE NOCASE,
    卡号 TEXT COLLATE NOCASE,
    日期 DATETEXT,
    时间1 DATETEXT,
    时间2 DATETEXT,
    时间3 DATETEXT,
    时间4 DATETEXT,
    旷工 INTEGER DEFAULT 0,
    上班 REAL DEFAULT 0,
    迟到 INTEGER DEFAULT 0,
    早退 INTEGER DEFAULT 0,
    PRIMARY KEY (卡号, 日期)
);
CREATE INDEX "datakq.日期" ON datakq(日期);

-- Print tables, emptied and refilled by the query windows.
CREATE TABLE dataPT (
    姓名 TEXT COLLATE NOCASE,
    部门 TEXT COLLATE NOCASE,
    职务 TEXT COLLATE NOCASE,
    地址 INTEGER,
    卡号 TEXT COLLATE NOCASE,
    日期 DATETEXT,
    时间 TEXT,
    flag TEXT
);

-- Whether dataPT still holds the whole join of data with people. Every row
-- written to data, people or dataPT (by any program) moves stamp on; the
-- punch query sets it to a fresh value of its own when it rebuilds dataPT,
-- and while it reads that same value back it leaves dataPT as it is. A
-- database without this table or any of these triggers rebuilds every time.
CREATE TABLE dataPTstamp (
    stamp INTEGER NOT NULL
);
CREATE TRIGGER "data.insert" AFTER INSERT ON data BEGIN UPDATE dataPTstamp SET stamp = stamp + 1; END;
CREATE TRIGGER "data.update" AFTER UPDATE OF 地址, 卡号, 日期, 时间, flag ON data BEGIN UPDATE dataPTstamp SET stamp = stamp + 1; END;
CREATE TRIGGER "data.delete" AFTER DELETE ON data BEGIN UPDATE dataPTstamp SET stamp = stamp + 1; END;
CREATE TRIGGER "people.insert" AFTER INSERT ON people BEGIN UPDATE dataPTstamp SET stamp = stamp + 1; END;
CREATE TRIGGER "people.update" AFTER UPDATE OF 卡号, 姓名, 部门, 职务 ON people BEGIN UPDATE dataPTstamp SET stamp = stamp + 1; END;
CREATE TRIGGER "people.delete" AFTER DELETE ON people BEGIN UPDATE dataPTstamp SET stamp = stamp + 1; END;
CREATE TRIGGER "dataPT.insert" AFTER INSERT ON dataPT BEGIN UPDATE dataPTstamp SET stamp = stamp + 1; END;
CREATE TRIGGER "dataPT.update" AFTER UPDATE ON dataPT BEGIN UPDATE dataPTstamp SET stamp = stamp + 1; END;
CREATE TRIGGER "dataPT.delete" AFTER DELETE ON dataPT BEGIN UPDATE dataPTstamp SET stamp = stamp + 1; END;

CREATE TABLE datakqPT (
    姓名 TEXT COLLATE NOCASE,
    部门 TEXT COLLATE NOCASE,
    职务 TEXT COLLATE NOCASE,
    卡号 TEXT COLLATE NOCASE,
    日期 DATETEXT,
    时间1 DATETEXT,
    时间2 DATETEXT,
    时间3 DATETEXT,
    时间4 DATETEXT,
    旷工 INTEGER DEFAULT 0,
    上班 REAL DEFAULT 0,
    迟到 INTEGER DEFAULT 0,
    早退 INTEGER DEFAULT 0
);

CREATE TABLE dfakapt (
    地址 INTEGER,
    卡号 TEXT COLLATE NOCASE,
    物理卡号 TEXT COLLATE NOCASE,
    姓名 TEXT COLLATE NOCASE,
    部门 TEXT COLLATE NOCASE,
    截止日期 TEXT,
    周标志 TEXT,
    时间段1 TEXT,
    时间段2 TEXT,
    时间段3 TEXT,
    时间段4 TEXT,
    时间段5 TEXT,
    时间段6 TEXT,
    时间段7 TEXT,
    时间段8 TEXT,
    时间段9 TEXT,
    时间段10 TEXT,
    时间段11 TEXT,
    时间段12 TEXT,
    时间段13 TEXT,
    时间段14 TEXT,
    时间段15 TEXT,
    时间段16 TEXT,
    时间段17 TEXT,
    时间段18 TEXT,
    时间段19 TEXT,
    时间段20 TEXT,
    时间段21 TEXT,
    时间段22 TEXT,
    时间段23 TEXT,
    时间段24 TEXT,
    时间段25 TEXT,
    时间段26 TEXT,
    时间段27 TEXT,
    时间段28 TEXT,
    时间段29 TEXT,
    时间段30 TEXT,
    时间段31 TEXT,
    时间段32 TEXT,
    发卡日期 DATETEXT,
    密码标志 BOOLEAN DEFAULT 0
);

CREATE TABLE dtuikapt (
    地址 INTEGER,
    卡号 TEXT COLLATE NOCASE,
    物理卡号 TEXT COLLATE NOCASE,
    姓名 TEXT COLLATE NOCASE,
    部门 TEXT COLLATE NOCASE,
    退卡日期 DATETEXT,
    退卡原因 TEXT
);

CREATE TABLE fakapt (
    姓名 TEXT,
    卡号 TEXT,
    地址 INTEGER,
    有效锁 TEXT,
    进出规则 TEXT,
    物理卡号 TEXT,
    截止期 TEXT,
    有效日 TEXT,
    时段一 TEXT
);

-- Fixed rows ---------------------------------------------------------------

INSERT INTO system (name, zhi, detail, dw) VALUES ('串口号', 1, '', NULL);
INSERT INTO system (name, zhi, detail, dw) VALUES ('通讯设置', 0, '9600,n,8,1', NULL);
INSERT INTO system (name, zhi, detail, dw) VALUES ('输入缓冲区', 2048, NULL, '字节');
INSERT INTO system (name, zhi, detail, dw) VALUES ('输出缓冲区', 512, NULL, '字符');
INSERT INTO system (name, zhi, detail, dw) VALUES ('发卡机', 1, NULL, NULL);
INSERT INTO system (name, zhi, detail, dw) VALUES ('命令延时', 400, NULL, NULL);
INSERT INTO system (name, zhi, detail, dw) VALUES ('机器版本号', 0, 'JQ8096 V5.1.0', NULL);
INSERT INTO system (name, zhi, detail, dw) VALUES ('采集等待时间', 5, NULL, NULL);

INSERT INTO cjtype (采集类型, 采集时间) VALUES (0, '0');

-- The print table's stamp: the one row its triggers move on.
INSERT INTO dataPTstamp (stamp) VALUES (0);

-- Controller versions: the ninth character of a label ("5" in "JQ8096 V5.1.0")
-- at 5 or above means keypad passwords and card-plus-password time groups.
INSERT INTO Dict_Pub (ChiID, PubItem, SubItem, ParID) VALUES (1, '门禁系统', '机器版本号', 0);
INSERT INTO Dict_Pub (ChiID, PubItem, SubItem, ParID) VALUES (2, '机器版本号', 'JQ8096 V3.2.0', 1);
INSERT INTO Dict_Pub (ChiID, PubItem, SubItem, ParID) VALUES (3, '机器版本号', 'JQ8096 V4.1.0', 1);
INSERT INTO Dict_Pub (ChiID, PubItem, SubItem, ParID) VALUES (4, '机器版本号', 'JQ8096 V5.0.0', 1);
INSERT INTO Dict_Pub (ChiID, PubItem, SubItem, ParID) VALUES (5, '机器版本号', 'JQ8096 V5.1.0', 1);

-- The shipped operator: every right, password "1".
INSERT INTO user VALUES ('admin', '1', 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1);

COMMIT;
