#include "Frmxg.h"

#include "AppForms.h"
#include "Globals.h"
#include "Module1.h"
#include "db/RecordsetModel.h"
#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"
#include "ui/KeyPress.h"
#include "ui/ProgramFolder.h"
#include "ui/Ui.h"
#include "ui/Widths.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHash>
#include <QHeaderView>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QToolBar>

namespace {

const QString kInfoTitle = QStringLiteral("信息提示");
const QString kDateFormat = QStringLiteral("yyyy-MM-dd");

// The order the fields of a record are filled in (see Frmxg::showRecord):
// a search, a click in the employee list and the typed-number lookup each
// keep their own.
constexpr const char* kSearchOrder = "knzmbisdthap";
constexpr const char* kListOrder = "knzmbisthadp";
constexpr const char* kLookupOrder = "nzbipsdmtha";

// The grid's design columns: caption over field.
// The longest numbers the boxes and the grid show whole.
const QString kLongestNumber = QStringLiteral("00000000");
const QString kLongestId = QStringLiteral("00000000000000000X");
const QString kLongestTel = QStringLiteral("0000-00000000");

const QList<db::GridColumn>& designColumns()
{
    static const QList<db::GridColumn> c = {
        {QStringLiteral("员工号"), QStringLiteral("卡号")},     {QStringLiteral("姓名"), QStringLiteral("姓名")},
        {QStringLiteral("部门"), QStringLiteral("部门")},       {QStringLiteral("出生年月"), QStringLiteral("birthday")},
        {QStringLiteral("民族"), QStringLiteral("nation")},     {QStringLiteral("婚姻状况"), QStringLiteral("marriage")},
        {QStringLiteral("联系电话"), QStringLiteral("tel")},    {QStringLiteral("职务"), QStringLiteral("职务")},
        {QStringLiteral("户口所在地"), QStringLiteral("hukou")}, {QStringLiteral("身份证号"), QStringLiteral("身份证号")},
        {QStringLiteral("性别"), QStringLiteral("sex")},
    };
    return c;
}

// The picture of a file; the empty path gives no picture. A missing folder
// raises 76, a missing file 53, a file that is no picture 481.
QPixmap loadPicture(const QString& path)
{
    if (path.isEmpty())
        return QPixmap();
    const QFileInfo f(path);
    if (!f.absoluteDir().exists())
        rt::raise(rt::ErrPathNotFound);
    if (!f.isFile())
        rt::raise(rt::ErrFileNotFound);
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    const QImage image = reader.read();
    if (image.isNull())
        rt::raise(481, QStringLiteral("无效图片"));
    return QPixmap::fromImage(image);
}

QLabel* caption(const QString& text, QWidget* parent, int x, int y, int w = 70)
{
    // Named, so that a resize moves the labels with their fields.
    auto* l = new QLabel(text, parent);
    l->setObjectName(QStringLiteral("Label") + QString(text).remove(QLatin1Char(' ')));
    l->setGeometry(x, y, w, 22);
    return l;
}

// Characters of an identity number that typing lets in.
constexpr int kIdLength = 18;

template <class T>
T* control(const char* name, QWidget* parent, int x, int y, int w, int h = 22)
{
    auto* c = new T(parent);
    c->setObjectName(QLatin1String(name));
    c->setGeometry(x, y, w, h);
    return c;
}

QLineEdit* textBox(const char* name, QWidget* parent, int x, int y, int w, int maxLength)
{
    auto* t = control<QLineEdit>(name, parent, x, y, w);
    t->setMaxLength(maxLength);
    return t;
}

QComboBox* comboBox(const char* name, QWidget* parent, int x, int y, int w)
{
    auto* c = control<QComboBox>(name, parent, x, y, w);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    return c;
}

} // namespace

