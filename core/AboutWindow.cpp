#include "AboutWindow.h"

#include "AppForms.h"
#include "runtime/Gbk.h"
#include "runtime/RuntimeError.h"
#include "ui/Ui.h"

#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QScreen>

namespace {
bool startDetached(const QString& path) { return QProcess::startDetached(path, {}); }

frmabout::Starter& starter()
{
    static frmabout::Starter s = startDetached;
    return s;
}

const char* const kPlace1Key = "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const char* const kPlace1Value = "PATH";
const char* const kPlace2Key = "SOFTWARE\\Microsoft\\Shared Tools Location";
const char* const kPlace2Value = "MSINFO";
} // namespace

void frmabout::setProgramStarter(Starter s)
{
    starter() = s ? std::move(s) : Starter(startDetached);
}

frmabout::frmabout(QWidget* parent)
    : ui::Form(parent)
{
    setObjectName(QStringLiteral("frmabout"));
    setWindowTitle(QStringLiteral("关于---8096门禁管理"));
    setFixedSize(384, 220);

    lblTitle = new QLabel(QStringLiteral("门禁管理系统"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont f = lblTitle->font();
    f.setPointSize(f.pointSize() + 8);
    f.setBold(true);
    lblTitle->setFont(f);
    lblTitle->setGeometry(24, 24, 336, 48);

    // Two lines, one dark and one light, make an etched separator.
    for (int i = 0; i < 2; ++i) {
        Line1[i] = new QFrame(this);
        Line1[i]->setFrameShape(QFrame::HLine);
        Line1[i]->setFrameShadow(i == 0 ? QFrame::Sunken : QFrame::Plain);
        Line1[i]->setGeometry(8, 120 + i, 368, 2);
    }

    CmdOk = new QPushButton(QStringLiteral("确     定(&O)"), this);
    CmdOk->setObjectName(QStringLiteral("CmdOk"));
    CmdOk->setGeometry(262, 136, 106, 26);
    CmdOk->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("系统信息(&S)..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    cmdSysInfo->setGeometry(262, 170, 106, 26);
    Command1 = new QPushButton(QStringLiteral("硬件信息(&H)"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(146, 170, 106, 26);
    // The hardware window comes with the controller windows; until it exists
    // the button cannot be used.
    Command1->setEnabled(appforms::exists(QStringLiteral("FrmSysInf")));

    connect(CmdOk, &QPushButton::clicked, this, &frmabout::CmdOk_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmabout::cmdSysInfo_Click);
    connect(Command1, &QPushButton::clicked, this, &frmabout::Command1_Click);
}

void frmabout::Form_Load()
{
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        const QRect sr = s->geometry();
        const QSize outer = frameGeometry().size();
        // 200 twips below the centre
        move(sr.x() + (sr.width() - outer.width()) / 2, sr.y() + (sr.height() - outer.height()) / 2 + 200 / 15);
    }
}

bool frmabout::GetKeyValue(reg::HKEY KeyRoot, const QString& KeyName, const QString& SubKeyRef, QString& KeyVal)
{
    using namespace reg;
    HKEY hKey = nullptr;
    const QByteArray keyName = rt::toGbk(KeyName);
    const QByteArray valueName = rt::toGbk(SubKeyRef);
    if (RegOpenKeyExA(KeyRoot, keyName.constData(), 0, 0x2003F, &hKey) != ERROR_SUCCESS) {
        KeyVal.clear();
        RegCloseKey(hKey);
        return false;
    }
    QByteArray buf(1024, '\0');
    DWORD size = 1024;
    DWORD type = 0;
    if (RegQueryValueExA(hKey, valueName.constData(), nullptr, &type,
                         reinterpret_cast<unsigned char*>(buf.data()), &size) != ERROR_SUCCESS) {
        KeyVal.clear();
        RegCloseKey(hKey);
        return false;
    }
    buf.truncate(static_cast<int>(std::min<DWORD>(size, 1024)));
    if (!buf.isEmpty() && buf.back() == '\0')
        buf.chop(1);
    RegCloseKey(hKey);
    // Only a text value can name a program; anything else counts as unreadable.
    if (type != REG_SZ) {
        KeyVal.clear();
        return false;
    }
    KeyVal = rt::fromGbk(buf);
    return true;
}

void frmabout::StartSysInfo()
{
    QString path;
    QString value;
    bool found = false;
    if (GetKeyValue(reg::HKEY_LOCAL_MACHINE, QString::fromLatin1(kPlace1Key), QString::fromLatin1(kPlace1Value), value)) {
        path = value;
        found = true;
    } else if (GetKeyValue(reg::HKEY_LOCAL_MACHINE, QString::fromLatin1(kPlace2Key), QString::fromLatin1(kPlace2Value), value)) {
        const QString candidate = QDir(value).filePath(QStringLiteral("MSINFO32.EXE"));
        if (QFileInfo(candidate).isFile()) {
            path = candidate;
            found = true;
        }
    }
    if (found && !path.isEmpty() && starter()(path))
        return;
    ui::msgBox(QStringLiteral("此时系统信息无效"), ui::mb::OKOnly);
}

void frmabout::CmdOk_Click()
{
    unloadForm();
}

void frmabout::cmdSysInfo_Click()
{
    StartSysInfo();
}

void frmabout::Command1_Click()
{
    try {
        appforms::open(QStringLiteral("FrmSysInf"));
    } catch (const rt::Error& e) {
        ui::msgBox(e.text(), ui::mb::OKOnly);
    }
}

OSTRELA_WINDOW(frmabout);
