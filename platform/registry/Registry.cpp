#include "Registry.h"

#include "runtime/Gbk.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <cstring>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

namespace reg {

namespace {

// ---- where the files are --------------------------------------------------

std::mutex& overrideMutex()
{
    static std::mutex m;
    return m;
}

QString& overrideDir()
{
    static QString dir;
    return dir;
}

const char* hiveName(Root r)
{
    switch (r) {
    case Root::ClassesRoot: return "HKEY_CLASSES_ROOT";
    case Root::CurrentUser: return "HKEY_CURRENT_USER";
    case Root::LocalMachine: return "HKEY_LOCAL_MACHINE";
    }
    return "HKEY_LOCAL_MACHINE";
}

QString hiveFile(Root r)
{
    return rootDirectory() + QLatin1Char('/') + QLatin1String(hiveName(r)) + QLatin1String(".json");
}

// ---- one hive in memory -----------------------------------------------------

struct Node {
    QString name;
    std::vector<Node> children;
    std::vector<std::pair<QString, Value>> values;

    Node* child(const QString& n)
    {
        for (Node& c : children)
            if (c.name.compare(n, Qt::CaseInsensitive) == 0)
                return &c;
        return nullptr;
    }
    Value* value(const QString& n)
    {
        for (auto& [vn, v] : values)
            if (vn.compare(n, Qt::CaseInsensitive) == 0)
                return &v;
        return nullptr;
    }
};

// "A\\B\\C" -> {A, B, C}; an empty name between separators makes the path invalid.
bool splitPath(const QString& path, QStringList& parts)
{
    parts.clear();
    QString p = path;
    while (p.startsWith(QLatin1Char('\\')))
        p.remove(0, 1);
    while (p.endsWith(QLatin1Char('\\')))
        p.chop(1);
    if (p.isEmpty())
        return true;
    parts = p.split(QLatin1Char('\\'));
    for (const QString& s : parts)
        if (s.isEmpty())
            return false;
    return true;
}

Node* findNode(Node& hive, const QStringList& parts)
{
    Node* n = &hive;
    for (const QString& s : parts) {
        n = n->child(s);
        if (!n)
            return nullptr;
    }
    return n;
}

Node* makeNode(Node& hive, const QStringList& parts)
{
    Node* n = &hive;
    for (const QString& s : parts) {
        Node* c = n->child(s);
        if (!c) {
            n->children.push_back(Node{s, {}, {}});
            c = &n->children.back();
        }
        n = c;
    }
    return n;
}

// ---- file form -------------------------------------------------------------
// {"name": ..., "values": [{"name", "type", "data"}], "keys": [ ...same... ]}
// Text data is a JSON string, a DWORD a number, anything else hex digits.

QJsonObject toJson(const Node& n)
{
    QJsonObject o;
    o[QLatin1String("name")] = n.name;
    QJsonArray vals;
    for (const auto& [name, v] : n.values) {
        QJsonObject jv;
        jv[QLatin1String("name")] = name;
        jv[QLatin1String("type")] = static_cast<qint64>(v.type);
        if (v.isText())
            jv[QLatin1String("data")] = v.text;
        else if (v.type == REG_DWORD)
            jv[QLatin1String("data")] = static_cast<qint64>(v.number);
        else
            jv[QLatin1String("data")] = QString::fromLatin1(v.bytes.toHex());
        vals.append(jv);
    }
    o[QLatin1String("values")] = vals;
    QJsonArray keys;
    for (const Node& c : n.children)
        keys.append(toJson(c));
    o[QLatin1String("keys")] = keys;
    return o;
}

// Entries of the wrong shape are skipped: a damaged part never hides the rest.
void fromJson(const QJsonObject& o, Node& n, int depth)
{
    if (depth > 512)
        return;
    const QJsonArray vals = o.value(QLatin1String("values")).toArray();
    for (const QJsonValue& x : vals) {
        if (!x.isObject())
            continue;
        QJsonObject jv = x.toObject();
        QJsonValue name = jv.value(QLatin1String("name"));
        QJsonValue type = jv.value(QLatin1String("type"));
        QJsonValue data = jv.value(QLatin1String("data"));
        if (!name.isString() || !type.isDouble())
            continue;
        double t = type.toDouble();
        if (t < 0 || t > 0xFFFFFFFFu)
            continue;
        Value v;
        v.type = static_cast<std::uint32_t>(t);
        if (v.isText()) {
            if (!data.isString())
                continue;
            v.text = data.toString();
        } else if (v.type == REG_DWORD) {
            double d = data.toDouble(-1);
            if (!data.isDouble() || d < 0 || d > 0xFFFFFFFFu)
                continue;
            v.number = static_cast<std::uint32_t>(d);
        } else {
            if (!data.isString())
                continue;
            v.bytes = QByteArray::fromHex(data.toString().toLatin1());
        }
        if (!n.value(name.toString()))
            n.values.emplace_back(name.toString(), v);
    }
    const QJsonArray keys = o.value(QLatin1String("keys")).toArray();
    for (const QJsonValue& x : keys) {
        if (!x.isObject())
            continue;
        QJsonObject jk = x.toObject();
        QString name = jk.value(QLatin1String("name")).toString();
        if (name.isEmpty() || name.contains(QLatin1Char('\\')) || n.child(name))
            continue;
        n.children.push_back(Node{name, {}, {}});
        fromJson(jk, n.children.back(), depth + 1);
    }
}

// Reads a hive; damaged tells whether a file was there but could not be read.
Node loadHive(Root r, bool* damaged = nullptr)
{
    Node hive{QLatin1String(hiveName(r)), {}, {}};
    if (damaged)
        *damaged = false;
    QFile f(hiveFile(r));
    if (!f.exists() || !f.open(QIODevice::ReadOnly))
        return hive;
    QJsonParseError err{};
    QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &err);
    if (err.error != QJsonParseError::NoError || !doc.isObject()) {
        if (damaged)
            *damaged = true;
        return hive;
    }
    fromJson(doc.object(), hive, 0);
    return hive;
}

bool saveHive(Root r, const Node& hive, bool keepDamaged)
{
    QString path = hiveFile(r);
    if (keepDamaged) {
        // The unreadable file is kept aside rather than silently replaced.
        QString aside = path + QLatin1String(".damaged");
        QFile::remove(aside);
        QFile::copy(path, aside);
    }
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray bytes = QJsonDocument(toJson(hive)).toJson(QJsonDocument::Indented);
    if (f.write(bytes) != bytes.size())
        return false;
    return f.commit();
}

std::mutex& writeMutex()
{
    static std::mutex m;
    return m;
}

// Reads the key at path, when it exists, through read; false when it does not.
template <typename F>
bool readKey(Root r, const QString& path, F read)
{
    QStringList parts;
    if (!splitPath(path, parts))
        return false;
    Node hive = loadHive(r);
    Node* n = findNode(hive, parts);
    if (!n)
        return false;
    read(*n);
    return true;
}

// Read, change and write one hive under a lock shared with other processes.
// change returns false to leave the file untouched.
template <typename F>
bool modifyHive(Root r, F change)
{
    std::lock_guard<std::mutex> guard(writeMutex());
    QString dir = rootDirectory();
    if (!QDir().mkpath(dir))
        return false;
    QLockFile lock(dir + QLatin1String("/.lock"));
    lock.setStaleLockTime(10000);
    if (!lock.tryLock(10000))
        return false;
    bool damaged = false;
    Node hive = loadHive(r, &damaged);
    bool changed = false;
    bool ok = change(hive, changed);
    if (!ok || !changed)
        return ok;
    return saveHive(r, hive, damaged);
}

bool setValueImpl(Root root, const QString& path, const QString& name, const Value& v)
{
    QStringList parts;
    if (!splitPath(path, parts))
        return false;
    return modifyHive(root, [&](Node& hive, bool& changed) {
        Node* n = makeNode(hive, parts);
        if (Value* old = n->value(name))
            *old = v;
        else
            n->values.emplace_back(name, v);
        changed = true;
        return true;
    });
}

} // namespace