Frmxg::Frmxg(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("Frmxg"));
    setWindowTitle(QStringLiteral("人事信息(8位员工号)"));
    resize(800, 600);

    Toolbar1 = control<QToolBar>("Toolbar1", this, 0, 0, 800, 30);
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const QStringList captions = {QStringLiteral("增加"), QStringLiteral("编辑"), QStringLiteral("保存"),
                                  QStringLiteral("取消"), QStringLiteral("删除"), QStringLiteral("清空"),
                                  QStringLiteral("输出Excel"), QStringLiteral("退出")};
    for (int i = 0; i < captions.size(); ++i) {
        if (i > 0)
            buttons_.append(Toolbar1->addSeparator());
        QAction* a = Toolbar1->addAction(captions[i]);
        const int index = 2 * i + 1;
        connect(a, &QAction::triggered, this, [this, index] { Toolbar1_ButtonClick(index); });
        buttons_.append(a);
    }

    Frame1 = control<QGroupBox>("Frame1", this, 8, 34, 784, 56);
    Frame1->setTitle(QStringLiteral("查询条件"));
    caption(QStringLiteral("员  工  号："), Frame1, 12, 22);
    Txt_Search_EmpID = textBox("Txt_Search_EmpID", Frame1, 84, 22, 120, 8);
    caption(QStringLiteral("员工姓名："), Frame1, 230, 22);
    Txt_Search_Name = textBox("Txt_Search_Name", Frame1, 302, 22, 160, 20);
    CmdSearch = control<QPushButton>("CmdSearch", Frame1, 490, 20, 90, 26);
    CmdSearch->setText(QStringLiteral("查询"));

    caption(QStringLiteral("部门："), this, 8, 96);
    LstDepart = control<QListWidget>("LstDepart", this, 8, 118, 150, 150);
    LstEmpInfo = control<QListWidget>("LstEmpInfo", this, 8, 274, 150, 290);
    LstEmpInfo->setSelectionMode(QAbstractItemView::MultiSelection);

    Frame2 = control<QGroupBox>("Frame2", this, 166, 96, 626, 236);
    Frame2->setTitle(QStringLiteral("员工信息"));
    caption(QStringLiteral("员  工  号："), Frame2, 12, 24);
    Tkh = textBox("Tkh", Frame2, 84, 24, 130, 8);
    caption(QStringLiteral("员工姓名："), Frame2, 230, 24);
    Txm = textBox("Txm", Frame2, 302, 24, 130, 20);
    caption(QStringLiteral("部        门："), Frame2, 12, 56);
    Cbm = comboBox("Cbm", Frame2, 84, 56, 130);
    caption(QStringLiteral("职        务："), Frame2, 230, 56);
    tzw = comboBox("tzw", Frame2, 302, 56, 130);
    caption(QStringLiteral("性        别："), Frame2, 12, 88);
    Csex = comboBox("Csex", Frame2, 84, 88, 130);
    Csex->addItems({QString(), QStringLiteral("男"), QStringLiteral("女")});
    caption(QStringLiteral("婚姻状况："), Frame2, 230, 88);
    Tma = comboBox("Tma", Frame2, 302, 88, 130);
    Tma->addItems({QStringLiteral("是"), QStringLiteral("否")});
    Tma->setCurrentIndex(1);
    caption(QStringLiteral("出生年月："), Frame2, 12, 120);
    DTPicker2 = control<QDateEdit>("DTPicker2", Frame2, 84, 120, 130);
    DTPicker2->setDisplayFormat(kDateFormat);
    DTPicker2->setCalendarPopup(true);
    DTPicker2->setDate(ui::now().date());
    caption(QStringLiteral("身份证号："), Frame2, 230, 120);
    Tid = textBox("Tid", Frame2, 302, 120, 130, 30);
    caption(QStringLiteral("联系电话："), Frame2, 12, 152);
    Ttel = textBox("Ttel", Frame2, 84, 152, 130, 20);
    caption(QStringLiteral("籍        贯："), Frame2, 230, 152);
    Thukou = textBox("Thukou", Frame2, 302, 152, 130, 50);
    caption(QStringLiteral("民        族："), Frame2, 12, 184);
    Tnation = textBox("Tnation", Frame2, 84, 184, 130, 20);
    // The boxes hold their longest numbers, each column of boxes one width.
    ui::widenToShow(Tkh, {kLongestNumber});
    ui::widenToShow(Ttel, {kLongestTel});
    ui::widenToShow(Tid, {kLongestId});
    ui::widenToShow({Tkh, Cbm, Csex, DTPicker2, Ttel, Tnation}, {});
    ui::widenToShow({Txm, tzw, Tma, Tid, Thukou}, {});
    Picture1 = control<QLabel>("Picture1", Frame2, 456, 20, 150, 170);
    Picture1->setScaledContents(true);   // stretched to the box
    Picture1->setFrameShape(QFrame::Box);
    Command5 = control<QPushButton>("Command5", Frame2, 486, 198, 90, 26);
    Command5->setText(QStringLiteral("取照片"));

    caption(QStringLiteral("查询结果"), this, 166, 336, 200);
    DGshow = control<QTableView>("DGshow", this, 166, 358, 626, 206);
    grid_ = new db::RecordsetModel(DGshow);
    DGshow->setModel(grid_);
    DGshow->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->setColumns(designColumns());

    StatusBar1 = control<QStatusBar>("StatusBar1", this, 0, 572, 800, 26);
    StatusBar1->setSizeGripEnabled(false);
    StatusPanel1 = new QLabel(StatusBar1);
    StatusBar1->addWidget(StatusPanel1, 1);

    connect(CmdSearch, &QPushButton::clicked, this, &Frmxg::CmdSearch_Click);
    connect(Command5, &QPushButton::clicked, this, &Frmxg::Command5_Click);
    connect(LstDepart, &QListWidget::itemClicked, this, &Frmxg::LstDepart_Click);
    connect(LstEmpInfo, &QListWidget::itemClicked, this, &Frmxg::LstEmpInfo_Click);
    connect(Txt_Search_EmpID, &QLineEdit::textChanged, this, &Frmxg::Txt_Search_EmpID_Change);
    Txt_Search_EmpID->installEventFilter(this);

    ui::onKeyPress(Tkh, [this](int& k) { Tkh_KeyPress(k); });
    ui::onKeyPress(Tid, [this](int& k) { Tid_KeyPress(k); });
    ui::onKeyPress(Cbm, [this](int& k) { Cbm_KeyPress(k); });
    ui::onKeyPress(Csex, [this](int& k) { Csex_KeyPress(k); });
    ui::onKeyPress(DTPicker2, [this](int& k) { DTPicker2_KeyPress(k); });
    connect(DTPicker2, &QDateEdit::dateChanged, this, [this] { birthdayShown_ = true; });
    for (QWidget* f : {static_cast<QWidget*>(Txm), static_cast<QWidget*>(tzw), static_cast<QWidget*>(Tma),
                       static_cast<QWidget*>(Ttel), static_cast<QWidget*>(Thukou), static_cast<QWidget*>(Tnation)})
        ui::onKeyPress(f, [this, f](int& k) { Field_KeyPress(f, k); });

    // Opens in the idle set, as EditMode 0 implies.
    SetTools(2);
}

