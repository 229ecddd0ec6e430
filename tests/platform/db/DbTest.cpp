// The access layer on a copy of the shipped database.
#include "db/Db.h"
#include "db/RecordsetModel.h"
#include "db/Rows.h"
#include "runtime/RuntimeError.h"
#include "../ErrorOf.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QFile>
#include <QTemporaryDir>

#include <functional>

namespace {

class DbTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString path;

    void SetUp() override
    {
        path = dir.filePath("door.mdb");
        ASSERT_TRUE(QFile::copy(SHIPPED_DB, path));
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    }
    db::Connection ado()
    {
        db::Connection c;
        c.setProvider(db::Connection::kProvider);
        c.setConnectionString("Data Source=" + path);
        c.open();
        return c;
    }
    static QStringList columns(db::Connection& c, const QString& table)
    {
        QStringList out;
        db::Recordset rs = c.execute("select name from pragma_table_info(?)", {table});
        for (; !rs.eof(); rs.moveNext())
            out << rs.text("name");
        return out;
    }
};

TEST_F(DbTest, OpeningRefusesMissingFilesUnknownProvidersAndNonDatabases)
{
    db::Connection c;
    c.setProvider("SQLite");
    c.setConnectionString("Data Source=" + dir.filePath("none.mdb"));
    EXPECT_EQ(errorOf([&] { c.open(); }), rt::ErrFail);
    EXPECT_FALSE(QFile::exists(dir.filePath("none.mdb"))) << "a missing database must never be created";
    EXPECT_EQ(errorOf([&] { db::Database::open(dir.filePath("none.mdb")); }), rt::ErrFail);

    c.setConnectionString("Data Source=" + path);
    c.setProvider("");
    EXPECT_EQ(errorOf([&] { c.open(); }), rt::ErrProviderNotFound);
    c.setProvider("Microsoft.Jet.OLEDB.4.0");
    EXPECT_EQ(errorOf([&] { c.open(); }), rt::ErrProviderNotFound);

    QFile junk(dir.filePath("junk.mdb"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("this is not a database at all, just some text for the test.......");
    junk.close();
    EXPECT_EQ(errorOf([&] { db::Database::open(junk.fileName()); }), rt::ErrFail);
    QFile empty(dir.filePath("empty.mdb"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    EXPECT_EQ(errorOf([&] { db::Database::open(empty.fileName()); }), rt::ErrFail);

    c.setProvider("sqlite");
    c.open();
    EXPECT_TRUE(c.isOpen());
    EXPECT_EQ(c.connectionString(), "Provider=sqlite;Data Source=" + QFileInfo(path).absoluteFilePath());
}

TEST_F(DbTest, SchemaKeepsTheColumnOrderThatInsertsRelyOn)
{
    db::Connection c = ado();
    QStringList user = columns(c, "user");
    ASSERT_EQ(user.size(), 33);
    EXPECT_EQ(user.mid(0, 5), QStringList({"sysname", "syspword", "usersetting", "usermanage", "r0"}));
    EXPECT_EQ(user[28], "r24");
    EXPECT_EQ(columns(c, "people"),
              QStringList({"卡号", "姓名", "部门", "身份证号", "职务", "rmno", "sex", "birthday", "marriage", "tel", "hukou",
                           "company", "fcz", "nation", "spouse", "ssex", "shukou", "scompany", "child1", "child2",
                           "child3", "others", "照片"}));
    EXPECT_EQ(columns(c, "dfaka"),
              QStringList({"地址", "卡号", "物理卡号", "姓名", "部门", "周控制", "锁1允许", "锁2允许", "时间控制",
                           "截止日期控制", "周标志", "截止日期", "锁1时间段标志", "锁2时间段标志", "发卡日期", "密码标志"}));
    EXPECT_EQ(columns(c, "datakqPT"), columns(c, "datakq"));
    EXPECT_EQ(columns(c, "peoplept"), columns(c, "people"));
    EXPECT_EQ(columns(c, "dfakapt").size(), 7 + 32 + 2);

    // An insert without a column list, as the initialisation writes it.
    QString marks = QStringList(QList<QString>(31, "?")).join(',');
    QVariantList values{"op2", "9"};
    for (int i = 0; i < 31; ++i)
        values << true;
    c.execute("insert into [user] values(?,?," + marks + ")", values);
    // A row with only name, password and the two flags holds False in every right.
    c.execute("insert into [user] (sysname, syspword, usersetting, usermanage) values (?,?,?,?)", {"op3", "x", true, false});
    db::Recordset rs = c.execute("select * from [user] where sysname=?", {"op3"});
    ASSERT_EQ(rs.recordCount(), 1);
    EXPECT_FALSE(db::toBool(rs.field("r24")));
    EXPECT_TRUE(db::toBool(rs.field("usersetting")));
    EXPECT_EQ(rs.fieldInfo(rs.fieldIndex("r0")).type, db::adBoolean);
}

// Every table with its columns in order and their kinds: T text, N number,
// B Yes/No, D date/time, "" kinds not checked.
TEST_F(DbTest, EveryTableHasItsColumnsInOrderWithTheirKinds)
{
    auto numbered = [](const QString& stem, int from, int to) {
        QStringList out;
        for (int i = from; i <= to; ++i)
            out << stem + QString::number(i);
        return out;
    };
    const QStringList card{"地址", "卡号", "物理卡号", "姓名", "部门"};
    const QStringList people{"卡号", "姓名", "部门", "身份证号", "职务", "rmno", "sex", "birthday", "marriage", "tel",
                             "hukou", "company", "fcz", "nation", "spouse", "ssex", "shukou", "scompany", "child1",
                             "child2", "child3", "others", "照片"};
    const QStringList datakq = QStringList{"姓名", "部门", "职务", "卡号", "日期"} + numbered("时间", 1, 4)
        + QStringList{"旷工", "上班", "迟到", "早退"};
    struct Table {
        const char* name;
        QStringList columns;
        QString kinds;
    };
    const QList<Table> tables{
        {"system", {"name", "zhi", "detail", "dw"}, "TNTT"},
        {"cjtype", {"采集类型", "采集时间"}, "NT"},
        {"user", QStringList{"sysname", "syspword", "usersetting", "usermanage"} + numbered("r", 0, 24), "TT" + QString(27, 'B')},
        {"Dict_Pub", {"ChiID", "PubItem", "SubItem", "ParID"}, "NTTN"},
        {"department", {"部门"}, "T"},
        {"people", people, "TTTTTTTD" + QString(15, 'T')},
        {"peoplept", people, "TTTTTTTD" + QString(15, 'T')},
        {"doors", {"地址", "namedr1", "delay1", "dtype1", "namedr2", "delay2", "dtype2", "delay3"}, "NTNTTNTN"},
        {"DTime", QStringList{"地址"} + numbered("时间段", 1, 16) + QStringList{"标志"}, "N" + QString(17, 'T')},
        {"dfaka", card + QStringList{"周控制", "锁1允许", "锁2允许", "时间控制", "截止日期控制", "周标志", "截止日期",
                                     "锁1时间段标志", "锁2时间段标志", "发卡日期", "密码标志"},
         "NTTTTBBBBBTTTTDB"},
        {"dtuika", card + QStringList{"退卡日期", "退卡原因"}, "NTTTTDT"},
        {"data", {"地址", "卡号", "日期", "时间", "flag", "flagIO"}, "NTDDNT"},
        {"owt", {"上班时间", "下班时间", "迟到时间", "早退时间", "timeb", "timee", "lat", "let", "Rest", "MaxHour"}, "DDDDDDDDNN"},
        {"datakq", datakq, "TTTTD"},
        {"dataPT", {"姓名", "部门", "职务", "地址", "卡号", "日期", "时间", "flag"}, "TTTNTDTT"},
        {"datakqPT", datakq, "TTTTD"},
        {"dfakapt", card + QStringList{"截止日期", "周标志"} + numbered("时间段", 1, 32) + QStringList{"发卡日期", "密码标志"},
         "NTTTTTT" + QString(32, 'T') + "DB"},
        {"dtuikapt", card + QStringList{"退卡日期", "退卡原因"}, "NTTTTDT"},
        {"fakapt", {"姓名", "卡号", "地址", "有效锁", "进出规则", "物理卡号", "截止期", "有效日", "时段一"}, ""},
    };
    db::Connection c = ado();
    for (const Table& t : tables) {
        SCOPED_TRACE(t.name);
        QStringList got = columns(c, t.name);
        // user: four more Yes/No columns after r24 that nothing reads by name.
        EXPECT_EQ(got.mid(0, t.columns.size()), t.columns);
        EXPECT_EQ(got.size(), QString(t.name) == "user" ? 33 : t.columns.size());
        db::Recordset rs = c.execute(QString("select * from %1 where 1<>1").arg(t.name));
        for (int i = 0; i < t.kinds.size() && i < rs.fieldCount(); ++i) {
            const int type = rs.fieldInfo(i).type;
            const QChar kind = type == db::adBoolean ? 'B' : type == db::adDate ? 'D' : db::isNumberType(type) ? 'N' : 'T';
            EXPECT_EQ(kind, t.kinds[i]) << rs.fieldInfo(i).name.toStdString();
        }
    }
    // The four unread Yes/No columns of user too.
    db::Recordset user = c.execute("select * from [user] where 1<>1");
    for (int i = 29; i < 33; ++i)
        EXPECT_EQ(user.fieldInfo(i).type, db::adBoolean);
    // The attendance result's number columns are numbers as well.
    db::Recordset kq = c.execute("select 旷工, 上班, 迟到, 早退 from datakq where 1<>1");
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(db::isNumberType(kq.fieldInfo(i).type));
}

TEST_F(DbTest, ShippedRowsIncludeSettingsAndVersionLabelsOnBothSidesOfFive)
{
    db::Connection c = ado();
    for (const char* name : {"串口号", "通讯设置", "输入缓冲区", "输出缓冲区", "发卡机", "命令延时", "机器版本号", "采集等待时间"})
        EXPECT_EQ(c.execute("select * from system where name=?", {QString::fromUtf8(name)}).recordCount(), 1) << name;
    db::Recordset v = c.execute(" SELECT SubItem From Dict_Pub Where ParID=(SELECT ChiID FROM Dict_Pub WHERE SubItem='机器版本号' LIMIT 1) ");
    bool low = false, high = false;
    for (; !v.eof(); v.moveNext()) {
        QString label = v.text("SubItem");
        ASSERT_GE(label.size(), 9);
        (label[8].digitValue() >= 5 ? high : low) = true;
    }
    EXPECT_TRUE(low);
    EXPECT_TRUE(high);
    // A new dictionary row gets its identity from the database.
    c.execute("insert into Dict_Pub (PubItem, SubItem, ParID) values (?,?,?)", {"门禁系统", "职位", 0});
    db::Recordset root = c.execute("select ChiID from Dict_Pub where SubItem=? and ParID=0", {"职位"});
    ASSERT_EQ(root.recordCount(), 1);
    EXPECT_GT(root.field("ChiID").toInt(), 5);
}

TEST_F(DbTest, TableNamesInAnyLetterCaseReachOneTable)
{
    db::Connection c = ado();
    c.execute("insert into DFaka (地址, 卡号, 物理卡号) values (?,?,?)", {1, "00000001", "0000123456"});
    EXPECT_EQ(c.execute("select * from dfaka").recordCount(), 1);
    EXPECT_EQ(c.execute("select * from DFAKA").recordCount(), 1);
    db::Database d = db::Database::open(path);
    EXPECT_EQ(d.openTable("Dfaka").recordCount(), 1);
    EXPECT_EQ(d.openTable("[user]").tableName(), "user");
    EXPECT_EQ(d.openRecordset("DTuiKa").recordCount(), 0);
    EXPECT_EQ(errorOf([&] { d.openTable("nosuchtable"); }), rt::ErrTableNotFound);
}

TEST_F(DbTest, ValuesAreBoundSoApostrophesAndDatesAreSafe)
{
    db::Connection c = ado();
    const QString name = "O'Brien'); delete from people; --";
    c.execute("insert into people (卡号, 姓名, 部门, birthday) values (?,?,?,?)", {"00000007", name, "D'ept", QDate(1990, 2, 3)});
    db::Recordset rs = c.execute("select * from people where 姓名=?", {name});
    ASSERT_EQ(rs.recordCount(), 1);
    EXPECT_EQ(rs.text("birthday"), "1990-02-03");
    EXPECT_EQ(rs.text("部门"), "D'ept");
    EXPECT_EQ(c.execute("select * from people").recordCount(), 1);
    // Names compare without regard to letter case.
    EXPECT_EQ(c.execute("select * from people where 部门=?", {"d'EPT"}).recordCount(), 1);
    EXPECT_EQ(errorOf([&] { c.execute("select * from people where 卡号=?"); }), rt::ErrDatabase);
}

TEST_F(DbTest, ClientRecordsetMovesAndReportsItsEdges)
{
    db::Connection c = ado();
    for (int a : {3, 1, 2})
        c.execute("insert into doors (地址, namedr1, delay1) values (?,?,?)", {a, QString("门%1").arg(a), 0.5});
    db::Recordset rs = c.execute("select * from doors order by cast(地址 as integer)");
    EXPECT_EQ(rs.recordCount(), 3);
    EXPECT_FALSE(rs.bof());
    EXPECT_EQ(rs.field("地址").toInt(), 1);
    EXPECT_EQ(rs.field("NAMEDR1").toString(), "门1");
    EXPECT_DOUBLE_EQ(rs.field("delay1").toDouble(), 0.5);
    EXPECT_TRUE(db::isNull(rs.field("namedr2")));
    EXPECT_EQ(db::cint(rs.field("地址")), 1);
    EXPECT_EQ(db::cint(QVariant(2.5)), 2);
    EXPECT_EQ(db::clng(QVariant(" 42 ")), 42);
    EXPECT_EQ(errorOf([&] { db::cint(rs.field("namedr2")); }), rt::ErrInvalidUseOfNull);
    EXPECT_EQ(errorOf([&] { db::cint(QVariant(40000)); }), rt::ErrOverflow);
    EXPECT_EQ(rs.text("namedr2"), "");
    rs.moveLast();
    EXPECT_EQ(rs.field("地址").toInt(), 3);
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    EXPECT_EQ(errorOf([&] { rs.moveNext(); }), rt::ErrNoCurrentRecord);
    EXPECT_EQ(errorOf([&] { rs.field("地址"); }), rt::ErrNoCurrentRecord);
    rs.moveFirst();
    rs.movePrevious();
    EXPECT_TRUE(rs.bof());
    EXPECT_EQ(errorOf([&] { rs.field("nosuch"); }), rt::ErrItemNotFound);
    EXPECT_FALSE(rs.updatable());

    db::Recordset none = c.execute("select * from people where 1<>1");
    EXPECT_TRUE(none.eof());
    EXPECT_TRUE(none.bof());
    EXPECT_EQ(none.recordCount(), 0);
    EXPECT_EQ(none.fieldCount(), 23);
    EXPECT_FALSE(c.execute("delete from doors").isOpen());
}

TEST_F(DbTest, SeekOnCardAndDayFindsAtMostOneRow)
{
    db::Database d = db::Database::open(path);
    d.execute("insert into datakq (卡号, 日期, 姓名) values (?,?,?)", {"00000001", QDate(2026, 1, 5), "甲"});
    d.execute("insert into datakq (卡号, 日期, 姓名) values (?,?,?)", {"00000001", QDate(2026, 1, 6), "甲"});
    d.execute("insert into datakq (卡号, 日期, 姓名) values (?,?,?)", {"00000002", QDate(2026, 1, 5), "乙"});
    EXPECT_EQ(errorOf([&] { d.execute("insert into datakq (卡号, 日期) values (?,?)", {"00000001", "2026-01-05"}); }),
              rt::ErrDatabase);

    db::TableRecordset t = d.openTable("datakq");
    t.setIndex("Primarykey");
    t.seek("=", {"00000001", QDate(2026, 1, 6)});
    ASSERT_FALSE(t.noMatch());
    EXPECT_EQ(t.text("日期"), "2026-01-06");
    t.seek("=", {"00000003", QDate(2026, 1, 6)});
    EXPECT_TRUE(t.noMatch());
    t.seek(">=", {"00000001", QDate(2026, 1, 5)});
    EXPECT_EQ(t.text("姓名"), "甲");

    db::TableRecordset u = d.openTable("user");
    u.setIndex("sysname");
    u.seek("=", {"ADMIN"});
    ASSERT_FALSE(u.noMatch());
    EXPECT_EQ(u.text("sysname"), "admin");
    db::TableRecordset p = d.openTable("People");
    p.setIndex("primarykey");
    EXPECT_EQ(errorOf([&] { p.setIndex("nosuchindex"); }), rt::ErrItemNotFound);
    d.openTable("dfaka").setIndex("PrimaryKey");
}

TEST_F(DbTest, TableRecordsetEditsInIndexOrderAndSeesOtherWriters)
{
    db::Database d = db::Database::open(path);
    db::TableRecordset t = d.openTable("people");
    EXPECT_TRUE(t.eof());
    EXPECT_TRUE(t.bof());
    t.setIndex("PrimaryKey");
    for (const char* n : {"00000003", "00000001", "00000002"}) {
        t.addNew();
        t.setField("卡号", QString::fromLatin1(n));
        t.setField("姓名", QString("n") + n);
        t.update();
    }
    EXPECT_EQ(t.recordCount(), 3);
    t.moveFirst();
    QStringList seen;
    for (; !t.eof(); t.moveNext())
        seen << t.text("卡号");
    EXPECT_EQ(seen, QStringList({"00000001", "00000002", "00000003"}));
    t.moveLast();
    t.movePrevious();
    EXPECT_EQ(t.text("卡号"), "00000002");
    t.edit();
    t.setField("部门", "财务");
    t.update();
    EXPECT_EQ(t.text("部门"), "财务");
    t.remove();
    EXPECT_EQ(errorOf([&] { t.field("卡号"); }), rt::ErrNoCurrentRecord);
    t.moveNext();
    EXPECT_EQ(t.text("卡号"), "00000003");
    t.findFirst("姓名=?", {"n00000001"});
    ASSERT_FALSE(t.noMatch());
    EXPECT_EQ(t.text("卡号"), "00000001");
    t.findFirst("姓名=?", {"nobody"});
    EXPECT_TRUE(t.noMatch());

    // A row written by another handle shows on the next move.
    db::Connection c = ado();
    c.execute("insert into people (卡号) values (?)", {"00000000"});
    t.moveFirst();
    EXPECT_EQ(t.text("卡号"), "00000000");
    EXPECT_EQ(t.recordCount(), 3);
}

TEST_F(DbTest, DynasetOfOneTableIsUpdatableOthersAreReadOnly)
{
    db::Database d = db::Database::open(path);
    db::Recordset s = d.openRecordset("select * from system");
    ASSERT_TRUE(s.updatable());
    s.findFirst("name=?", {"命令延时"});
    ASSERT_FALSE(s.noMatch());
    s.edit();
    s.setField("zhi", 250);
    s.update();
    EXPECT_EQ(s.field("zhi").toInt(), 250);
    s.findFirst("name=?", {"不存在"});
    EXPECT_TRUE(s.noMatch());
    EXPECT_EQ(ado().execute("select zhi from system where name=?", {"命令延时"}).field("zhi").toInt(), 250);

    db::Recordset cj = d.openRecordset("select * from cjtype");
    cj.addNew();
    cj.setField("采集类型", 1);
    cj.setField("采集时间", "07:05");
    cj.update();
    EXPECT_EQ(cj.recordCount(), 2);
    cj.moveLast();
    EXPECT_EQ(cj.text("采集时间"), "07:05");
    cj.remove();
    cj.moveNext();
    EXPECT_TRUE(cj.eof()) << "deleting the last row leaves the recordset at its end";
    EXPECT_EQ(d.openTable("cjtype").recordCount(), 1);

    EXPECT_FALSE(d.openRecordset("select distinct name from system").updatable());
    EXPECT_FALSE(d.openRecordset("select count(*) as n from system").updatable());
    EXPECT_EQ(d.openRecordset("select count(*) as n from system").field("n").toInt(), 8);

    // Any move drops a pending Edit or AddNew: the update after it fails as
    // on a table recordset, and writes nothing.
    auto descriptionOf = [](const std::function<void()>& f) {
        try {
            f();
        } catch (const rt::Error& e) {
            return e.description();
        }
        return QString();
    };
    db::TableRecordset table = d.openTable("system");
    const QString notEditing = descriptionOf([&] { table.update(); });
    ASSERT_FALSE(notEditing.isEmpty());
    db::Recordset r = d.openRecordset("select * from system order by name");
    const int last = r.recordCount() - 1;
    enum { Editing = 1, Adding = 2, Both = 3 };
    const struct {
        const char* what;
        int from;
        std::function<void()> move;
        int modes = Both;
        std::function<void()> before = {};
    } moves[] = {
        {"next from the last row", last, [&] { r.moveNext(); }},
        {"first", 3, [&] { r.moveFirst(); }},
        {"last", 3, [&] { r.moveLast(); }},
        {"next", 3, [&] { r.moveNext(); }},
        {"previous", 3, [&] { r.movePrevious(); }},
        {"previous from the first row", 0, [&] { r.movePrevious(); }},
        {"to a position", 3, [&] { r.setAbsolutePosition(5); }},
        {"to a found row", 3, [&] { r.findFirst("name=?", {"串口号"}); }},
        {"a delete", 3, [&] { r.remove(); }, Editing},
        {"next after a delete", 3, [&] { r.moveNext(); }, Adding, [&] { r.remove(); }},
    };
    for (const auto& move : moves) {
        for (bool adding : {false, true}) {
            if (!(move.modes & (adding ? Adding : Editing)))
                continue;
            SCOPED_TRACE(std::string(move.what) + (adding ? ", adding" : ", editing"));
            r.setAbsolutePosition(move.from);
            if (move.before)
                move.before();
            adding ? r.addNew() : r.edit();
            r.setField("detail", "moved");
            move.move();
            EXPECT_EQ(descriptionOf([&] { r.update(); }), notEditing);
        }
    }
    EXPECT_EQ(r.recordCount(), last + 1 - 2) << "the two deleted rows gone, nothing added";

    // So does every move of a table recordset, its finds and seeks among them.
    table.setIndex("name");
    const QString firstName = table.text("name");
    table.moveLast();
    const QString lastName = table.text("name");
    const std::pair<const char*, std::function<void()>> tableMoves[] = {
        {"first", [&] { table.moveFirst(); }},
        {"last", [&] { table.moveLast(); }},
        {"next", [&] { table.moveNext(); }},
        {"previous", [&] { table.movePrevious(); }},
        {"seek", [&] { table.seek("=", {lastName}); }},
        {"find first", [&] { table.findFirst("name=?", {lastName}); }},
        {"find next", [&] { table.findNext("name<>?", {firstName}); }},
    };
    for (const auto& [what, move] : tableMoves) {
        for (bool adding : {false, true}) {
            SCOPED_TRACE(std::string("table recordset, ") + what + (adding ? ", adding" : ", editing"));
            table.moveFirst();
            adding ? table.addNew() : table.edit();
            table.setField("detail", "moved");
            move();
            EXPECT_EQ(descriptionOf([&] { table.update(); }), notEditing);
        }
    }
    EXPECT_EQ(ado().execute("select * from system where detail='moved'").recordCount(), 0);

    // Deleting the first row leaves the others in their order.
    QStringList names;
    for (r.moveFirst(); !r.eof(); r.moveNext())
        names << r.text("name");
    r.moveFirst();
    r.remove();
    r.moveNext();
    EXPECT_EQ(r.text("name"), names[1]);
    QStringList rest;
    for (; !r.eof(); r.moveNext())
        rest << r.text("name");
    EXPECT_EQ(rest, names.mid(1));
}

TEST_F(DbTest, TwoHandlesWriteInTurnWithoutBusyErrors)
{
    db::Connection a = ado();
    db::Database b = db::Database::openConnect(";database=" + path);
    db::Recordset held = a.execute("select * from system"); // a recordset kept open holds no lock
    for (int i = 0; i < 20; ++i) {
        a.execute("insert into data (地址, 卡号, 日期, 时间) values (?,?,?,?)", {1, "00000001", "2026-01-05", QString("08:00:%1").arg(i, 2, 10, QChar('0'))});
        b.execute("update system set zhi=? where name=?", {i, "命令延时"});
        db::TableRecordset t = b.openTable("data");
        t.addNew();
        t.setField("卡号", "00000002");
        t.update();
    }
    EXPECT_EQ(a.execute("select * from data").recordCount(), 40);
    EXPECT_EQ(held.recordCount(), 8);

    b.beginTrans();
    b.execute("delete from data");
    b.rollback();
    EXPECT_EQ(a.execute("select * from data").recordCount(), 40);
}

TEST_F(DbTest, EngineFailuresReachTheOperatorInChineseWithTheEngineText)
{
    db::Connection c = ado();
    db::Database other = db::Database::open(path);
    auto description = [](auto f) {
        try {
            f();
        } catch (const rt::Error& e) {
            return e.number() == rt::ErrDatabase ? e.description() : QString::number(e.number());
        }
        return QString();
    };
    const int pages = c.execute("PRAGMA page_count").field("page_count").toInt();
    const struct {
        const char* what;
        std::function<void()> run;
        QString text;
    } cases[] = {
        {"missing table", [&] { c.execute("select * from nosuch"); }, "数据库中没有所需的表（no such table: nosuch）"},
        {"missing column", [&] { c.execute("select nosuch from people"); }, "数据库中没有所需的字段（no such column: nosuch）"},
        {"column missing from an insert", [&] { c.execute("insert into people (nosuch) values (1)"); },
         "数据库中没有所需的字段（table people has no column named nosuch）"},
        {"read-only", [&] {
             other.execute("PRAGMA query_only=1");
             other.execute("delete from people");
         },
         "数据库文件是只读的，不能写入（attempt to write a readonly database）"},
        {"disk full", [&] {
             c.execute(QString("PRAGMA max_page_count=%1").arg(pages));
             c.execute("insert into people (卡号, 姓名) values ('00000001', ?)", {QString(200000, QChar(u'名'))});
         },
         "磁盘空间已满，数据未能写入（database or disk is full）"},
        {"busy", [&] {
             other.execute("PRAGMA query_only=0");
             other.beginTrans();
             other.execute("delete from doors");
             c.setCommandTimeout(0);
             c.execute("delete from people");
         },
         "数据库正被其他程序使用（忙或已锁定），请稍后再试（database is locked）"},
        {"a message the layer has no description for", [&] { c.execute("select * from"); },
         "incomplete input"},
    };
    for (const auto& k : cases)
        EXPECT_EQ(description(k.run), "数据库错误：" + k.text) << k.what;
    other.rollback();

    // A damaged file: the page of table people overwritten.
    const qint64 pageSize = c.execute("PRAGMA page_size").field("page_size").toLongLong();
    const qint64 root = c.execute("select rootpage from sqlite_master where name='people'").field("rootpage").toLongLong();
    c.close();
    other.close();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    f.seek((root - 1) * pageSize);
    f.write(QByteArray(int(pageSize), '\xA5'));
    f.close();
    db::Connection d = ado();
    EXPECT_EQ(description([&] { d.execute("select * from people"); }),
              "数据库错误：数据库文件已损坏（database disk image is malformed）");
}

TEST_F(DbTest, CanWriteIsFalseOnlyWhenTheFileCannotBeWritten)
{
    db::Connection c = ado();
    EXPECT_TRUE(c.canWrite());
    // Another writer makes the file busy, not read-only.
    db::Database other = db::Database::open(path);
    other.beginTrans();
    other.execute("delete from doors");
    EXPECT_TRUE(c.canWrite());
    other.rollback();
    c.execute("PRAGMA query_only=1");
    EXPECT_FALSE(c.canWrite());
    c.execute("PRAGMA query_only=0");
    EXPECT_TRUE(c.canWrite());
    EXPECT_EQ(c.execute("select count(*) as n from system").field("n").toInt(), 8);   // nothing was changed
}

TEST_F(DbTest, RepeatedStatementsStaySoundAfterFailuresSchemaChangesAndManyOthers)
{
    db::Database d = db::Database::open(path);
    const QString add = "insert into system (name, zhi) values (?, ?)";
    const QString get = "select zhi from system where name=?";
    d.execute(add, {"甲", 1});
    EXPECT_EQ(errorOf([&] { d.execute(add, {"甲", 2}); }), 3000);   // name is unique
    d.execute(add, {"乙", 3});
    EXPECT_EQ(d.openRecordset(get, {"甲"}).value(0).toInt(), 1);
    EXPECT_EQ(d.openRecordset(get, {"乙"}).value(0).toInt(), 3);

    d.execute("create table t (x)");
    d.execute("insert into t values (7)");
    const QString read = "select * from t";
    EXPECT_EQ(d.openRecordset(read).fieldCount(), 1);
    d.execute("drop table t");
    d.execute("create table t (y, x)");
    d.execute("insert into t values (8, 9)");
    db::Recordset rs = d.openRecordset(read);
    ASSERT_EQ(rs.fieldCount(), 2);
    EXPECT_EQ(rs.field("x").toInt(), 9);

    for (int i = 0; i < 200; ++i)
        d.execute(QString("update system set zhi=%1 where name='乙'").arg(i));
    EXPECT_EQ(d.openRecordset(get, {"乙"}).value(0).toInt(), 199);
}

TEST_F(DbTest, GridModelShowsTheBoundFields)
{
    db::Connection c = ado();
    c.execute("insert into dfaka (地址, 卡号, 物理卡号, 密码标志) values (?,?,?,?)", {2, "00001234", "0000000099", 1});
    db::RecordsetModel m;
    m.setRecordset(c.execute("select 卡号, 地址, 密码标志 from dfaka"));
    ASSERT_EQ(m.columnCount(), 3);
    EXPECT_EQ(m.rowCount(), 1);
    EXPECT_EQ(m.headerData(0, Qt::Horizontal).toString(), "卡号");
    EXPECT_EQ(m.data(m.index(0, 0)).toString(), "00001234");
    EXPECT_EQ(m.data(m.index(0, 2)).toString(), "True");
    m.setColumns({{"地址", "地址"}, {"员工号", "卡号"}});
    EXPECT_EQ(m.data(m.index(0, 1)).toString(), "00001234");
    EXPECT_EQ(m.fieldOf(0), 1);

    // Every kind of value reads back as the engine holds it, in a row of
    // many cells after a few thousand others, and the grid shows its text.
    struct Cell {
        QByteArray sql;
        QVariant value;
    };
    QList<Cell> cells = {
        {"null", QVariant()},
        {"0", qlonglong(0)},
        {"-1", qlonglong(-1)},
        {"9223372036854775807", qlonglong(9223372036854775807LL)},
        {"-9223372036854775807 - 1", qlonglong(-9223372036854775807LL - 1)},
        {"4294967280", qlonglong(4294967280LL)},
        {"0.5", 0.5},
        {"-1e300", -1e300},
        {"''", QString("")},
        {"'员工7 O''Brien'", QString("员工7 O'Brien")},
        {"'a' || char(0) || 'b'", QString("a") + QChar(0) + "b"},
        {"x'00ff'", QByteArray("\x00\xff", 2)},
        {"printf('%.300c', 'x')", QString(300, QLatin1Char('x'))},
    };
    // Whole numbers on both sides of each length of their packed form:
    // 7 bits a byte, the sign folded into the lowest bit.
    for (int bits = 6; bits < 63; bits += 7) {
        const qint64 b = qint64(1) << bits;
        for (qint64 v : {b - 1, b, -b, -b - 1})
            cells.append({QByteArray::number(v), qlonglong(v)});
    }
    QStringList exprs;
    for (const Cell& k : cells)
        exprs << QString::fromUtf8(k.sql);
    db::Recordset many = c.execute(QString("with recursive n(i) as (select 1 union all select i+1 from n where i < 3000) "
                                           "select i, %1 from n").arg(exprs.join(", ")));
    ASSERT_EQ(many.recordCount(), 3000);
    m.setRecordset(many);
    for (int row = 0; row < 3000; ++row) {
        ASSERT_EQ(many.valueAt(row, 0), qlonglong(row + 1));
        for (int i = 0; i < cells.size(); ++i)
            ASSERT_EQ(many.valueAt(row, i + 1), cells[i].value) << cells[i].sql.constData() << ", row " << row;
    }
    for (int i = 0; i < cells.size(); ++i) {
        const QVariant v = many.valueAt(2999, i + 1);
        EXPECT_EQ(v.typeId(), cells[i].value.typeId()) << cells[i].sql.constData();
        if (cells[i].value.typeId() != QMetaType::QByteArray) {
            EXPECT_EQ(m.data(m.index(2999, i + 1)).toString(), db::text(cells[i].value)) << cells[i].sql.constData();
        }
    }
    EXPECT_FALSE(many.valueAt(3000, 0).isValid());

    // A row larger than a chunk of the store, between two small ones.
    QByteArray blob(3 << 20, Qt::Uninitialized);
    for (int i = 0; i < blob.size(); ++i)
        blob[i] = char(i % 251);
    const QString longText(1 << 20, QChar(u'名'));   // 3 MB as UTF-8
    db::Recordset big = c.execute("select i, case i when 2 then ? end, case i when 2 then ? end "
                                  "from (select 1 as i union all select 2 union all select 3)", {blob, longText});
    ASSERT_EQ(big.recordCount(), 3);
    EXPECT_EQ(big.valueAt(1, 1).toByteArray(), blob);
    EXPECT_EQ(big.valueAt(1, 2).toString(), longText);
    EXPECT_EQ(big.valueAt(2, 0), qlonglong(3));
}

TEST_F(DbTest, BeforeRowsMayCloseTheConnection)
{
    db::Connection c = ado();
    long long affected = -1;   // read after the callback closed the connection
    db::Recordset rs = c.execute("select name from system order by name", {}, &affected, [&] { c.close(); });
    EXPECT_FALSE(c.isOpen());
    EXPECT_EQ(rs.recordCount(), 8) << "the statement that had started ends as it would have";
    EXPECT_EQ(errorOf([&] { c.execute("select 1"); }), rt::ErrObjectClosed);
}

TEST_F(DbTest, MovedFromRowsAreEmptyAndTakeNewRows)
{
    auto oneRow = [](db::Rows& rows, qint64 v) {
        rows.beginRow();
        rows.addInteger(v);
        rows.endRow();
    };
    db::Rows a;
    oneRow(a, 1);
    db::Rows b(std::move(a));
    db::Rows c;
    c = std::move(b);
    for (db::Rows* from : {&a, &b}) {
        EXPECT_TRUE(from->empty());
        oneRow(*from, 2);
        EXPECT_EQ(from->value(0, 0), qlonglong(2));
    }
    ASSERT_EQ(c.size(), 1);
    EXPECT_EQ(c.value(0, 0), qlonglong(1));
}

} // namespace
