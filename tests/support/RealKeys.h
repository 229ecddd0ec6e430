#pragma once
// Key strokes through a real X server (XTest), for the few tests that must
// see what the display sends with a key, such as Delete carrying 0x7F.

// Presses and releases the key of an X keysym name ("Delete", "a", "5") on
// the display of $DISPLAY. False when there is no display or no XTest.
bool pressRealKey(const char* keysym);