QAction* Frmxg::toolButton(int index) const
{
    return index >= 1 && index <= buttons_.size() ? buttons_[index - 1] : nullptr;
}

QString Frmxg::statusText() const { return StatusPanel1->text(); }

void Frmxg::setStatus(const QString& text) { StatusPanel1->setText(text); }

void Frmxg::Form_Load()
{
    for (QLineEdit* t : {Tkh, Txm, Tid, Ttel, Thukou, Tnation})
        t->clear();
    for (QComboBox* c : {Cbm, tzw, Tma})
        c->setEditText(QString());
    try {
        Module1::FillDepartmentList(mdl::AdoConnection, LstDepart);
        ZWInit();
        db::Recordset departments = mdl::DaoDatabase.openRecordset(QStringLiteral("department"));
        Cbm->clear();
        Cbm->addItem(QString());
        if (departments.recordCount() < 1) {
            ui::msgBox(QStringLiteral("请先对部门进行设置"), ui::mb::OKOnly | ui::mb::Exclamation);
        } else {
            for (; !departments.eof(); departments.moveNext())
                Cbm->addItem(departments.text(QStringLiteral("部门")));
        }
        Cbm->setEditText(QString());
        PeopleTable = mdl::DaoDatabase.openTable(QStringLiteral("people"));
        PeopleTable.setIndex(QStringLiteral("primarykey"));
        cardTable_ = mdl::DaoDatabase.openTable(QStringLiteral("dfaka"));
        cardTable_.setIndex(QStringLiteral("PrimaryKey"));
    } catch (const rt::Error& e) {
        // The window still opens; what could not be read stays empty.
        ui::msgBox(e.text(), ui::mb::OKOnly, kInfoTitle);
    }
    Module1::SaveControlLayout(this);
    loaded_ = true;
}

