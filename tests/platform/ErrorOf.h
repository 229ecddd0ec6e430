#pragma once
// The number of the run-time error a call raises; 0 when it raises none.
#include "runtime/RuntimeError.h"

template <typename F>
int errorOf(F f)
{
    try {
        f();
    } catch (const rt::Error& e) {
        return e.number();
    }
    return 0;
}
