#pragma once
// What a component library needs to offer one creatable class:
//
//     class Door8096 : public com::DispatchObject { ... };   // members added in its constructor
//     COM_EXPORT_CLASS(Door8096, "Vantrel.Door8096", "{...class id...}")
//
// The macro writes the four extern "C" entry points: DllRegisterServer and
// DllUnregisterServer write or remove the class's keys (with the path of the
// library that holds the macro), DllGetClassObject hands out the class's
// factory for its ProgID or class id (compared without regard to case), and
// DllCanUnloadNow answers 0 when no object is alive.
#include "Com.h"

namespace com {

template <typename T>
class ClassFactoryOf : public ClassFactory {
public:
    IDispatch* createInstance() override { return new T(); }
};

namespace detail {
// Results as the entry points give them: 0 = success.
int getClassObject(const char* requested, const char* progId, const char* classId,
                   ClassFactory* factory, ClassFactory** out);
int registerServer(const char* progId, const char* classId, const void* addressInLibrary);
int unregisterServer(const char* progId, const char* classId);
int canUnloadNow();
} // namespace detail

} // namespace com

#define COM_EXPORT_CLASS(Class, ProgId, ClassId)                                                      \
    namespace {                                                                                      \
    const char comExportAnchor = 0;                                                                  \
    }                                                                                                \
    extern "C" __attribute__((visibility("default"))) int DllGetClassObject(const char* progId,     \
                                                                            com::ClassFactory** out) \
    {                                                                                                \
        static com::ClassFactoryOf<Class> factory;                                                   \
        return com::detail::getClassObject(progId, ProgId, ClassId, &factory, out);                  \
    }                                                                                                \
    extern "C" __attribute__((visibility("default"))) int DllRegisterServer()                        \
    {                                                                                                \
        return com::detail::registerServer(ProgId, ClassId, &comExportAnchor);                       \
    }                                                                                                \
    extern "C" __attribute__((visibility("default"))) int DllUnregisterServer()                      \
    {                                                                                                \
        return com::detail::unregisterServer(ProgId, ClassId);                                       \
    }                                                                                                \
    extern "C" __attribute__((visibility("default"))) int DllCanUnloadNow()                          \
    {                                                                                                \
        return com::detail::canUnloadNow();                                                          \
    }