void Frmxg::Form_Resize() { Module1::ResizeControls(this); }

void Frmxg::resizeEvent(QResizeEvent* e)
{
    ui::Form::resizeEvent(e);
    if (loaded_)
        Form_Resize();
}

bool Frmxg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Txt_Search_EmpID && event->type() == QEvent::FocusIn)
        Txt_Search_EmpID_Change();
    return ui::Form::eventFilter(watched, event);
}

void Frmxg::ZWInit()
{
    try {
        db::Recordset rs = mdl::AdoConnection.execute(
            QStringLiteral("select SubItem from Dict_Pub where ParID=(select ChiID from Dict_Pub where ParID=0 and "
                           "SubItem=? order by ChiID limit 1) order by ChiID"),
            {QStringLiteral("职位")});
        tzw->clear();
        if (rs.recordCount() > 0) {
            tzw->addItem(QString());
            for (; !rs.eof(); rs.moveNext())
                tzw->addItem(rs.text(QStringLiteral("SubItem")));
        }
        tzw->setEditText(QString());
    } catch (const rt::Error&) {
    }
}

void Frmxg::ShowGrid(const QString& sql, const QVariantList& params)
{
    db::Recordset rs = mdl::AdoConnection.execute(sql, params);
    grid_->setRecordset(rs);
    // Rows of people show in the grid's own captioned columns.
    bool all = true;
    for (const db::GridColumn& c : designColumns())
        all = all && rs.fieldIndex(c.dataField) >= 0;
    if (all)
        grid_->setColumns(designColumns());
    // A bound grid starts from default widths: widen the columns whose
    // longest values (numbers, dates, identity numbers) would be cut.
    static const QHash<QString, QString> longest = {
        {QStringLiteral("卡号"), kLongestNumber}, {QStringLiteral("birthday"), QStringLiteral("0000-00-00")},
        {QStringLiteral("tel"), kLongestTel},     {QStringLiteral("身份证号"), kLongestId},
    };
    for (int c = 0; c < grid_->columnCount(); ++c)
        ui::fitColumn(DGshow, c, 0, {longest.value(grid_->columns().value(c).dataField)});
}

void Frmxg::ClearEmployee()
{
    for (QWidget* w : {static_cast<QWidget*>(Tkh), static_cast<QWidget*>(Txm), static_cast<QWidget*>(Cbm),
                       static_cast<QWidget*>(tzw), static_cast<QWidget*>(Ttel), static_cast<QWidget*>(Csex),
                       static_cast<QWidget*>(Tma), static_cast<QWidget*>(Tnation), static_cast<QWidget*>(Thukou),
                       static_cast<QWidget*>(Tid)}) {
        if (auto* t = qobject_cast<QLineEdit*>(w))
            t->clear();
        else if (auto* c = qobject_cast<QComboBox*>(w))
            c->setEditText(QString());
    }
    // No record is shown any more: a save cannot inherit its photo or birthday.
    shownPhoto_.clear();
    birthdayShown_ = false;
    try {
        ShowGrid(QStringLiteral("select 卡号 from people where 1<>1"));
    } catch (const rt::Error&) {
    }
}

