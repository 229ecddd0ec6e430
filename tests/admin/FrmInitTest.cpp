// Database initialisation: the checks before it, what it leaves, and that a
// failure half-way leaves the database as it was.
#include "WindowBench.h"

#include "FrmInit.h"
#include "Globals.h"

#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

class FrmInitTest : public WindowBench {
protected:
    void seedSite()
    {
        addDepartment("生产部");
        addPerson("00000001", "张三", "生产部");
        addDoor(3);
        exec("INSERT INTO user (sysname, syspword) VALUES ('bob', 'x')");
        exec("INSERT INTO data (地址, 卡号, 日期, 时间) VALUES (3, '00000001', '2026-12-01', '08:00:00')");
        exec("INSERT INTO dtuika (地址, 卡号, 退卡日期) VALUES (3, '00000002', '2026-11-30 17:45:00')");
        exec("INSERT INTO key (keyvalue) VALUES ('k')");
        exec("INSERT INTO owt (上班时间) VALUES ('08:00:00')");
        exec("UPDATE system SET zhi=4, detail='旧公司' WHERE name='串口号'");
        exec("UPDATE system SET zhi=250 WHERE name='命令延时'");
    }
    // Every table's rows, for comparing whole databases.
    QString snapshot()
    {
        QStringList out;
        for (const QVariantList& t : rows("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name"))
            for (const QVariantList& r : rows(QStringLiteral("SELECT * FROM \"%1\" ORDER BY rowid").arg(t[0].toString()))) {
                QStringList cells;
                for (const QVariant& v : r)
                    cells << v.toString();
                out << t[0].toString() + ":" + cells.join('|');
            }
        return out.join('\n');
    }
};

TEST_F(FrmInitTest, LeavesOneAdministratorAndTheKeptTables)
{
    seedSite();
    const QString kept = [&] {
        QStringList out;
        for (const char* t : {"cjtype", "Dict_Pub", "owt", "peoplept", "fakapt"})
            out << QString::number(value(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(t))).toInt());
        return out.join(',');
    }();
    auto* w = ui::forms::load<FrmInit>();
    w->Text1->setText(" 1 ");
    w->txtCompany->setText("O'Brien 公司");
    scripted.queueAnswer(ui::mb::Yes);
    w->Command1_Click();
    ASSERT_EQ(scripted.lastMessage(), "初始化数据库成功！");
    EXPECT_EQ(scripted.messages[0].text, "此操作将初始化所有系统数据库,\r\n\r\n继续吗？");
    EXPECT_EQ(scripted.messages[0].style, ui::mb::YesNo | ui::mb::Exclamation);

    const QList<QVariantList> users = rows("SELECT * FROM user");
    ASSERT_EQ(users.size(), 1);
    EXPECT_EQ(users[0][0].toString(), "admin");
    EXPECT_EQ(users[0][1].toString(), mdl::kDefaultAdminPassword);
    for (int i = 2; i < 33; ++i)
        EXPECT_EQ(users[0][i].toInt(), 1) << i;
    for (const char* t : {"department", "doors", "dtime", "people", "dfaka", "dtuika", "data", "datakq", "key",
                          "dfakapt", "dtuikapt", "datapt", "datakqpt"})
        EXPECT_EQ(value(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(t))).toInt(), 0) << t;
    EXPECT_EQ(rows("SELECT name, zhi, detail, dw FROM system ORDER BY rowid"),
              (QList<QVariantList>{{"串口号", 1, "O'Brien 公司", QVariant()},
                                   {"通讯设置", 0, "9600,n,8,1", QVariant()},
                                   {"输入缓冲区", 2048, QVariant(), "字节"},
                                   {"输出缓冲区", 512, QVariant(), "字符"},
                                   {"发卡机", 1, QVariant(), QVariant()},
                                   {"命令延时", 250, QVariant(), QVariant()},
                                   {"机器版本号", 0, "JQ8096 V5.1.0", QVariant()},
                                   {"采集等待时间", 5, QVariant(), QVariant()}}));
    QStringList after;
    for (const char* t : {"cjtype", "Dict_Pub", "owt", "peoplept", "fakapt"})
        after << QString::number(value(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(t))).toInt());
    EXPECT_EQ(after.join(','), kept);
    EXPECT_FALSE(w->Pro->isVisible());
    EXPECT_TRUE(w->Command1->isEnabled());
}

TEST_F(FrmInitTest, RefusalsChangeNothing)
{
    struct Case {
        QString password;
        int answer;
        QString message;
    };
    const Case cases[] = {
        {"", ui::mb::Yes, "请输入密码！"},
        {"2", ui::mb::Yes, "密码不对！"},
        {"x' or '1'='1", ui::mb::Yes, "密码不对！"},
        {"1", ui::mb::No, "此操作将初始化所有系统数据库,\r\n\r\n继续吗？"},
    };
    seedSite();
    exec("UPDATE user SET syspword='1' WHERE sysname='bob'");
    const QString before = snapshot();
    auto* w = ui::forms::load<FrmInit>();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password.toStdString());
        scripted.clearMessages();
        scripted.queueAnswer(c.answer);
        w->Text1->setText(c.password);
        w->Command1_Click();
        EXPECT_EQ(scripted.lastMessage(), c.message);
        EXPECT_EQ(snapshot(), before);
        EXPECT_TRUE(w->Command1->isEnabled());
    }
}

TEST_F(FrmInitTest, AFailureHalfWayLeavesTheDatabaseUnchanged)
{
    seedSite();
    // The punch records cannot go (their table is not where the run looks;
    // a refusing trigger would not do: the run fires none): the run fails
    // after the operators were deleted and before the personnel tables are
    // emptied.
    exec("ALTER TABLE data RENAME TO data_aside");
    const QString before = snapshot();
    auto* w = ui::forms::load<FrmInit>();
    w->Text1->setText("1");
    scripted.queueAnswer(ui::mb::Yes);
    w->Command1_Click();
    EXPECT_TRUE(scripted.lastMessage().contains("data")) << scripted.lastMessage().toStdString();
    EXPECT_EQ(scripted.messages.last().title, "出错提示");
    EXPECT_EQ(snapshot(), before);
    EXPECT_TRUE(w->Command1->isEnabled());

    // The next run, with the obstacle gone, works.
    exec("ALTER TABLE data_aside RENAME TO data");
    scripted.queueAnswer(ui::mb::Yes);
    w->Command1_Click();
    EXPECT_EQ(scripted.lastMessage(), "初始化数据库成功！");
}
