// The object's creation with "DoorSystem.ini", SetPort, DestoryPort, the
// about box and BytesToHex.
#include "DoorFixture.h"
#include "FAbout.h"
#include "Public.h"

#include "runtime/Gbk.h"
#include "runtime/RuntimeError.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

using namespace vantrel;
using namespace vantrel::test;

namespace {

class SettingsFile : public DoorFixture {
protected:
    QString iniPath() const { return dir.path() + "/DoorSystem.ini"; }
    QByteArray iniBytes() const
    {
        QFile f(iniPath());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void writeIni(const QByteArray& b)
    {
        QFile f(iniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(b);
    }
};

TEST_F(SettingsFile, FirstRunWritesDefaultsAndAppliesTheSmallerReceiveBuffer)
{
    EXPECT_EQ(iniBytes(), QByteArray("coninputmodebinary\r\n19200,n,8,1\r\n2048\r\n512\r\n1\r\n0\r\n"));
    EXPECT_EQ(port->inBufferSize(), 1024);
    EXPECT_EQ(port->outBufferSize(), 512);
    EXPECT_EQ(port->settings(), "19200,n,8,1");
    EXPECT_TRUE(port->binaryMode());
    EXPECT_EQ(port->commPort(), 1);
    EXPECT_FALSE(port->portOpen());
    EXPECT_EQ(door->Ver, "V1.2.4 Door 8096 For ZIZeva 2008-08-27");
    EXPECT_EQ(door->AllRecordSum, 0);

    makeDoor(); // second creation reads the file
    EXPECT_EQ(port->inBufferSize(), 2048);
    EXPECT_FALSE(port->portOpen());
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(SettingsFile, AllSixLinesAreApplied)
{
    writeIni("coninputmodetext\r\n9600,e,7,1\r\n4096\r\n256\r\n7\r\n12\r\n");
    makeDoor();
    EXPECT_FALSE(port->binaryMode());
    EXPECT_EQ(port->settings(), "9600,e,7,1");
    EXPECT_EQ(port->inBufferSize(), 4096);
    EXPECT_EQ(port->outBufferSize(), 256);
    EXPECT_EQ(port->commPort(), 7);
    EXPECT_EQ(port->inputLen(), 12);
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(SettingsFile, NumbersAreTheLeadingNumbersRounded)
{
    writeIni("coninputmodebinary\r\n19200,n,8,1\r\n2048.5\r\n 511.5\r\n3 (COM3)\r\nnone\r\n");
    makeDoor();
    EXPECT_EQ(port->inBufferSize(), 2048); // halves go to the even neighbour
    EXPECT_EQ(port->outBufferSize(), 512);
    EXPECT_EQ(port->commPort(), 3);
    EXPECT_EQ(port->inputLen(), 0);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_TRUE(QFile::exists(iniPath()));
}

TEST_F(SettingsFile, UnknownReceiveModeLeavesTheModeAndAppliesTheRest)
{
    writeIni("binary please\r\n19200,n,8,1\r\n2048\r\n512\r\n3\r\n0\r\n");
    makeDoor();
    EXPECT_FALSE(port->binaryMode()); // the port's own mode, untouched
    EXPECT_EQ(port->commPort(), 3);
    EXPECT_TRUE(ui.messages.isEmpty());
    EXPECT_TRUE(QFile::exists(iniPath()));
}

TEST_F(SettingsFile, ShortFileIsDeletedWithTheErrorBoxAndTheDefaultsComeBack)
{
    writeIni("coninputmodebinary\r\n19200,n,8,1\r\n999\r\n128\r\n");
    makeDoor();
    EXPECT_EQ(port->inBufferSize(), 999);
    EXPECT_EQ(port->outBufferSize(), 128);
    EXPECT_EQ(port->commPort(), 1); // line 5 never read
    EXPECT_FALSE(QFile::exists(iniPath()));
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages[0].text, "Class initialize failed Becaus the Port already opened.");
    EXPECT_EQ(ui.messages[0].title, "Err:Vantrel.dll");
    EXPECT_EQ(ui.messages[0].style, ui::mb::OKOnly | ui::mb::Critical);

    makeDoor();
    EXPECT_EQ(iniBytes(), QByteArray("coninputmodebinary\r\n19200,n,8,1\r\n2048\r\n512\r\n1\r\n0\r\n"));
}

TEST_F(SettingsFile, DamagedValuesAreRefusedTheSameWay)
{
    for (const QByteArray& content : {QByteArray("coninputmodebinary\r\nrubbish\r\n2048\r\n512\r\n1\r\n0\r\n"),
                                      QByteArray("coninputmodebinary\r\n19200,n,8,1\r\nlots\r\n512\r\n1\r\n0\r\n"),
                                      QByteArray("coninputmodebinary\r\n19200,n,8,1\r\n2048\r\n512\r\n0\r\n0\r\n"),
                                      QByteArray("coninputmodebinary\r\n19200,n,8,1\r\n99999\r\n512\r\n1\r\n0\r\n")}) {
        ui.clearMessages();
        writeIni(content);
        makeDoor();
        EXPECT_FALSE(QFile::exists(iniPath())) << content.constData();
        EXPECT_EQ(ui.messages.size(), 1) << content.constData();
    }
}

TEST_F(SettingsFile, FailedFirstRunWriteShowsTheBoxButDeletesNothing)
{
    // A folder that cannot take the file.
    auto p = std::make_unique<FakePort>(ui);
    Door8096Core d(dir.path() + "/missing-folder", std::move(p));
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages[0].title, "Err:Vantrel.dll");
    EXPECT_EQ(d.port().inBufferSize(), 1024);
}

TEST_F(SettingsFile, SetPortAcceptsOneToSixteenOnly)
{
    const QByteArray before = iniBytes();
    EXPECT_FALSE(door->SetPort(0));
    EXPECT_FALSE(door->SetPort(17));
    EXPECT_FALSE(door->SetPort(-1));
    EXPECT_FALSE(port->portOpen());
    EXPECT_TRUE(port->log.filter("open").isEmpty());
    EXPECT_EQ(iniBytes(), before);
}

TEST_F(SettingsFile, SetPortOpensAndRewritesSixLines)
{
    writeIni("coninputmodebinary\r\n19200,n,8,1\r\n2048\r\n512\r\n1\r\n0\r\nextra\r\nmore\r\n");
    makeDoor();
    EXPECT_TRUE(door->SetPort(3));
    EXPECT_TRUE(port->portOpen());
    EXPECT_EQ(port->commPort(), 3);
    EXPECT_EQ(iniBytes(), QByteArray("coninputmodebinary\r\n19200,n,8,1\r\n2048\r\n512\r\n3\r\n0\r\n"));
    // Reopening on another number closes first; the settings string is left alone.
    EXPECT_TRUE(door->SetPort(16));
    EXPECT_EQ(port->commPort(), 16);
    EXPECT_EQ(port->settings(), "19200,n,8,1");
    makeDoor();
    EXPECT_EQ(port->commPort(), 16);
}

TEST_F(SettingsFile, SetPortFillsMissingLinesEmptyAndKeepsText)
{
    writeIni(rt::toGbk("串口\r\n19200,n,8,1\r\n"));
    makeDoor(); // damaged: deleted, defaults next time
    writeIni(rt::toGbk("串口\r\n19200,n,8,1\r\n"));
    EXPECT_TRUE(door->SetPort(2));
    EXPECT_EQ(iniBytes(), rt::toGbk("串口\r\n19200,n,8,1\r\n\r\n\r\n2\r\n\r\n"));
}

TEST_F(SettingsFile, SetPortAfterTheDamagedFileWasDeletedWritesDefaultsAndSucceeds)
{
    writeIni("coninputmodebinary\r\n19200,n,8,1\r\n");
    makeDoor(); // damaged: deleted with the box
    ASSERT_FALSE(QFile::exists(iniPath()));
    EXPECT_TRUE(door->SetPort(4));
    EXPECT_TRUE(port->portOpen());
    EXPECT_EQ(iniBytes(), QByteArray("coninputmodebinary\r\n19200,n,8,1\r\n2048\r\n512\r\n4\r\n0\r\n"));
    EXPECT_TRUE(door->SetPort(5)); // and on every later call
}

TEST_F(SettingsFile, SetPortThatCannotOpenReturnsFalseAndKeepsTheFile)
{
    const QByteArray before = iniBytes();
    port->failOpen = true;
    EXPECT_FALSE(door->SetPort(5));
    EXPECT_FALSE(port->portOpen());
    EXPECT_EQ(iniBytes(), before);
}

TEST_F(SettingsFile, DestoryPortClosesAndReportsClosed)
{
    EXPECT_TRUE(door->DestoryPort()); // already closed
    ASSERT_TRUE(door->SetPort(2));
    EXPECT_TRUE(door->DestoryPort());
    EXPECT_FALSE(port->portOpen());
}

TEST_F(SettingsFile, ShowAboutWithoutADesktopReturnsAndKeepsThePort)
{
    ASSERT_TRUE(door->SetPort(2));
    door->ShowAbout();
    EXPECT_TRUE(port->portOpen());
}

TEST_F(SettingsFile, ShowAboutIsModalAndReturnsOnceClosed)
{
    int argc = 1;
    char name[] = "t";
    char* argv[] = {name};
    QApplication app(argc, argv);
    ASSERT_TRUE(door->SetPort(2));
    QString shown;
    QTimer::singleShot(0, [&] {
        if (auto* about = qobject_cast<F_About*>(QApplication::activeModalWidget())) {
            shown = about->windowTitle();
            about->Cmd_OK->click();
        }
    });
    // Should the box not be found, close it anyway rather than hang.
    QTimer::singleShot(5000, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            w->close();
    });
    door->ShowAbout();
    EXPECT_EQ(shown, "About...");
    EXPECT_TRUE(QApplication::topLevelWidgets().isEmpty()); // closed and gone
    EXPECT_TRUE(port->portOpen());
}

TEST(Public, BytesToHex)
{
    EXPECT_EQ(BytesToHex(bytes({0x01, 0x0B, 0xFF})), "010BFF");
    EXPECT_EQ(BytesToHex(bytes({10})), "0A");
    EXPECT_EQ(BytesToHex(QByteArray()), "");
}

TEST(Public, CardNumbersTravelAsUnsigned32Bits)
{
    EXPECT_EQ(cardNumberBytes("0016777215"), bytes({0x00, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(cardNumberBytes("0012345678"), bytes({0x00, 0xBC, 0x61, 0x4E}));
    EXPECT_EQ(cardNumberBytes("3000000000"), bytes({0xB2, 0xD0, 0x5E, 0x00}));
    EXPECT_EQ(cardNumberBytes("4294967295"), bytes({0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_THROW(cardNumberBytes("4294967296"), rt::Error);
    EXPECT_THROW(cardNumberBytes("-1"), rt::Error);
    EXPECT_THROW(cardNumberBytes(""), rt::Error);
    EXPECT_THROW(cardNumberBytes("12AB"), rt::Error);
    EXPECT_EQ(tenDigits(bigEndian32(bytes({0xB2, 0xD0, 0x5E, 0x00}), 0)), "3000000000");
}

TEST(AboutBox, CaptionLabelsAndButton)
{
    int argc = 1;
    char name[] = "t";
    char* argv[] = {name};
    QApplication app(argc, argv);
    F_About about;
    EXPECT_EQ(about.windowTitle(), "About...");
    EXPECT_EQ(about.Lbl_Ver->text(), "Ver 8096(V10)");
    EXPECT_EQ(about.Label10->font().family(), "Arial");
    EXPECT_FALSE(about.Label10->text().isEmpty());
    EXPECT_EQ(about.Cmd_OK->text(), "OK");
    about.show();
    about.Cmd_OK->click();
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

} // namespace
