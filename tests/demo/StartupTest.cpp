// Start-up, the port tool bar, the address and delay checks, closing and exit.
#include "FakeFixture.h"
#include "runtime/RuntimeError.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QDateEdit>
#include <QGroupBox>

TEST_F(DemoTest, FirstStartUsesDefaultsAndOpensPortTwo)
{
    FrmDemo& w = load();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(w.lblVer->text(), QStringLiteral("动态库：V1.2.4 Door 8096 For ZIZeva 2008-08-27"));
    EXPECT_EQ(w.TxtAddress->text(), QStringLiteral("18"));
    ASSERT_EQ(door->callsOf("SetPort").size(), 1);
    EXPECT_EQ(door->callsOf("SetPort")[0].args[0].toInteger(), 2);
    EXPECT_TRUE(w.buttonPressed(2));
    EXPECT_EQ(w.buttonPicture(2), 1);
    EXPECT_EQ(w.buttonPicture(1), 2);
    EXPECT_TRUE(w.portFlag());
    EXPECT_EQ(w.dtpEndDate->date(), QDate(2027, 1, 7));
    EXPECT_EQ(w.txtSleepDate->text(), QStringLiteral("5"));
    for (QLineEdit* e : w.txtTime1)
        EXPECT_FALSE(e->isEnabled());
    EXPECT_TRUE(scripted.messages.isEmpty());
    EXPECT_TRUE(status().isEmpty());
    EXPECT_FALSE(w.frmTimeSet->isVisibleTo(&w));
}

TEST_F(DemoTest, StoredPortThatFailsShowsPictureThreeWithoutMessage)
{
    storeSetting(QStringLiteral("Com"), QStringLiteral("3"));
    storeSetting(QStringLiteral("Address"), QStringLiteral("7"));
    door->on(QStringLiteral("SetPort"), [](Args&) { return Variant(false); });
    FrmDemo& w = load();
    ASSERT_TRUE(loaded);
    EXPECT_EQ(w.TxtAddress->text(), QStringLiteral("7"));
    EXPECT_EQ(door->callsOf("SetPort")[0].args[0].toInteger(), 3);
    EXPECT_FALSE(w.buttonPressed(3));
    EXPECT_EQ(w.buttonPicture(3), 3);
    EXPECT_TRUE(scripted.messages.isEmpty());
}

TEST_F(DemoTest, DamagedStoredPortDoesNotStopStartUp)
{
    storeSetting(QStringLiteral("Com"), QStringLiteral("abc"));
    FrmDemo& w = load();
    ASSERT_TRUE(loaded);
    EXPECT_FALSE(w.portFlag());
    for (int i = 1; i <= 5; ++i)
        EXPECT_FALSE(w.buttonPressed(i));
}

TEST_F(DemoTest, MissingLibraryEndsStartUpWithErrorText)
{
    loadWith([]() -> com::Dispatch { rt::raise(rt::ErrCantCreateObject); });
    EXPECT_FALSE(loaded);
    ASSERT_EQ(scripted.messages.size(), 1);
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("429:ActiveX 部件不能创建对象"));
}

TEST_F(DemoTest, PortClickStoresSettingsBeforeOpening)
{
    FrmDemo& w = load();
    w.TxtAddress->setText(QStringLiteral("25"));
    QString comAtOpen, addressAtOpen;
    door->on(QStringLiteral("SetPort"), [&](Args&) {
        comAtOpen = setting(QStringLiteral("Com"));
        addressAtOpen = setting(QStringLiteral("Address"));
        return Variant(false);
    });
    w.Toolbar1Buttons[3]->trigger();
    EXPECT_EQ(comAtOpen, QStringLiteral("4"));
    EXPECT_EQ(addressAtOpen, QStringLiteral("25"));
    EXPECT_EQ(door->callsOf("SetPort").last().args[0].toInteger(), 4);
    EXPECT_EQ(status(), QStringLiteral("串口:4 设置失败!"));
    EXPECT_FALSE(w.buttonPressed(4));
    for (int i = 1; i <= 5; ++i)
        EXPECT_EQ(w.buttonPicture(i), 2) << i;
    EXPECT_FALSE(w.portFlag());

    door->on(QStringLiteral("SetPort"), [](Args&) { return Variant(true); });
    w.Toolbar1_ButtonClick(5);
    EXPECT_EQ(status(), QStringLiteral("串口:5 设置成功!"));
    EXPECT_TRUE(w.buttonPressed(5));
    EXPECT_EQ(w.buttonPicture(5), 1);
    EXPECT_EQ(w.buttonPicture(2), 2);
    EXPECT_FALSE(w.portFlag());
}

