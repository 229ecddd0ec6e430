#pragma once
// Writing .xlsx workbooks (one sheet) cell by cell. Column widths are fitted
// to what was written when the workbook is closed.
#include <QString>

#include <memory>

namespace excel {

// Rows of one worksheet, the header row included.
inline constexpr int kMaxRows = 1048576;

class Workbook {
public:
    // Starts a workbook that close() writes to path.
    explicit Workbook(const QString& path);
    ~Workbook();
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    // The document's title (shown by the spreadsheet program).
    void setTitle(const QString& title);
    // 0-based row and column. Text cells keep their text exactly as given
    // (leading zeros, dates as written); an empty text leaves the cell empty.
    // False when the cell lies outside the sheet.
    bool writeText(int row, int column, const QString& text);
    bool writeNumber(int row, int column, double value);
    // Fits the column widths and writes the file. False (with a reason) when
    // the file cannot be written.
    bool close(QString* error = nullptr);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Width of a text in character cells: wide (CJK) characters count two.
double displayWidth(const QString& text);

} // namespace excel