void Frmxg::showRecord(const db::Recordset& rs, const char* order, bool skipErrors)
{
    auto text = [&rs](const char* field) { return rs.text(QString::fromUtf8(field)); };
    auto show = [&](char field) {
        switch (field) {
        case 'k': Tkh->setText(text("卡号")); break;
        case 'n': Txm->setText(text("姓名")); break;
        case 'z': tzw->setEditText(text("职务")); break;
        case 'm': Tma->setEditText(text("marriage")); break;
        case 'b': Cbm->setEditText(text("部门")); break;
        case 'i': Tid->setText(text("身份证号")); break;
        case 's': Csex->setEditText(text("sex")); break;
        case 'd': {
            // A birthday that is no date (Null) leaves the picker as it was,
            // and a save then keeps the stored value.
            const QDate d = QDate::fromString(text("birthday").left(10), kDateFormat);
            if (d.isValid())
                DTPicker2->setDate(d);
            birthdayShown_ = d.isValid();
            break;
        }
        case 't': Ttel->setText(text("tel")); break;
        case 'h': Thukou->setText(text("hukou")); break;
        case 'a': Tnation->setText(text("nation")); break;
        case 'p':
            // Another record is shown: a photo chosen before belongs to no one now.
            shownPhoto_ = text("照片");
            photoChosen_ = false;
            Picture1->setPixmap(loadPicture(shownPhoto_));
            break;
        }
    };
    for (const char* f = order; *f; ++f) {
        if (!skipErrors) {
            show(*f);
            continue;
        }
        try {
            show(*f);
        } catch (const rt::Error&) {
        }
    }
}

void Frmxg::CmdSearch_Click()
{
    EditMode = 0;
    QString sql = QStringLiteral("select * from people where 1=1");
    QVariantList params;
    if (!Txt_Search_EmpID->text().isEmpty()) {
        sql += QStringLiteral(" and 卡号=?");
        params << Txt_Search_EmpID->text().trimmed();
    }
    if (!Txt_Search_Name->text().isEmpty()) {
        sql += QStringLiteral(" and 姓名 like ?");
        params << QStringLiteral("%") + Txt_Search_Name->text().trimmed() + QStringLiteral("%");
    }
    sql += QStringLiteral(" order by 卡号");
    if (!showMatches(sql, params, kSearchOrder)) {
        setStatus(QStringLiteral("查无数据！"));
        ClearEmployee();
    }
}

bool Frmxg::showMatches(const QString& sql, const QVariantList& params, const char* order)
{
    try {
        db::Recordset rs = mdl::AdoConnection.execute(sql, params);
        if (rs.eof())
            return false;
        showRecord(rs, order, false);
        ShowGrid(sql, params);
    } catch (const rt::Error& e) {
        // The fields shown so far stay; the grid keeps its rows.
        if (e.number() == rt::ErrPathNotFound)
            setStatus(QStringLiteral("相片不存在！"));
        else
            setStatus(QStringLiteral("错误提示：") + e.text());
    }
    return true;
}

void Frmxg::Command5_Click()
{
    ui::FileDialogRequest req;
    req.directory = ui::programFolder();
    req.fileName = dialogFile_;
    req.filter = QStringLiteral("*.jpg;*.gif;*.bmp (*.jpg *.gif *.bmp)");
    const QString chosen = ui::services().fileDialog(req);
    // A cancelled dialog changes nothing: no photo was chosen.
    if (chosen.isEmpty())
        return;
    dialogFile_ = chosen;
    PhotoPath.clear();
    photoChosen_ = false;
    try {
        Picture1->setPixmap(loadPicture(chosen));
        PhotoPath = chosen;
        photoChosen_ = true;
    } catch (const rt::Error&) {
    }
}