QString rootDirectory()
{
    {
        std::lock_guard<std::mutex> g(overrideMutex());
        if (!overrideDir().isEmpty())
            return overrideDir();
    }
    QString env = qEnvironmentVariable("DOORSUITE_REGISTRY_DIR");
    if (!env.isEmpty())
        return QDir::cleanPath(env);
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QLatin1String("/.local/share");
    return QDir::cleanPath(base + QLatin1String("/doorsuite/registry"));
}

void setRootDirectory(const QString& dir)
{
    std::lock_guard<std::mutex> g(overrideMutex());
    overrideDir() = dir.isEmpty() ? QString() : QDir::cleanPath(dir);
}

bool keyExists(Root root, const QString& path)
{
    return readKey(root, path, [](const Node&) {});
}

bool createKey(Root root, const QString& path)
{
    QStringList parts;
    if (!splitPath(path, parts))
        return false;
    return modifyHive(root, [&](Node& hive, bool& changed) {
        if (!findNode(hive, parts)) {
            makeNode(hive, parts);
            changed = true;
        }
        return true;
    });
}

bool deleteKey(Root root, const QString& path)
{
    QStringList parts;
    if (!splitPath(path, parts) || parts.isEmpty())
        return false;   // a hive itself cannot be deleted
    return modifyHive(root, [&](Node& hive, bool& changed) {
        QStringList parentParts = parts.mid(0, parts.size() - 1);
        Node* parent = findNode(hive, parentParts);
        if (!parent)
            return true;
        for (auto it = parent->children.begin(); it != parent->children.end(); ++it) {
            if (it->name.compare(parts.last(), Qt::CaseInsensitive) == 0) {
                parent->children.erase(it);
                changed = true;
                break;
            }
        }
        return true;
    });
}

