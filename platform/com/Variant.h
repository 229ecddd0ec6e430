#pragma once
// A value of a late-bound call: empty, Null, missing (an optional argument
// left out), Integer (16-bit), Long (32-bit), Boolean, Double, String, Date.
// Conversions follow the automation rules the callers rely on: text "5"
// converts to a number, integers round half to even and overflow (error 6)
// outside their range, text that is no number is a type mismatch (error 13),
// Boolean True is -1 as a number.
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <variant>
#include <vector>

namespace com {

enum class VType { Empty, Null, Missing, Integer, Long, Boolean, Double, String, Date };

class Variant {
public:
    Variant() = default;                       // Empty
    Variant(int16_t v) : v_(v) {}              // Integer
    Variant(int32_t v) : v_(v) {}              // Long
    // Wider integers become a Long when they fit, a Double otherwise.
    Variant(long v);
    Variant(long long v);
    Variant(unsigned int v) : Variant(static_cast<long long>(v)) {}
    Variant(unsigned long v);
    Variant(bool v) : v_(v) {}                 // Boolean
    Variant(double v) : v_(v) {}               // Double
    Variant(const QString& v) : v_(v) {}       // String
    Variant(const char* v) : v_(QString::fromUtf8(v)) {}
    Variant(const QDateTime& v) : v_(DateBox{v}) {}

    static Variant null();
    static Variant missing();

    VType type() const;
    bool isEmpty() const { return type() == VType::Empty; }
    bool isNull() const { return type() == VType::Null; }
    bool isMissing() const { return type() == VType::Missing; }
    // "Integer", "Long", "String", ... (for messages).
    static QString typeName(VType t);

    // Coercions; they raise rt::Error (13 type mismatch, 6 overflow, 94 Null).
    int16_t toInteger() const;
    int32_t toLong() const;
    bool toBool() const;
    double toDouble() const;
    QString toString() const;
    QDateTime toDate() const;

    // This value converted to the given type (same error rules).
    Variant convertedTo(VType t) const;

    bool operator==(const Variant& o) const { return v_ == o.v_; }

private:
    struct NullTag { bool operator==(const NullTag&) const { return true; } };
    struct MissingTag { bool operator==(const MissingTag&) const { return true; } };
    struct DateBox {
        QDateTime d;
        bool operator==(const DateBox& o) const { return d == o.d; }
    };
    std::variant<std::monostate, NullTag, MissingTag, int16_t, int32_t, bool, double, QString, DateBox> v_;
};

// Arguments of a call, by position. Members whose parameter is by reference
// write their value back into the caller's element.
using Args = std::vector<Variant>;

} // namespace com