void Frmxg::LstDepart_Click()
{
    for (int i = 0; i < LstDepart->count(); ++i) {
        if (!LstDepart->item(i)->isSelected())
            continue;
        try {
            Module1::FillPeopleList(mdl::AdoConnection, LstEmpInfo, LstDepart->item(i)->text());
        } catch (const rt::Error&) {
        }
    }
    setStatus(QStringLiteral("共有人数：") + QString::number(LstEmpInfo->count()));
}

namespace {
// The employee numbers of the selected items of an employee list.
QStringList selectedNumbers(const QListWidget* list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->isSelected())
            out << list->item(i)->text().trimmed().left(8);
    return out;
}

QString placeholders(int n)
{
    QStringList q;
    for (int i = 0; i < n; ++i)
        q << QStringLiteral("?");
    return QLatin1Char('(') + q.join(QLatin1Char(',')) + QLatin1Char(')');
}

QVariantList bound(const QStringList& values)
{
    QVariantList out;
    for (const QString& v : values)
        out << v;
    return out;
}
} // namespace

void Frmxg::LstEmpInfo_Click()
{
    const QStringList numbers = selectedNumbers(LstEmpInfo);
    setStatus(QStringLiteral("选中人数：") + QString::number(numbers.size()));
    if (numbers.isEmpty()) {
        setStatus(QStringLiteral("查无数据！"));
        return;
    }
    const QString sql = QStringLiteral("select * from people where 卡号 in ") + placeholders(int(numbers.size()))
                        + QStringLiteral(" order by 卡号");
    showMatches(sql, bound(numbers), kListOrder);
}

void Frmxg::Txt_Search_EmpID_Change()
{
    if (Txt_Search_EmpID->text().trimmed().size() == 8)
        CmdSearch_Click();
    else
        ClearEmployee();
}

void Frmxg::Tkh_KeyPress(int& KeyAscii)
{
    const QString number = Tkh->text().trimmed();
    if (number.size() == 8) {
        if (KeyAscii == ui::kBackspace)
            return;
        KeyAscii = 0;
        try {
            db::Recordset rs =
                mdl::DaoDatabase.openRecordset(QStringLiteral("select * from people where 卡号=?"), {number});
            if (!rs.eof())
                showRecord(rs, kLookupOrder, true);
            rs.close();
        } catch (const rt::Error&) {
        }
    }
    const bool enter = KeyAscii == ui::kEnter;
    if ((KeyAscii >= '0' && KeyAscii <= '9') || KeyAscii == ui::kBackspace)
        return;
    KeyAscii = 0;
    if (Tkh->text().size() >= 8 || enter)
        ui::sendTab(Tkh);
}

void Frmxg::Tid_KeyPress(int& KeyAscii)
{
    if (KeyAscii == ui::kEnter) {
        KeyAscii = 0;
        ui::sendTab(Tid);
    } else if (KeyAscii == ui::kBackspace) {
        if (Tid->text().trimmed().isEmpty())
            ui::sendTab(Tid, true);
    } else if (Tid->text().size() >= kIdLength) {
        KeyAscii = 0;
        ui::sendTab(Tid);
    }
}

void Frmxg::Field_KeyPress(QWidget* field, int& KeyAscii)
{
    QString text;
    if (auto* t = qobject_cast<QLineEdit*>(field))
        text = t->text();
    else if (auto* c = qobject_cast<QComboBox*>(field))
        text = c->currentText();
    if (KeyAscii == ui::kEnter) {
        KeyAscii = 0;
        ui::sendTab(field);
    } else if (KeyAscii == ui::kBackspace && text.trimmed().isEmpty()) {
        ui::sendTab(field, true);
    }
}

