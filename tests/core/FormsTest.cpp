// The window registry and the scripted modal show.
#include "CoreTestSupport.h"

#include "runtime/RuntimeError.h"
#include "ui/Form.h"

#include <QCoreApplication>
#include <QPushButton>
#include <QTimer>

namespace {

class FrmSample : public ui::Form {
public:
    static inline int loads = 0;
    static inline int unloads = 0;
    static inline bool refuse = false;
    QPushButton* CmdExit = nullptr;

    FrmSample()
    {
        CmdExit = new QPushButton("退出", this);
        connect(CmdExit, &QPushButton::clicked, this, [this] { unloadForm(); });
    }

protected:
    void Form_Load() override { ++loads; }
    void Form_QueryUnload(bool& cancel) override { cancel = refuse; }
    void Form_Unload(bool&) override { ++unloads; }
};

class FrmBroken : public ui::Form {
protected:
    void Form_Load() override { rt::raise(rt::ErrDatabase, "boom"); }
};

class FormsTest : public ProgramFolderTest {
protected:
    void SetUp() override
    {
        ProgramFolderTest::SetUp();
        FrmSample::loads = FrmSample::unloads = 0;
        FrmSample::refuse = false;
    }
};

TEST_F(FormsTest, OneInstancePerClassUntilUnloaded)
{
    EXPECT_FALSE(ui::forms::isLoaded<FrmSample>());
    FrmSample* a = ui::forms::load<FrmSample>();
    EXPECT_EQ(ui::forms::load<FrmSample>(), a);
    EXPECT_EQ(ui::forms::find<FrmSample>(), a);
    EXPECT_EQ(FrmSample::loads, 1);

    FrmSample::refuse = true;
    EXPECT_FALSE(ui::forms::unload<FrmSample>());
    EXPECT_TRUE(ui::forms::isLoaded<FrmSample>());
    FrmSample::refuse = false;
    a->close(); // the close box unloads
    EXPECT_FALSE(ui::forms::isLoaded<FrmSample>());
    EXPECT_EQ(FrmSample::unloads, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

    ui::forms::load<FrmSample>();
    EXPECT_EQ(FrmSample::loads, 2);
}

TEST_F(FormsTest, ModalShowIsPlayedByTheTestAndReturns)
{
    FrmSample* w = ui::forms::load<FrmSample>();
    bool wasModal = false;
    ui::forms::setModalHandler([&](ui::Form& f) {
        wasModal = f.isShownModally();
        static_cast<FrmSample&>(f).CmdExit->click();
    });
    w->showModal();
    EXPECT_TRUE(wasModal);
    EXPECT_EQ(ui::forms::modalShows(), QStringList({"FrmSample"}));
    EXPECT_FALSE(ui::forms::isLoaded<FrmSample>()) << "the exit button unloaded it during the show";

    // A window hidden during its modal show stays loaded with its state.
    FrmSample* again = ui::forms::load<FrmSample>();
    ui::forms::setModalHandler([](ui::Form& f) { f.hideForm(); });
    again->showModal(nullptr);
    EXPECT_TRUE(ui::forms::isLoaded<FrmSample>());
    EXPECT_FALSE(again->isVisible());
    EXPECT_FALSE(again->isShownModally());
}

TEST_F(FormsTest, DesktopModalShowRunsUntilHiddenOrUnloaded)
{
    ui::setServices(nullptr); // the real modal loop
    FrmSample* w = ui::forms::load<FrmSample>();
    QTimer::singleShot(0, w, [w] { w->hideForm(); });
    w->showModal();
    EXPECT_TRUE(ui::forms::isLoaded<FrmSample>());
    EXPECT_FALSE(w->isShownModally());

    QTimer::singleShot(0, w, [w] { w->CmdExit->click(); });
    w->showModal(); // the window unloads itself from its own handler
    EXPECT_FALSE(ui::forms::isLoaded<FrmSample>());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ui::setServices(&scripted);
}

TEST_F(FormsTest, FailedLoadLeavesNothingLoaded)
{
    EXPECT_THROW(ui::forms::load<FrmBroken>(), rt::Error);
    EXPECT_FALSE(ui::forms::isLoaded<FrmBroken>());
}

} // namespace
