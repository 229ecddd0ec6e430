#include "sjkwf2.h"

#include "AppForms.h"
#include "Globals.h"
#include "db/BulkWrite.h"
#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"
#include "ui/KeyPress.h"
#include "ui/Ui.h"

#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

namespace {

struct HistoryTable {
    const char* item;
    const char* table;
    const char* dateColumn;
};
// The place of the item in Cdb decides the table.
constexpr HistoryTable kTables[] = {
    {"开门原始记录表", "data", "日期"},
    {"考勤分析数据库", "datakq", "日期"},
    {"退卡历史记录表", "DTuiKa", "退卡日期"},
};

} // namespace

sjkwf2::sjkwf2(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("sjkwf2"));
    setWindowTitle(QStringLiteral("过期数据处理"));
    setFixedSize(420, 230);
    Frame1 = new QGroupBox(QStringLiteral("数据库选择"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(12, 10, 396, 64);
    Cdb = new QComboBox(Frame1);
    Cdb->setObjectName(QStringLiteral("Cdb"));
    Cdb->setGeometry(16, 26, 364, 24);
    Frame3 = new QGroupBox(QStringLiteral("日期"), this);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    Frame3->setGeometry(12, 84, 396, 64);
    Combo1 = new QComboBox(Frame3);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setGeometry(16, 26, 150, 24);
    Label1 = new QLabel(QStringLiteral("-->"), Frame3);
    Label1->setGeometry(180, 26, 36, 24);
    Combo2 = new QComboBox(Frame3);
    Combo2->setObjectName(QStringLiteral("Combo2"));
    Combo2->setGeometry(230, 26, 150, 24);
    Command1 = new QPushButton(QStringLiteral("删除数据"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(80, 176, 100, 30);
    Command2 = new QPushButton(QStringLiteral("退出"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setGeometry(240, 176, 100, 30);
    // Typed characters are dropped: the texts come from the lists only.
    for (QComboBox* c : {Cdb, Combo1, Combo2})
        ui::onKeyPress(c, [](int& k) { k = 0; });
    connect(Cdb, &QComboBox::activated, this, &sjkwf2::Cdb_Click);
    connect(Command1, &QPushButton::clicked, this, &sjkwf2::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &sjkwf2::Command2_Click);
}

void sjkwf2::Form_Load()
{
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        const QRect sr = s->geometry();
        move(sr.x() + (sr.width() - width()) / 2, sr.y() + (sr.height() - height()) / 2 + 20);
    }
    for (const HistoryTable& t : kTables)
        Cdb->addItem(QString::fromUtf8(t.item));
    Cdb->setCurrentIndex(-1);
}

void sjkwf2::Cdb_Click()
{
    Combo1->clear();
    Combo2->clear();
    const int place = Cdb->currentIndex();
    if (place < 0)
        return;
    const HistoryTable& t = kTables[place];
    try {
        db::TableRecordset all = mdl::DaoDatabase.openTable(QString::fromUtf8(t.table));
        const int count = all.recordCount();
        all.close();
        if (count == 0) {
            ui::msgBox(QStringLiteral("无记录"), ui::mb::OKOnly);
            return;
        }
        // The day of each record, earliest first; rows without a date are skipped.
        const QString column = QString::fromUtf8(t.dateColumn);
        db::Recordset days = mdl::DaoDatabase.openRecordset(
            QStringLiteral("select distinct substr(%1,1,10) as 日期1 from %2 where %1 is not null and %1<>'' "
                           "order by 1")
                .arg(column, QString::fromUtf8(t.table)));
        QStringList texts;
        for (; !days.eof(); days.moveNext())
            texts << days.text(QStringLiteral("日期1"));
        days.close();
        if (texts.isEmpty())
            return;
        Combo1->addItems(texts);
        Combo2->addItems(texts);
        Combo1->setCurrentIndex(0);
        Combo2->setCurrentIndex(int(texts.size()) - 1);
    } catch (const rt::Error& e) {
        Combo1->clear();
        Combo2->clear();
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("信息提示"));
    }
}

void sjkwf2::Command1_Click()
{
    try {
        if (Cdb->currentText().isEmpty()) {
            ui::msgBox(QStringLiteral("请输入数据库名称！"), ui::mb::OKOnly, QStringLiteral("提示"));
            return;
        }
        if (Combo1->currentText().isEmpty()) {
            Combo1->setFocus();
            return;
        }
        if (Combo2->currentText().isEmpty()) {
            Combo2->setFocus();
            return;
        }
        const QDate first = rt::parseIsoDate(Combo1->currentText());
        const QDate last = rt::parseIsoDate(Combo2->currentText());
        if (!first.isValid() || !last.isValid())
            rt::raise(rt::ErrTypeMismatch);
        if (last < first) {
            ui::msgBox(QStringLiteral("前一个日期不能大于后一个日期，请重新选择日期！"), ui::mb::OKOnly,
                       QStringLiteral("提示"));
            return;
        }
        const QString question = QStringLiteral("您确实要清除从 ") + Combo1->currentText() + QStringLiteral(" 到 ") +
                                 Combo2->currentText() + QStringLiteral(" 之间") + Cdb->currentText() +
                                 QStringLiteral("中所有数据！");
        if (ui::msgBox(question, ui::mb::YesNo | ui::mb::Question, QStringLiteral("警    告")) != ui::mb::Yes)
            return;
        const HistoryTable& t = kTables[Cdb->currentIndex()];
        // By the day alone, so a return stamped with a time on the last day goes too.
        db::BulkWrite bulk(mdl::DaoDatabase);
        bulk.transaction([&] {
            mdl::DaoDatabase.execute(QStringLiteral("delete from %1 where substr(%2,1,10) between ? and ?")
                                         .arg(QString::fromUtf8(t.table), QString::fromUtf8(t.dateColumn)),
                                     {first, last});
        });
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, QStringLiteral("信息提示"));
        return;
    }
    ui::msgBox(QStringLiteral("删除成功！"), ui::mb::OKOnly, QStringLiteral("提示"));
}

void sjkwf2::Command2_Click()
{
    unloadForm();
}

OSTRELA_WINDOW(sjkwf2);
