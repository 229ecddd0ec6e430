// The controller object lives in its own unit so that code which never
// touches it does not pull in the component layer.
#include "Globals.h"

namespace mdl {
com::Dispatch Door;
} // namespace mdl
