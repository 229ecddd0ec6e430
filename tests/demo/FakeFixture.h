#pragma once
#include "DemoFixture.h"
#include "FakeDoor.h"

using com::Args;
using com::Variant;

// The window wired to a FakeDoor whose SetPort succeeds unless a test says otherwise.
class DemoTest : public DemoWindowBase {
protected:
    void SetUp() override
    {
        DemoWindowBase::SetUp();
        door = new FakeDoor;   // the test's own reference
        door->on(QStringLiteral("SetPort"), [](Args&) { return Variant(true); });
    }
    void TearDown() override
    {
        DemoWindowBase::TearDown();
        door->release();
    }
    FrmDemo& load() { return loadWith([this] { return com::Dispatch(door, true); }); }

    // A member that answers True and fills its by-reference text argument.
    void answerText(const QString& member, int argIndex, const QString& text, bool result = true)
    {
        door->on(member, [=](Args& a) {
            a[argIndex] = text;
            return Variant(result);
        });
    }

    FakeDoor* door = nullptr;
};