QStringList subKeyNames(Root root, const QString& path)
{
    QStringList out;
    readKey(root, path, [&](const Node& n) {
        for (const Node& c : n.children)
            out << c.name;
    });
    return out;
}

QStringList valueNames(Root root, const QString& path)
{
    QStringList out;
    readKey(root, path, [&](const Node& n) {
        for (const auto& [name, v] : n.values)
            out << name;
    });
    return out;
}

bool setValue(Root root, const QString& path, const QString& name, const QString& text)
{
    Value v;
    v.type = REG_SZ;
    v.text = text;
    return setValueImpl(root, path, name, v);
}

bool setDwordValue(Root root, const QString& path, const QString& name, std::uint32_t number)
{
    Value v;
    v.type = REG_DWORD;
    v.number = number;
    return setValueImpl(root, path, name, v);
}

bool setBinaryValue(Root root, const QString& path, const QString& name, const QByteArray& bytes)
{
    Value v;
    v.type = REG_BINARY;
    v.bytes = bytes;
    return setValueImpl(root, path, name, v);
}

bool setValue(Root root, const QString& path, const QString& name, const Value& v)
{
    return setValueImpl(root, path, name, v);
}

bool deleteValue(Root root, const QString& path, const QString& name)
{
    QStringList parts;
    if (!splitPath(path, parts))
        return false;
    return modifyHive(root, [&](Node& hive, bool& changed) {
        Node* n = findNode(hive, parts);
        if (!n)
            return true;
        for (auto it = n->values.begin(); it != n->values.end(); ++it) {
            if (it->first.compare(name, Qt::CaseInsensitive) == 0) {
                n->values.erase(it);
                changed = true;
                break;
            }
        }
        return true;
    });
}

std::optional<Value> queryValue(Root root, const QString& path, const QString& name)
{
    std::optional<Value> out;
    readKey(root, path, [&](Node& n) {
        if (Value* v = n.value(name))
            out = *v;
    });
    return out;
}

std::optional<QString> queryText(Root root, const QString& path, const QString& name)
{
    std::optional<Value> v = queryValue(root, path, name);
    if (!v || !v->isText())
        return std::nullopt;
    return v->text;
}

std::optional<Key> openKey(Root root, const QString& path, bool create)
{
    if (create ? !createKey(root, path) : !keyExists(root, path))
        return std::nullopt;
    return Key(root, path);
}

