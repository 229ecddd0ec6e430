// A stand-in controller library for the login tests: creatable under the
// real identifier, with one member, so that a test can register it in its
// own registry folder.
#include "com/ComServer.h"

namespace {
class FakeDoor : public com::DispatchObject {
public:
    FakeDoor()
    {
        addMember({QStringLiteral("Ver"), com::InvokeKind::PropertyGet, {},
                   [](com::Args&) { return com::Variant(QStringLiteral("fake")); }});
    }
};
} // namespace

COM_EXPORT_CLASS(FakeDoor, "Vantrel.Door8096", "{6F1D2A10-0000-4000-8000-00000000F00D}")