void Frmxg::Cbm_KeyPress(int& KeyAscii) { Field_KeyPress(Cbm, KeyAscii); }

// Sex and birthday: Enter moves on, Backspace always goes back as well.
void Frmxg::Csex_KeyPress(int& KeyAscii) { pickerKeyPress(Csex, KeyAscii); }
void Frmxg::DTPicker2_KeyPress(int& KeyAscii) { pickerKeyPress(DTPicker2, KeyAscii); }

void Frmxg::pickerKeyPress(QWidget* field, int& KeyAscii)
{
    if (KeyAscii == ui::kEnter) {
        KeyAscii = 0;
        ui::sendTab(field);
    } else if (KeyAscii == ui::kBackspace) {
        ui::sendTab(field, true);
    }
}

void Frmxg::SetTools(int mode)
{
    if (mode != 1 && mode != 2)
        return;
    const bool editing = mode == 1;
    for (int index : {1, 3, 9, 11, 13})
        toolButton(index)->setEnabled(!editing);
    for (int index : {5, 7})
        toolButton(index)->setEnabled(editing);
}

void Frmxg::Toolbar1_ButtonClick(int index)
{
    try {
        switch (index) {
        case 1:
            SetTools(1);
            EditMode = 1;
            break;
        case 3:
            SetTools(1);
            EditMode = 3;
            break;
        case 5: SaveEmployee(); break;
        case 7: SetTools(2); break;
        case 9:
            EditMode = 0;
            DeleteEmployees();
            break;
        case 11:
            EditMode = 0;
            ClearEmployee();
            break;
        case 13: {
            EditMode = 0;
            QApplication::setOverrideCursor(Qt::BusyCursor);
            const QString result = Module1::ExportToExcel(DGshow, windowTitle());
            QApplication::restoreOverrideCursor();
            setStatus(result.isEmpty() ? QStringLiteral("输出成功！") : result);
            break;
        }
        case 15:
            EditMode = 0;
            unloadForm();
            break;
        default: break;
        }
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly, kInfoTitle);
    }
}