TEST_F(DemoTest, ClosingKeepsThePortLastChosen)
{
    FrmDemo& w = load();
    w.Toolbar1_ButtonClick(4);
    w.TxtAddress->setText(QStringLiteral("31"));
    w.close();
    EXPECT_EQ(setting(QStringLiteral("Com")), QStringLiteral("4"));
    EXPECT_EQ(setting(QStringLiteral("Address")), QStringLiteral("31"));
    EXPECT_TRUE(QFile::exists(programFile(QStringLiteral("Public.Sys"))));
}

TEST_F(DemoTest, ClosingWithoutChoiceKeepsTheStoredPort)
{
    storeSetting(QStringLiteral("Com"), QStringLiteral("3"));
    FrmDemo& w = load();
    w.close();
    EXPECT_EQ(setting(QStringLiteral("Com")), QStringLiteral("3"));
}

TEST_F(DemoTest, ExitButtonEndsAtOnceWithoutSaving)
{
    FrmDemo& w = load();
    w.TxtAddress->setText(QStringLiteral("44"));
    w.Cmd_Exit_Click();
    EXPECT_EQ(scripted.endCalls, 1);
    EXPECT_FALSE(w.door());
    EXPECT_FALSE(QFile::exists(programFile(QStringLiteral("Public.Sys"))));
    EXPECT_TRUE(setting(QStringLiteral("Address")).isEmpty());
}

TEST_F(DemoTest, AddressCheckRefusesValuesOutsideOneTo255)
{
    FrmDemo& w = load();
    for (const char* bad : {"0", "256", "abc", "99999", "-3", "5.5"}) {
        scripted.clearMessages();
        w.TxtAddress->setText(QString::fromLatin1(bad));
        bool cancel = false;
        w.TxtAddress_Validate(cancel);
        EXPECT_TRUE(cancel) << bad;
        EXPECT_TRUE(w.TxtAddress->text().isEmpty()) << bad;
        ASSERT_EQ(scripted.messages.size(), 1) << bad;
        EXPECT_EQ(scripted.messages[0].text, QStringLiteral("请输入‘1 → 255  之间的数字字符！"));
        EXPECT_EQ(scripted.messages[0].style, ui::mb::OKOnly | ui::mb::Question);
        EXPECT_EQ(scripted.messages[0].title, QStringLiteral("Demo"));
    }
    scripted.clearMessages();
    for (const char* good : {"255", "1", ""}) {
        w.TxtAddress->setText(QString::fromLatin1(good));
        bool cancel = false;
        w.TxtAddress_Validate(cancel);
        EXPECT_FALSE(cancel) << good;
        EXPECT_EQ(w.TxtAddress->text(), QString::fromLatin1(good));
    }
    EXPECT_TRUE(scripted.messages.isEmpty());
}

TEST_F(DemoTest, DelayCheckResetsBadValuesTo100)
{
    FrmDemo& w = load();
    for (const char* bad : {"1001", "-1", "x1"}) {
        scripted.clearMessages();
        w.txtDalay->setText(QString::fromLatin1(bad));
        bool cancel = false;
        w.txtDalay_Validate(cancel);
        EXPECT_TRUE(cancel) << bad;
        EXPECT_EQ(w.txtDalay->text(), QStringLiteral("100"));
        EXPECT_EQ(scripted.lastMessage(), QStringLiteral("请输入‘0 → 1000  之间的数字字符！"));
    }
    scripted.clearMessages();
    for (const char* good : {"0", "1000", ""}) {
        w.txtDalay->setText(QString::fromLatin1(good));
        bool cancel = false;
        w.txtDalay_Validate(cancel);
        EXPECT_FALSE(cancel) << good;
    }
    EXPECT_TRUE(scripted.messages.isEmpty());
}

TEST_F(DemoTest, LeavingTheAddressBoxRunsItsCheck)
{
    FrmDemo& w = load();
    w.show();
    w.activateWindow();
    QApplication::processEvents();
    w.TxtAddress->setFocus(Qt::OtherFocusReason);
    QApplication::processEvents();
    w.TxtAddress->setText(QStringLiteral("300"));
    w.TxtCardNum->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    EXPECT_EQ(scripted.lastMessage(), QStringLiteral("请输入‘1 → 255  之间的数字字符！"));
    EXPECT_TRUE(w.TxtAddress->text().isEmpty());
    EXPECT_TRUE(w.TxtAddress->hasFocus());
}
