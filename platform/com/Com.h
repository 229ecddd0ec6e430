#pragma once
// A small component layer: objects with late-bound members called by name
// (matched without regard to case), created by programmatic identifier from a
// shared library registered in the registry stand-in.
//
// Client side:
//     com::Dispatch door = com::CreateObject("Vantrel.Door8096"); // raises rt::Error 429
//     com::Args a{int16_t(1), QString(), QString(), QString(), int32_t(0)};
//     bool ok = door.call("gatherdata", a).toBool();   // a[3], a[4] written back
//     long n = door.call("GatherRecordSum", {int16_t(1)}).toLong();
//
// Server side: a class derives from DispatchObject and describes its
// members once (name, kind, parameters with types, by-reference flags and
// defaults); the layer coerces the arguments, fills in defaults, calls the
// member and writes by-reference arguments back.
#include "Variant.h"

#include <QString>
#include <atomic>
#include <functional>
#include <initializer_list>
#include <vector>

namespace com {

enum class InvokeKind { Method, PropertyGet, PropertyPut };

// A reference-counted object with late-bound members.
class IDispatch {
public:
    virtual void addRef() = 0;
    virtual void release() = 0;
    // Raises rt::Error 438 for an unknown member, 450 for a wrong argument
    // count, 13/6 when an argument cannot be converted.
    virtual Variant invoke(const QString& member, InvokeKind kind, Args& args) = 0;

protected:
    virtual ~IDispatch() = default;
};

// Owning reference to an IDispatch (add-ref on copy, release on destruction).
class Dispatch {
public:
    Dispatch() = default;
    // takeNewReference: add a reference of its own (true), or adopt the one
    // the caller already holds, e.g. from ClassFactory::createInstance (false).
    explicit Dispatch(IDispatch* p, bool takeNewReference = true);
    Dispatch(const Dispatch& o);
    Dispatch(Dispatch&& o) noexcept;
    Dispatch& operator=(Dispatch o) noexcept;
    ~Dispatch();

    explicit operator bool() const { return p_ != nullptr; }
    IDispatch* get() const { return p_; }
    void reset();

    // Method call; by-reference arguments are written back into args.
    // Raises rt::Error 91 when the reference is empty.
    Variant call(const QString& member, Args& args) const;
    Variant call(const QString& member, std::initializer_list<Variant> args = {}) const;
    Variant getProperty(const QString& member) const;
    void setProperty(const QString& member, const Variant& value) const;

private:
    IDispatch* p_ = nullptr;
};

// Creates an object of a registered class. Raises rt::Error 429 when the
// class is not registered or its library cannot be loaded.
Dispatch CreateObject(const QString& progId);

// --- server side ------------------------------------------------------------

// Creates objects of one class; handed out by a library's DllGetClassObject.
class ClassFactory {
public:
    virtual ~ClassFactory() = default;
    virtual IDispatch* createInstance() = 0;   // one reference owned by the caller
};

// Counts live objects (every DispatchObject counts itself) and locks, for
// DllCanUnloadNow. One count per process: libraries stay loaded anyway.
std::atomic<long>& serverLockCount();

struct Param {
    QString name;
    VType type = VType::Empty;   // Empty: passed through unconverted (Variant)
    bool byRef = false;
    bool optional = false;
    Variant defaultValue;        // used when an optional argument is left out or Missing
};

// Shorthands for member tables: a by-value parameter, a by-reference one,
// and optional ones with their default.
inline Param arg(const QString& name, VType type) { return Param{name, type, false, false, Variant()}; }
inline Param refArg(const QString& name, VType type) { return Param{name, type, true, false, Variant()}; }
inline Param optArg(const QString& name, VType type, const Variant& def) { return Param{name, type, false, true, def}; }
inline Param optRefArg(const QString& name, VType type, const Variant& def) { return Param{name, type, true, true, def}; }

struct Member {
    QString name;
    InvokeKind kind = InvokeKind::Method;
    std::vector<Param> params;
    // Receives the coerced arguments (one per declared parameter, defaults
    // filled in); by-reference parameters are written back to the caller.
    std::function<Variant(Args&)> body;
};

// Base of a creatable class: reference counting and member dispatch.
class DispatchObject : public IDispatch {
public:
    DispatchObject();
    void addRef() override;
    void release() override;
    Variant invoke(const QString& member, InvokeKind kind, Args& args) override;

protected:
    ~DispatchObject() override;
    // Called once by the derived class's constructor.
    void addMember(Member m);
    // A method; body gets one argument per parameter, defaults filled in.
    void addMethod(const QString& name, std::vector<Param> params, std::function<Variant(Args&)> body);
    // A property of the given type: get, and put when a setter is given.
    void addProperty(const QString& name, VType type, std::function<Variant()> get,
                     std::function<void(const Variant&)> put = {});

private:
    std::atomic<long> refs_{1};
    std::vector<Member> members_;
};

// One late-bound call answered by a DispatchObject: the member as the caller
// spelt it, the arguments after coercion (defaults filled in) before the
// call and after it (by-reference results written), and the result.
struct CallRecord {
    const IDispatch* object = nullptr;
    QString member;
    InvokeKind kind = InvokeKind::Method;
    Args args;
    Args after;
    Variant result;
    bool raised = false;   // the member raised an error; result is empty
};
using CallObserver = std::function<void(const CallRecord&)>;
// Sees every call any object in the process answers (tests trace a window's
// controller traffic with it); an empty observer turns tracing off.
void setCallObserver(CallObserver observer);
// Sees every call as it begins, with the number of calls already under way
// (more than 0 only when a call lets events run that make another call).
using CallStartObserver = std::function<void(const IDispatch* object, const QString& member, int underway)>;
void setCallStartObserver(CallStartObserver observer);

// Entry points a component library exports (extern "C"), results 0 = success
// (ComServer.h writes all four with one macro):
//   int DllRegisterServer();
//   int DllUnregisterServer();
//   int DllGetClassObject(const char* progId, com::ClassFactory** factory);
//   int DllCanUnloadNow();     // 0 when no object or lock is alive, 1 otherwise
using DllRegisterServerFn = int (*)();
using DllUnregisterServerFn = int (*)();
using DllGetClassObjectFn = int (*)(const char* progId, ClassFactory** factory);
using DllCanUnloadNowFn = int (*)();

// Helpers for a library's registration entry points: write or remove the
// class's keys (progId -> class id -> path of the library file).
bool registerClass(const QString& progId, const QString& classId, const QString& libraryPath);
bool unregisterClass(const QString& progId, const QString& classId);
// The path of the shared library that contains the given address (dladdr).
QString libraryPathOf(const void* addressInLibrary);

} // namespace com
