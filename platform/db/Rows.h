#pragma once
// The rows of a result held on the client, packed: a million punches with
// their names would take most of a gigabyte as one value object per cell, so
// each row is kept as its cells' bytes (a kind, then a whole number, a
// double, or a length and UTF-8 text or bytes) and a cell's value is made
// when it is asked for. Values read back as the engine gave them: Null,
// qlonglong, double, QString or QByteArray.
#include <QByteArray>
#include <QList>
#include <QVariant>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace db {

class Rows {
public:
    enum class Kind : uint8_t { Null, Integer, Double, Text, Blob };

    Rows() = default;
    // The source is left empty and ready for new rows.
    Rows(Rows&& from) noexcept { *this = std::move(from); }
    Rows& operator=(Rows&& from) noexcept;
    Rows(const Rows&) = delete;
    Rows& operator=(const Rows&) = delete;

    int size() const { return int(rows_.size()); }
    bool empty() const { return rows_.empty(); }
    void clear();

    // A row is built cell by cell between beginRow and endRow.
    void beginRow() { row_.clear(); }   // keeps its room for the next row
    void addNull();
    void addInteger(qint64 v);
    void addDouble(double v);
    void addText(const char* utf8, int bytes);
    void addBlob(const char* data, int bytes);
    void endRow();

    // A row of nulls; a copy of another store's row, added or in place of one.
    void appendNulls(int columns);
    void append(const Rows& from, int row);
    void replace(int row, const Rows& from, int fromRow);
    void removeAt(int row);

    Kind kind(int row, int column) const;
    QVariant value(int row, int column) const;
    QList<QVariant> row(int row) const;

private:
    const uint8_t* cell(int row, int column) const;
    // A stored row: its cells' length, then the cells.
    const uint8_t* store(const char* cells, size_t n);
    void addSized(Kind k, const char* data, int bytes);

    // Rows never move once stored: chunks are only added.
    std::vector<std::unique_ptr<uint8_t[]>> chunks_;
    size_t used_ = 0, capacity_ = 0;
    std::vector<const uint8_t*> rows_;
    std::string row_;   // the cells of the row being built
};

} // namespace db
