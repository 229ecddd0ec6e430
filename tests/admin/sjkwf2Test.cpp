// Expired-data cleanup: the date lists from each table, the range checks,
// and the delete of a range, both ends included.
#include "WindowBench.h"

#include "Globals.h"
#include "sjkwf2.h"

#include <QComboBox>
#include <QTest>

class sjkwf2Test : public WindowBench {
protected:
    QStringList items(QComboBox* c)
    {
        QStringList out;
        for (int i = 0; i < c->count(); ++i)
            out << c->itemText(i);
        return out;
    }
    void choose(sjkwf2* w, int place)
    {
        w->Cdb->setCurrentIndex(place);
        w->Cdb_Click();
    }
};

TEST_F(sjkwf2Test, DeletesARangeInEachTableLastDayIncluded)
{
    struct Case {
        int place;
        const char* table;
        const char* column;
        const char* insert;   // one row, its date bound
        const char* suffix;   // what the stored date carries after the day
    };
    const Case cases[] = {
        {0, "data", "日期", "INSERT INTO data (地址, 卡号, 日期, 时间) VALUES (1, ?2, ?1, '08:00:00')", ""},
        {1, "datakq", "日期", "INSERT INTO datakq (卡号, 日期) VALUES (?2, ?1)", ""},
        {2, "dtuika", "退卡日期", "INSERT INTO dtuika (地址, 卡号, 退卡日期) VALUES (1, ?2, ?1)", " 17:45:00"},
    };
    const QStringList days = {"2026-11-28", "2026-11-29", "2026-11-30", "2026-12-01"};
    auto* w = ui::forms::load<sjkwf2>();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.table);
        int n = 0;
        for (const QString& d : days)
            for (int twice = 0; twice < 2; ++twice)
                exec(c.insert, {d + c.suffix, QString::number(++n)});
        choose(w, c.place);
        EXPECT_EQ(items(w->Combo1), days);
        EXPECT_EQ(items(w->Combo2), days);
        EXPECT_EQ(w->Combo1->currentText(), "2026-11-28");
        EXPECT_EQ(w->Combo2->currentText(), "2026-12-01");

        w->Combo1->setCurrentIndex(1);
        w->Combo2->setCurrentIndex(2);
        scripted.queueAnswer(ui::mb::Yes);
        w->Command1_Click();
        EXPECT_EQ(scripted.messages.value(scripted.messages.size() - 2).text,
                  "您确实要清除从 2026-11-29 到 2026-11-30 之间" + w->Cdb->currentText() + "中所有数据！");
        EXPECT_EQ(scripted.lastMessage(), "删除成功！");
        EXPECT_EQ(rows(QStringLiteral("SELECT DISTINCT substr(%1,1,10) FROM %2 ORDER BY 1")
                           .arg(QString::fromUtf8(c.column), QString::fromUtf8(c.table))),
                  (QList<QVariantList>{{"2026-11-28"}, {"2026-12-01"}}));
        // The lists keep the deleted days until the table is chosen again.
        EXPECT_EQ(items(w->Combo1), days);
        choose(w, c.place);
        EXPECT_EQ(items(w->Combo1), (QStringList{"2026-11-28", "2026-12-01"}));
    }
}

TEST_F(sjkwf2Test, ChecksBeforeDeleting)
{
    exec("INSERT INTO data (地址, 卡号, 日期, 时间) VALUES (1, '1', '2026-11-28', '08:00:00')");
    exec("INSERT INTO data (地址, 卡号, 日期, 时间) VALUES (1, '1', '2026-11-29', '08:00:00')");
    auto* w = ui::forms::load<sjkwf2>();
    EXPECT_EQ(w->Cdb->currentText(), "");
    w->Command1_Click();
    EXPECT_EQ(scripted.lastMessage(), "请输入数据库名称！");

    choose(w, 1);   // datakq is empty
    EXPECT_EQ(scripted.lastMessage(), "无记录");
    EXPECT_EQ(w->Combo1->count(), 0);
    scripted.clearMessages();
    w->Command1_Click();   // no first date: focus only
    EXPECT_TRUE(scripted.messages.isEmpty());

    choose(w, 0);
    w->Combo1->setCurrentIndex(1);
    w->Combo2->setCurrentIndex(0);
    w->Command1_Click();
    EXPECT_EQ(scripted.lastMessage(), "前一个日期不能大于后一个日期，请重新选择日期！");

    w->Combo2->setCurrentIndex(1);
    scripted.queueAnswer(ui::mb::No);
    w->Command1_Click();
    EXPECT_EQ(scripted.messages.last().title, "警    告");
    EXPECT_EQ(value("SELECT COUNT(*) FROM data").toInt(), 2);
}

TEST_F(sjkwf2Test, ListsTakeNoTypedCharactersButLetTabThrough)
{
    for (const char* d : {"2026-11-28", "2026-11-29", "2026-12-01"})
        exec("INSERT INTO data (地址, 卡号, 日期, 时间) VALUES (1, '1', ?, '08:00:00')", {QString::fromLatin1(d)});
    auto* w = ui::forms::load<sjkwf2>();
    w->show();
    w->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(w));
    choose(w, 0);
    for (QComboBox* c : {w->Cdb, w->Combo1, w->Combo2}) {
        SCOPED_TRACE(c->objectName().toStdString());
        const QString before = c->currentText();
        c->setFocus();
        QTest::keyClicks(c, "2x ");
        EXPECT_EQ(c->currentText(), before);
        QTest::keyClick(c, Qt::Key_Tab);
        EXPECT_FALSE(c->hasFocus());
    }
}
