#include "Excel.h"

#include <QFile>
#include <QMap>

#include <xlsxwriter.h>

namespace excel {

namespace {
constexpr int kMaxCellText = 32767;   // the most a cell holds
constexpr double kMinWidth = 8.43;    // the sheet's default column width
constexpr double kMaxWidth = 100.0;
} // namespace

double displayWidth(const QString& text)
{
    double w = 0;
    for (QChar c : text) {
        if (c.isLowSurrogate())
            continue;
        ushort u = c.unicode();
        bool wide = (u >= 0x1100 && u <= 0x115F) || (u >= 0x2E80 && u <= 0xA4CF) || (u >= 0xAC00 && u <= 0xD7A3)
            || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xFE30 && u <= 0xFE4F) || (u >= 0xFF00 && u <= 0xFF60)
            || (u >= 0xFFE0 && u <= 0xFFE6) || c.isHighSurrogate();
        w += wide ? 2 : 1;
    }
    return w;
}

struct Workbook::Impl {
    QString path;
    QByteArray title;
    lxw_workbook* wb = nullptr;
    lxw_worksheet* ws = nullptr;
    lxw_format* textFormat = nullptr;
    QMap<int, double> widths;
    bool closed = false;

    void widen(int column, double w)
    {
        double& cur = widths[column];
        cur = qMax(cur, w);
    }
};

Workbook::Workbook(const QString& path) : d(std::make_unique<Impl>())
{
    d->path = path;
    d->wb = workbook_new(QFile::encodeName(path).constData());
    if (d->wb) {
        d->ws = workbook_add_worksheet(d->wb, nullptr);
        d->textFormat = workbook_add_format(d->wb);
        format_set_num_format(d->textFormat, "@");
    }
}

Workbook::~Workbook()
{
    if (!d->closed && d->wb) {
        // Never written: drop it without leaving a file behind.
        workbook_close(d->wb);
        QFile::remove(d->path);
    }
}

void Workbook::setTitle(const QString& title) { d->title = title.toUtf8(); }

bool Workbook::writeText(int row, int column, const QString& text)
{
    if (!d->ws || row < 0 || column < 0 || row >= kMaxRows)
        return false;
    QString t = text.left(kMaxCellText);
    if (t.isEmpty())
        return true;
    QByteArray utf8 = t.toUtf8();
    if (worksheet_write_string(d->ws, lxw_row_t(row), lxw_col_t(column), utf8.constData(), d->textFormat) != LXW_NO_ERROR)
        return false;
    d->widen(column, displayWidth(t));
    return true;
}

bool Workbook::writeNumber(int row, int column, double value)
{
    if (!d->ws || row < 0 || column < 0 || row >= kMaxRows)
        return false;
    if (worksheet_write_number(d->ws, lxw_row_t(row), lxw_col_t(column), value, nullptr) != LXW_NO_ERROR)
        return false;
    d->widen(column, double(QString::number(value, 'g', 15).size()));
    return true;
}

bool Workbook::close(QString* error)
{
    if (d->closed)
        return true;
    d->closed = true;
    if (!d->wb) {
        if (error)
            *error = QStringLiteral("无法创建工作簿“%1”").arg(d->path);
        return false;
    }
    for (auto it = d->widths.cbegin(); it != d->widths.cend(); ++it) {
        double w = qBound(kMinWidth, it.value() + 2, kMaxWidth);
        worksheet_set_column(d->ws, lxw_col_t(it.key()), lxw_col_t(it.key()), w, nullptr);
    }
    if (!d->title.isEmpty()) {
        lxw_doc_properties props{};
        props.title = d->title.data();
        workbook_set_properties(d->wb, &props);
    }
    lxw_error rc = workbook_close(d->wb);
    d->wb = nullptr;
    if (rc != LXW_NO_ERROR) {
        if (error)
            *error = QString::fromUtf8(lxw_strerror(rc));
        return false;
    }
    return true;
}

} // namespace excel