void Frmxg::SaveEmployee()
{
    try {
        // The number as stored: the last eight of the text zero-padded on the left.
        const QString typed = Tkh->text().trimmed();
        const QString number = (QStringLiteral("00000000") + Tkh->text()).right(8);
        const QString picked = DTPicker2->date().toString(kDateFormat);
        // A pasted identity number is cut where typing stops.
        const QString id = Tid->text().left(kIdLength);
        if (EditMode == 1) {
            auto refuse = [this](const QString& text, QWidget* focus) {
                setStatus(text);
                focus->setFocus();
            };
            if (Tkh->text().isEmpty())
                return refuse(QStringLiteral("卡号不能空！"), Tkh);
            // Typing takes digits only; a pasted number must be digits too.
            if (typed.size() != 8 || !rt::IsDigits(typed))
                return refuse(QStringLiteral("卡号必须为八位的数字或者字母！"), Tkh);
            if (Txm->text().isEmpty())
                return refuse(QStringLiteral("姓名不能留空！"), Txm);
            if (Cbm->currentText().isEmpty())
                return refuse(QStringLiteral("请选择部门！"), Cbm);
            if (tzw->currentText().isEmpty())
                return refuse(QStringLiteral("请选择职务！"), tzw);
            db::Recordset rs =
                mdl::AdoConnection.execute(QStringLiteral("select * from people where 卡号=?"), {Tkh->text()});
            if (rs.recordCount() > 0) {
                setStatus(QStringLiteral("卡号：") + Tkh->text() + QStringLiteral("已经存在！"));
                Tkh->clear();
                return;
            }
            // A new employee gets a photo only when one was chosen for him.
            const QString photo = photoChosen_ ? PhotoPath : QString();
            mdl::AdoConnection.execute(
                QStringLiteral("insert into people(卡号,姓名,部门,身份证号,职务,rmno,sex,birthday,marriage,tel,hukou,"
                               "company,fcz,nation,spouse,ssex,shukou,scompany,child1,child2,child3,others,照片) "
                               "values (?,?,?,?,?,'',?,?,?,?,?,'','',?,'','','','','','','','',?)"),
                {number, Txm->text(), Cbm->currentText(), id, tzw->currentText(), Csex->currentText(),
                 picked, Tma->currentText(), Ttel->text(), Thukou->text(), Tnation->text(), photo});
            shownPhoto_ = photo;
            photoChosen_ = false;   // the next new employee does not inherit it
            ShowGrid(QStringLiteral("select * from people where 卡号=?"), {number});
            setStatus(QStringLiteral("卡号：") + Tkh->text() + QStringLiteral(",保存成功!"));
        } else if (EditMode == 3) {
            PeopleTable.seek(QStringLiteral("="), {Tkh->text()});
            if (PeopleTable.noMatch()) {
                setStatus(QStringLiteral("卡号不存在！"));
                return;
            }
            // The stored photo stays unless one was chosen for this record.
            const QString photo = photoChosen_ ? PhotoPath : PeopleTable.text(QStringLiteral("照片"));
            // So does the stored birthday when the picker shows none of this record's.
            const QVariant birthday = birthdayShown_ ? QVariant(picked) : PeopleTable.field(QStringLiteral("birthday"));
            // A stored identity number longer than typing allows is kept while it is shown unchanged.
            const QString storedId = PeopleTable.text(QStringLiteral("身份证号"));
            const QString keptId = Tid->text() == storedId.left(Tid->maxLength()) ? storedId : id;
            mdl::AdoConnection.execute(
                QStringLiteral("update people set 姓名=?,部门=?,身份证号=?,职务=?,照片=?,birthday=?,sex=?,tel=?,"
                               "nation=?,hukou=?,marriage=? where 卡号=?"),
                {Txm->text().trimmed(), Cbm->currentText().trimmed(), keptId.trimmed(),
                 tzw->currentText().trimmed(), photo, birthday, Csex->currentText(), Ttel->text(), Tnation->text(),
                 Thukou->text(), Tma->currentText(), typed});
            shownPhoto_ = photo;
            photoChosen_ = false;
            ShowGrid(QStringLiteral("select * from people where 卡号=?"), {number});
            setStatus(QStringLiteral("卡号：") + Tkh->text() + QStringLiteral(",更新成功!"));
        }
        EditMode = 0;
        SetTools(2);
    } catch (const rt::Error& e) {
        setStatus(QStringLiteral("信息提示：") + e.text());
    }
}

void Frmxg::DeleteEmployees()
{
    try {
        const QStringList numbers = selectedNumbers(LstEmpInfo);
        if (numbers.isEmpty()) {
            setStatus(QStringLiteral("请选择人员再按删除！"));
            return;
        }
        const QString count = QString::number(numbers.size());
        if (ui::msgBox(QStringLiteral("确定需要删除这[ ") + count + QStringLiteral(" ]个人的人事资料吗？"),
                       ui::mb::OKCancel, kInfoTitle)
            != ui::mb::OK) {
            setStatus(QStringLiteral("删除人事资料,失败"));
            return;
        }
        // Only the personnel records go: issued cards stay in dfaka and on the controllers.
        mdl::AdoConnection.execute(
            QStringLiteral("delete from people where 卡号 in ") + placeholders(int(numbers.size())), bound(numbers));
        LstDepart_Click();
        ShowGrid(QStringLiteral("select * from people where 1<>1"));
        ClearEmployee();
        setStatus(QStringLiteral("删除") + count + QStringLiteral("个人的人事资料,成功"));
    } catch (const rt::Error& e) {
        setStatus(QStringLiteral("信息提示：") + e.text());
    }
}

OSTRELA_WINDOW(Frmxg);
