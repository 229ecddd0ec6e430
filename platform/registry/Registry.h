#pragma once
// The registry: three hives of hierarchical keys (names compared without
// regard to case) holding named, typed values. Each hive is one file under
// the registry folder; every change rewrites its file atomically, and a file
// that cannot be read back counts as a hive without keys.
//
// The folder is looked up on every call: the one given to
// setRootDirectory(), else $DOORSUITE_REGISTRY_DIR, else
// $XDG_DATA_HOME/doorsuite/registry (~/.local/share/doorsuite/registry).
//
// Two forms of access: the convenient one below (reg::setValue,
// reg::queryText, ...) and a thin one shaped like the Windows calls
// (RegOpenKeyExA, RegQueryValueExA, RegCloseKey) for code that mirrors them.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace reg {

enum class Root { ClassesRoot, CurrentUser, LocalMachine };

// Value types, numbered as Windows numbers them.
enum ValueType : std::uint32_t {
    REG_NONE = 0,
    REG_SZ = 1,
    REG_EXPAND_SZ = 2,
    REG_BINARY = 3,
    REG_DWORD = 4,
};

struct Value {
    std::uint32_t type = REG_NONE;
    QString text;              // REG_SZ, REG_EXPAND_SZ
    std::uint32_t number = 0;  // REG_DWORD
    QByteArray bytes;          // REG_BINARY and other types
    bool isText() const { return type == REG_SZ || type == REG_EXPAND_SZ; }
};

// The folder the hive files live in (see above).
QString rootDirectory();
// Moves the registry (tests); an empty text restores the normal lookup.
void setRootDirectory(const QString& dir);

// Key paths are separated by backslashes ("SOFTWARE\\Vendor\\Tool"); an
// empty path is the hive itself. The empty value name is the key's default value.
bool keyExists(Root root, const QString& path);
bool createKey(Root root, const QString& path);          // with missing parents
bool deleteKey(Root root, const QString& path);          // with all its subkeys; true when gone
QStringList subKeyNames(Root root, const QString& path);
QStringList valueNames(Root root, const QString& path);

// Writing a value creates its key when needed. False when the file cannot be written.
bool setValue(Root root, const QString& path, const QString& name, const QString& text);  // REG_SZ
bool setDwordValue(Root root, const QString& path, const QString& name, std::uint32_t v);
bool setBinaryValue(Root root, const QString& path, const QString& name, const QByteArray& bytes);
bool setValue(Root root, const QString& path, const QString& name, const Value& v);
bool deleteValue(Root root, const QString& path, const QString& name);  // true when gone

std::optional<Value> queryValue(Root root, const QString& path, const QString& name);
// The value when it is text (REG_SZ or REG_EXPAND_SZ); nothing otherwise.
std::optional<QString> queryText(Root root, const QString& path, const QString& name);

// A key that existed when it was opened.
class Key {
public:
    Key(Root root, QString path) : root_(root), path_(std::move(path)) {}
    Root root() const { return root_; }
    const QString& path() const { return path_; }
    std::optional<Value> value(const QString& name) const { return queryValue(root_, path_, name); }
    std::optional<QString> text(const QString& name) const { return queryText(root_, path_, name); }
    bool setValue(const QString& name, const QString& text) const { return reg::setValue(root_, path_, name, text); }
    bool deleteValue(const QString& name) const { return reg::deleteValue(root_, path_, name); }
    QStringList subKeyNames() const { return reg::subKeyNames(root_, path_); }
    QStringList valueNames() const { return reg::valueNames(root_, path_); }

private:
    Root root_;
    QString path_;
};
// The key when it exists (or, with create, after creating it).
std::optional<Key> openKey(Root root, const QString& path, bool create = false);

// --- the Windows-shaped calls ------------------------------------------------

using DWORD = std::uint32_t;
using LONG = std::int32_t;
struct KeyHandle;
using HKEY = KeyHandle*;

inline const HKEY HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(std::uintptr_t(0x80000000u));
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(std::uintptr_t(0x80000001u));
inline const HKEY HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(std::uintptr_t(0x80000002u));

enum : LONG {
    ERROR_SUCCESS = 0,
    ERROR_FILE_NOT_FOUND = 2,
    ERROR_ACCESS_DENIED = 5,
    ERROR_INVALID_HANDLE = 6,
    ERROR_INVALID_PARAMETER = 87,
    ERROR_MORE_DATA = 234,
};

// Access rights; asking for a right that changes the key (set value, create
// subkey, create link, delete) fails with ERROR_ACCESS_DENIED when the hive
// file cannot be written.
enum : DWORD {
    KEY_QUERY_VALUE = 0x0001,
    KEY_SET_VALUE = 0x0002,
    KEY_CREATE_SUB_KEY = 0x0004,
    KEY_ENUMERATE_SUB_KEYS = 0x0008,
    KEY_NOTIFY = 0x0010,
    KEY_CREATE_LINK = 0x0020,
    KEY_DELETE = 0x00010000,
    READ_CONTROL = 0x00020000,
    KEY_READ = 0x00020019,
    KEY_WRITE = 0x00020006,
    KEY_ALL_ACCESS = 0x000F003F,
};

// Names and text data of these calls are code page 936 bytes.
// A text value is returned with its terminating NUL counted in *cbData.
// With data == nullptr only the size is returned; a buffer too small gives
// ERROR_MORE_DATA with the size needed in *cbData.
LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, DWORD samDesired, HKEY* result);
LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type,
                      unsigned char* data, DWORD* cbData);
LONG RegCloseKey(HKEY key);

} // namespace reg
