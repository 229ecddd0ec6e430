#include "Com.h"
#include "ComServer.h"

#include "registry/Registry.h"
#include "runtime/RuntimeError.h"

#include <QFileInfo>

#include <dlfcn.h>
#include <map>
#include <new>
#include <mutex>

namespace com {

// ---- Dispatch ---------------------------------------------------------------

Dispatch::Dispatch(IDispatch* p, bool takeNewReference)
    : p_(p)
{
    if (p_ && takeNewReference)
        p_->addRef();
}

Dispatch::Dispatch(const Dispatch& o)
    : p_(o.p_)
{
    if (p_)
        p_->addRef();
}

Dispatch::Dispatch(Dispatch&& o) noexcept
    : p_(o.p_)
{
    o.p_ = nullptr;
}

Dispatch& Dispatch::operator=(Dispatch o) noexcept
{
    std::swap(p_, o.p_);
    return *this;
}

Dispatch::~Dispatch()
{
    reset();
}

void Dispatch::reset()
{
    if (p_) {
        IDispatch* p = p_;
        p_ = nullptr;
        p->release();
    }
}

Variant Dispatch::call(const QString& member, Args& args) const
{
    if (!p_)
        rt::raise(rt::ErrObjectNotSet);
    return p_->invoke(member, InvokeKind::Method, args);
}

Variant Dispatch::call(const QString& member, std::initializer_list<Variant> args) const
{
    Args a(args);
    return call(member, a);
}

Variant Dispatch::getProperty(const QString& member) const
{
    if (!p_)
        rt::raise(rt::ErrObjectNotSet);
    Args none;
    return p_->invoke(member, InvokeKind::PropertyGet, none);
}

void Dispatch::setProperty(const QString& member, const Variant& value) const
{
    if (!p_)
        rt::raise(rt::ErrObjectNotSet);
    Args a{value};
    p_->invoke(member, InvokeKind::PropertyPut, a);
}

// ---- DispatchObject -------------------------------------------------------------

namespace {
CallObserver& callObserverSlot()
{
    static CallObserver observer;
    return observer;
}
CallStartObserver& callStartObserverSlot()
{
    static CallStartObserver observer;
    return observer;
}
int underway = 0;   // calls answered right now, on the stack
} // namespace

std::atomic<long>& serverLockCount()
{
    static std::atomic<long> count{0};
    return count;
}

DispatchObject::DispatchObject()
{
    ++serverLockCount();
}

DispatchObject::~DispatchObject()
{
    --serverLockCount();
}

void DispatchObject::addRef()
{
    ++refs_;
}

void DispatchObject::release()
{
    if (--refs_ == 0)
        delete this;
}

void DispatchObject::addMember(Member m)
{
    members_.push_back(std::move(m));
}

void DispatchObject::addMethod(const QString& name, std::vector<Param> params, std::function<Variant(Args&)> body)
{
    addMember(Member{name, InvokeKind::Method, std::move(params), std::move(body)});
}

void DispatchObject::addProperty(const QString& name, VType type, std::function<Variant()> get,
                                 std::function<void(const Variant&)> put)
{
    if (get)
        addMember(Member{name, InvokeKind::PropertyGet, {}, [get](Args&) { return get(); }});
    if (put)
        addMember(Member{name, InvokeKind::PropertyPut, {arg(QStringLiteral("value"), type)},
                         [put](Args& a) { put(a[0]); return Variant(); }});
}

Variant DispatchObject::invoke(const QString& member, InvokeKind kind, Args& args)
{
    // A late-bound "x = obj.Name" may mean a method or a property get, so the
    // two stand in for each other; a put only matches a put.
    const Member* found = nullptr;
    const Member* fallback = nullptr;
    for (const Member& m : members_) {
        if (m.name.compare(member, Qt::CaseInsensitive) != 0)
            continue;
        if (m.kind == kind) {
            found = &m;
            break;
        }
        if (kind != InvokeKind::PropertyPut && m.kind != InvokeKind::PropertyPut && !fallback)
            fallback = &m;
    }
    if (!found)
        found = fallback;
    if (!found)
        rt::raise(rt::ErrMemberNotFound);

    const std::vector<Param>& params = found->params;
    if (args.size() > params.size())
        rt::raise(rt::ErrWrongArgCount);

    Args coerced;
    coerced.reserve(params.size());
    for (size_t i = 0; i < params.size(); ++i) {
        const Param& p = params[i];
        bool given = i < args.size() && !args[i].isMissing();
        if (!given && !p.optional)
            rt::raise(rt::ErrWrongArgCount);
        const Variant& v = given ? args[i] : p.defaultValue;
        coerced.push_back(p.type == VType::Empty ? v : v.convertedTo(p.type));
    }

    if (const CallStartObserver& started = callStartObserverSlot())
        started(this, member, underway);
    struct Underway {
        Underway() { ++underway; }
        ~Underway() { --underway; }
    } counted;
    CallObserver& observer = callObserverSlot();
    Args before;
    if (observer)
        before = coerced;
    Variant result;
    try {
        result = found->body(coerced);
    } catch (const rt::Error&) {
        if (observer)
            observer(CallRecord{this, member, kind, std::move(before), coerced, Variant(), true});
        throw;
    } catch (const std::bad_alloc&) {
        rt::raise(rt::ErrOutOfMemory);
    } catch (const std::exception&) {
        rt::raise(rt::ErrAutomation);
    }

    for (size_t i = 0; i < params.size() && i < args.size(); ++i)
        if (params[i].byRef && !args[i].isMissing())
            args[i] = coerced[i];
    if (observer)
        observer(CallRecord{this, member, kind, std::move(before), coerced, result, false});
    return result;
}

void setCallObserver(CallObserver observer)
{
    callObserverSlot() = std::move(observer);
}

void setCallStartObserver(CallStartObserver observer)
{
    callStartObserverSlot() = std::move(observer);
}

// ---- class registry and creation --------------------------------------------

namespace {

const QString kClsidKey = QStringLiteral("CLSID");

bool validName(const QString& s)
{
    return !s.trimmed().isEmpty() && !s.contains(QLatin1Char('\\'));
}

// Libraries stay loaded once opened: objects and factories live in them.
void* loadLibrary(const QString& path)
{
    static std::mutex m;
    static std::map<QString, void*> handles;
    std::lock_guard<std::mutex> g(m);
    auto it = handles.find(path);
    if (it != handles.end())
        return it->second;
    void* h = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (h)
        handles.emplace(path, h);
    return h;
}

} // namespace

Dispatch CreateObject(const QString& progId)
{
    if (!validName(progId))
        rt::raise(rt::ErrCantCreateObject);
    std::optional<QString> classId = reg::queryText(reg::Root::ClassesRoot, progId + QLatin1String("\\CLSID"), QString());
    if (!classId || !validName(*classId))
        rt::raise(rt::ErrCantCreateObject);
    std::optional<QString> path = reg::queryText(reg::Root::ClassesRoot,
                                                 kClsidKey + QLatin1Char('\\') + *classId + QLatin1String("\\InprocServer32"),
                                                 QString());
    if (!path || path->isEmpty())
        rt::raise(rt::ErrCantCreateObject);
    void* lib = loadLibrary(*path);
    if (!lib)
        rt::raise(rt::ErrCantCreateObject);
    auto getClassObject = reinterpret_cast<DllGetClassObjectFn>(dlsym(lib, "DllGetClassObject"));
    if (!getClassObject)
        rt::raise(rt::ErrCantCreateObject);
    ClassFactory* factory = nullptr;
    QByteArray id = progId.toUtf8();
    if (getClassObject(id.constData(), &factory) != 0 || !factory)
        rt::raise(rt::ErrCantCreateObject);
    IDispatch* obj = nullptr;
    try {
        obj = factory->createInstance();
    } catch (const rt::Error&) {
        throw;
    } catch (const std::exception&) {
        rt::raise(rt::ErrCantCreateObject);
    }
    if (!obj)
        rt::raise(rt::ErrCantCreateObject);
    return Dispatch(obj, false);
}

bool registerClass(const QString& progId, const QString& classId, const QString& libraryPath)
{
    if (!validName(progId) || !validName(classId) || !QFileInfo(libraryPath).isAbsolute())
        return false;
    using reg::Root;
    const QString clsKey = kClsidKey + QLatin1Char('\\') + classId;
    return reg::setValue(Root::ClassesRoot, progId, QString(), progId)
        && reg::setValue(Root::ClassesRoot, progId + QLatin1String("\\CLSID"), QString(), classId)
        && reg::setValue(Root::ClassesRoot, clsKey, QString(), progId)
        && reg::setValue(Root::ClassesRoot, clsKey + QLatin1String("\\ProgID"), QString(), progId)
        && reg::setValue(Root::ClassesRoot, clsKey + QLatin1String("\\InprocServer32"), QString(), libraryPath);
}

bool unregisterClass(const QString& progId, const QString& classId)
{
    if (!validName(progId) || !validName(classId))
        return false;
    bool a = reg::deleteKey(reg::Root::ClassesRoot, progId);
    bool b = reg::deleteKey(reg::Root::ClassesRoot, kClsidKey + QLatin1Char('\\') + classId);
    return a && b;
}

QString libraryPathOf(const void* addressInLibrary)
{
    Dl_info info{};
    if (!addressInLibrary || dladdr(addressInLibrary, &info) == 0 || !info.dli_fname)
        return QString();
    return QFileInfo(QFile::decodeName(info.dli_fname)).absoluteFilePath();
}

} // namespace com

// ---- entry points written by COM_EXPORT_CLASS ----------------------------------

namespace com::detail {

int getClassObject(const char* requested, const char* progId, const char* classId,
                   ClassFactory* factory, ClassFactory** out)
{
    if (!out)
        return 1;
    *out = nullptr;
    if (!requested)
        return 1;
    QString r = QString::fromUtf8(requested);
    if (r.compare(QString::fromUtf8(progId), Qt::CaseInsensitive) != 0
        && r.compare(QString::fromUtf8(classId), Qt::CaseInsensitive) != 0)
        return 1;
    *out = factory;
    return 0;
}

int registerServer(const char* progId, const char* classId, const void* addressInLibrary)
{
    QString path = libraryPathOf(addressInLibrary);
    if (path.isEmpty())
        return 1;
    return registerClass(QString::fromUtf8(progId), QString::fromUtf8(classId), path) ? 0 : 1;
}

int unregisterServer(const char* progId, const char* classId)
{
    return unregisterClass(QString::fromUtf8(progId), QString::fromUtf8(classId)) ? 0 : 1;
}

int canUnloadNow()
{
    return serverLockCount().load() == 0 ? 0 : 1;
}

} // namespace com::detail