// ---- the Windows-shaped calls ----------------------------------------------

struct KeyHandle {
    Root root;
    QString path;
};

namespace {

std::mutex& handleMutex()
{
    static std::mutex m;
    return m;
}

std::set<KeyHandle*>& liveHandles()
{
    static std::set<KeyHandle*> s;
    return s;
}

bool predefined(HKEY k, Root& root)
{
    if (k == HKEY_CLASSES_ROOT)
        root = Root::ClassesRoot;
    else if (k == HKEY_CURRENT_USER)
        root = Root::CurrentUser;
    else if (k == HKEY_LOCAL_MACHINE)
        root = Root::LocalMachine;
    else
        return false;
    return true;
}

// The root and path a handle stands for; false for an unknown handle.
bool resolve(HKEY k, Root& root, QString& path)
{
    if (predefined(k, root)) {
        path.clear();
        return true;
    }
    std::lock_guard<std::mutex> g(handleMutex());
    if (!liveHandles().count(k))
        return false;
    root = k->root;
    path = k->path;
    return true;
}

bool writable(Root r)
{
    QFileInfo dir(rootDirectory());
    if (!dir.isDir() || !dir.isWritable())
        return false;
    QFileInfo file(hiveFile(r));
    return !file.exists() || file.isWritable();
}

QString fromAnsi(const char* s)
{
    return s ? rt::fromGbk(QByteArray(s)) : QString();
}

} // namespace

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD /*options*/, DWORD samDesired, HKEY* result)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    Root root;
    QString base;
    if (!resolve(key, root, base))
        return ERROR_INVALID_HANDLE;
    QString sub = fromAnsi(subKey);
    QString path = base.isEmpty() ? sub : (sub.isEmpty() ? base : base + QLatin1Char('\\') + sub);
    QStringList parts;
    if (!splitPath(path, parts))
        return ERROR_FILE_NOT_FOUND;
    if (!keyExists(root, path))
        return ERROR_FILE_NOT_FOUND;
    const DWORD changing = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | KEY_DELETE;
    if ((samDesired & changing) && !writable(root))
        return ERROR_ACCESS_DENIED;
    auto* h = new KeyHandle{root, parts.join(QLatin1Char('\\'))};
    std::lock_guard<std::mutex> g(handleMutex());
    liveHandles().insert(h);
    *result = h;
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type,
                      unsigned char* data, DWORD* cbData)
{
    if (reserved || (data && !cbData))
        return ERROR_INVALID_PARAMETER;
    Root root;
    QString path;
    if (!resolve(key, root, path))
        return ERROR_INVALID_HANDLE;
    std::optional<Value> v = queryValue(root, path, fromAnsi(valueName));
    if (!v)
        return ERROR_FILE_NOT_FOUND;
    QByteArray bytes;
    if (v->isText()) {
        bytes = rt::toGbk(v->text);
        bytes.append('\0');
    } else if (v->type == REG_DWORD) {
        std::uint32_t n = v->number;   // little-endian, as the Windows call gives it
        for (int i = 0; i < 4; ++i)
            bytes.append(static_cast<char>((n >> (8 * i)) & 0xFF));
    } else {
        bytes = v->bytes;
    }
    if (type)
        *type = v->type;
    if (!cbData)
        return ERROR_SUCCESS;
    DWORD room = *cbData;
    *cbData = static_cast<DWORD>(bytes.size());
    if (!data)
        return ERROR_SUCCESS;
    if (room < static_cast<DWORD>(bytes.size()))
        return ERROR_MORE_DATA;
    std::memcpy(data, bytes.constData(), static_cast<size_t>(bytes.size()));
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key)
{
    Root root;
    if (predefined(key, root))
        return ERROR_SUCCESS;
    std::lock_guard<std::mutex> g(handleMutex());
    auto it = liveHandles().find(key);
    if (it == liveHandles().end())
        return ERROR_INVALID_HANDLE;
    liveHandles().erase(it);
    delete key;
    return ERROR_SUCCESS;
}

} // namespace reg
