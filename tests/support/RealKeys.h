#pragma once
// Key strokes through a real X server (XTest), for the few tests that must
// see what the display sends with a key, such as Delete carrying 0x7F.
#include <QGuiApplication>
#include <gtest/gtest.h>

// Presses and releases the key of an X keysym name ("Delete", "a", "5") on
// the display of $DISPLAY. False when there is no display or no XTest.
bool pressRealKey(const char* keysym);

// First in a test that needs the real display: skipped on the headless
// platform, failed there when the run asks for the display (the virtual
// display's run sets REAL_DISPLAY_REQUIRED).
#define REQUIRE_REAL_DISPLAY()                                                                                         \
    do {                                                                                                               \
        if (QGuiApplication::platformName() != QLatin1String("xcb")) {                                                 \
            if (qEnvironmentVariableIsSet("REAL_DISPLAY_REQUIRED"))                                                    \
                FAIL() << "no X display";                                                                              \
            GTEST_SKIP() << "needs an X display";                                                                      \
        }                                                                                                              \
    } while (false)
