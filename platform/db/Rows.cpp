#include "Rows.h"

#include <QString>

#include <algorithm>
#include <cstring>

namespace db {

namespace {

constexpr size_t kChunk = size_t(1) << 20;
constexpr int kVarintMax = 10;

// Writes v in 7-bit groups, low first; returns the bytes written.
int putVarint(uint8_t* out, uint64_t v)
{
    int n = 0;
    while (v >= 0x80) {
        out[n++] = uint8_t(v) | 0x80;
        v >>= 7;
    }
    out[n++] = uint8_t(v);
    return n;
}

void putVarint(std::string& out, uint64_t v)
{
    uint8_t b[kVarintMax];
    out.append(reinterpret_cast<const char*>(b), size_t(putVarint(b, v)));
}

uint64_t getVarint(const uint8_t*& p)
{
    uint64_t v = 0;
    for (int shift = 0;; shift += 7) {
        const uint8_t b = *p++;
        v |= uint64_t(b & 0x7F) << shift;
        if (!(b & 0x80))
            return v;
    }
}

// Whole numbers near 0 of either sign take few bytes.
uint64_t zigzag(qint64 v) { return (uint64_t(v) << 1) ^ uint64_t(v >> 63); }
qint64 unzigzag(uint64_t v) { return qint64(v >> 1) ^ -qint64(v & 1); }

// Past one cell.
const uint8_t* skip(const uint8_t* p)
{
    switch (Rows::Kind(*p++)) {
    case Rows::Kind::Integer: getVarint(p); return p;
    case Rows::Kind::Double: return p + sizeof(double);
    case Rows::Kind::Text:
    case Rows::Kind::Blob: {
        const uint64_t n = getVarint(p);
        return p + n;
    }
    default: return p;
    }
}

QVariant decode(const uint8_t* p)
{
    switch (Rows::Kind(*p++)) {
    case Rows::Kind::Integer: return qlonglong(unzigzag(getVarint(p)));
    case Rows::Kind::Double: {
        double d;
        std::memcpy(&d, p, sizeof d);
        return d;
    }
    case Rows::Kind::Text: {
        const uint64_t n = getVarint(p);
        return QString::fromUtf8(reinterpret_cast<const char*>(p), qsizetype(n));
    }
    case Rows::Kind::Blob: {
        const uint64_t n = getVarint(p);
        return QByteArray(reinterpret_cast<const char*>(p), qsizetype(n));
    }
    default: return QVariant();
    }
}

struct Cells {
    const uint8_t* begin;
    const uint8_t* end;
};
Cells cellsOf(const uint8_t* stored)
{
    const uint64_t n = getVarint(stored);
    return {stored, stored + n};
}

} // namespace

void Rows::clear()
{
    rows_.clear();
    rows_.shrink_to_fit();
    chunks_.clear();
    used_ = capacity_ = 0;
}

Rows& Rows::operator=(Rows&& from) noexcept
{
    if (this != &from) {
        chunks_ = std::move(from.chunks_);
        used_ = from.used_;
        capacity_ = from.capacity_;
        rows_ = std::move(from.rows_);
        row_ = std::move(from.row_);
        // Its fill level must not outlive its chunks.
        from.clear();
        from.row_.clear();
    }
    return *this;
}

void Rows::addNull() { row_.push_back(char(Kind::Null)); }

void Rows::addInteger(qint64 v)
{
    row_.push_back(char(Kind::Integer));
    putVarint(row_, zigzag(v));
}

void Rows::addDouble(double v)
{
    row_.push_back(char(Kind::Double));
    row_.append(reinterpret_cast<const char*>(&v), sizeof v);
}

void Rows::addSized(Kind k, const char* data, int bytes)
{
    row_.push_back(char(k));
    putVarint(row_, uint64_t(std::max(bytes, 0)));
    if (bytes > 0)
        row_.append(data, size_t(bytes));
}

void Rows::addText(const char* utf8, int bytes) { addSized(Kind::Text, utf8, bytes); }
void Rows::addBlob(const char* data, int bytes) { addSized(Kind::Blob, data, bytes); }

void Rows::endRow() { rows_.push_back(store(row_.data(), row_.size())); }

const uint8_t* Rows::store(const char* cells, size_t n)
{
    uint8_t head[kVarintMax];
    const int h = putVarint(head, n);
    const size_t need = size_t(h) + n;
    if (need > capacity_ - used_) {
        capacity_ = std::max(kChunk, need);
        chunks_.emplace_back(new uint8_t[capacity_]);
        used_ = 0;
    }
    uint8_t* at = chunks_.back().get() + used_;
    std::memcpy(at, head, size_t(h));
    if (n)
        std::memcpy(at + h, cells, n);
    used_ += need;
    return at;
}

void Rows::appendNulls(int columns)
{
    beginRow();
    for (int i = 0; i < columns; ++i)
        addNull();
    endRow();
}

void Rows::append(const Rows& from, int row)
{
    const Cells c = cellsOf(from.rows_[size_t(row)]);
    rows_.push_back(store(reinterpret_cast<const char*>(c.begin), size_t(c.end - c.begin)));
}

void Rows::replace(int row, const Rows& from, int fromRow)
{
    // The old bytes stay in their chunk until the store is cleared: rows
    // are replaced one at a time, by an edit.
    const Cells c = cellsOf(from.rows_[size_t(fromRow)]);
    rows_[size_t(row)] = store(reinterpret_cast<const char*>(c.begin), size_t(c.end - c.begin));
}

void Rows::removeAt(int row) { rows_.erase(rows_.begin() + row); }

const uint8_t* Rows::cell(int row, int column) const
{
    Cells c = cellsOf(rows_[size_t(row)]);
    for (int i = 0; i < column && c.begin < c.end; ++i)
        c.begin = skip(c.begin);
    return c.begin < c.end ? c.begin : nullptr;
}

Rows::Kind Rows::kind(int row, int column) const
{
    const uint8_t* p = cell(row, column);
    return p ? Kind(*p) : Kind::Null;
}

QVariant Rows::value(int row, int column) const
{
    const uint8_t* p = cell(row, column);
    return p ? decode(p) : QVariant();
}

QList<QVariant> Rows::row(int r) const
{
    QList<QVariant> out;
    for (Cells c = cellsOf(rows_[size_t(r)]); c.begin < c.end; c.begin = skip(c.begin))
        out.append(decode(c.begin));
    return out;
}

} // namespace db
