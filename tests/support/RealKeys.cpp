#include "RealKeys.h"

#ifdef HAVE_XTEST
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

bool pressRealKey(const char* keysym)
{
    Display* d = XOpenDisplay(nullptr);
    if (!d)
        return false;
    int event = 0, error = 0, major = 0, minor = 0;
    const KeyCode code = XKeysymToKeycode(d, XStringToKeysym(keysym));
    const bool ok = XTestQueryExtension(d, &event, &error, &major, &minor) && code != 0
                    && XTestFakeKeyEvent(d, code, True, CurrentTime) && XTestFakeKeyEvent(d, code, False, CurrentTime);
    XSync(d, False);
    XCloseDisplay(d);
    return ok;
}
#else
bool pressRealKey(const char*) { return false; }
#endif
