#include "Module1.h"

#include "db/RecordsetModel.h"
#include "excel/Excel.h"
#include "runtime/RuntimeError.h"
#include "ui/ProgramFolder.h"
#include "ui/Ui.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace Module1 {

namespace {

const QString kNothing = QStringLiteral("没有数据可导出");

// A number cell only for a value that is a number: text in a number column
// (or in an expression mixing kinds) would otherwise become 0.
bool isNumberValue(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
    case QMetaType::Double: case QMetaType::Float: case QMetaType::Short: case QMetaType::UShort:
    case QMetaType::Long: case QMetaType::ULong:
        return true;
    default:
        return false;
    }
}

void cellWritten(bool ok)
{
    if (!ok)
        rt::raise(rt::ErrSubscript);
}

// Where a user keeps files: the documents folder, or the program folder's
// own export folder on a desktop that has none.
QDir exportFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    const QFileInfo d(documents);
    if (!documents.isEmpty() && d.isDir() && d.isWritable())
        return QDir(documents);
    QDir own(ui::programFolder() + QStringLiteral("Export"));
    if (!own.mkpath(QStringLiteral(".")))
        rt::raise(rt::ErrPathFileAccess, rt::errorDescription(rt::ErrPathFileAccess)
                                             + QStringLiteral("（%1）").arg(QDir::toNativeSeparators(own.path())));
    return own;
}

// A new file named after the title and the time ("打卡数据查询_20261208_093000.xlsx").
QString workbookPath(const QString& title)
{
    QString base = title.trimmed();
    static const QString bad = QStringLiteral("\\/:*?\"<>|");
    for (QChar& c : base)
        if (bad.contains(c) || c.unicode() < 32)
            c = QLatin1Char('_');
    if (base.isEmpty())
        base = QStringLiteral("Ostrela");
    base += ui::now().toString(QStringLiteral("_yyyyMMdd_HHmmss"));
    const QDir dir = exportFolder();
    QString path = dir.filePath(base + QStringLiteral(".xlsx"));
    for (int n = 2; QFileInfo::exists(path); ++n)
        path = dir.filePath(base + QStringLiteral("_%1.xlsx").arg(n));
    return path;
}

} // namespace

QString ExportToExcel(QAbstractItemView* grid, const QString& title)
{
    auto* model = grid ? qobject_cast<db::RecordsetModel*>(grid->model()) : nullptr;
    if (!model)
        return kNothing;
    db::Recordset rs = model->recordset();
    if (!rs.isOpen() || rs.recordCount() <= 0)
        return kNothing;

    QString path;
    try {
        // One sheet holds the header and kMaxRows - 1 records: a longer
        // export is refused rather than cut.
        if (rs.recordCount() > excel::kMaxRows - 1)
            rt::raise(rt::ErrSubscript, QStringLiteral("记录数（%1）超过工作表能容纳的 %2 条，请缩小查询范围后再导出")
                                            .arg(rs.recordCount())
                                            .arg(excel::kMaxRows - 1));
        rs.moveFirst();
        path = workbookPath(title);
        excel::Workbook book(path);
        book.setTitle(title);
        ui::doEvents();

        const int columns = model->columnCount();
        for (int c = 0; c < columns; ++c)
            cellWritten(book.writeText(0, c, model->headerData(c, Qt::Horizontal).toString().trimmed()));

        const int records = rs.recordCount();
        for (int r = 0; r < records; ++r) {
            for (int c = 0; c < model->columnCount(); ++c) {
                // Type and value both come from the field the column shows.
                const int f = model->fieldOf(c);
                if (f < 0)
                    rt::raise(rt::ErrItemNotFound, rt::errorDescription(rt::ErrItemNotFound)
                                  + QStringLiteral("（%1）").arg(model->columns().value(c).dataField));
                const QVariant v = rs.value(f);
                const int type = rs.fieldInfo(f).type;
                if (db::isNumberType(type) && isNumberValue(v))
                    cellWritten(book.writeNumber(r + 1, c, v.toDouble()));
                else if (type == db::adBoolean && !db::isNull(v))
                    cellWritten(book.writeText(r + 1, c, db::toBool(v) ? QStringLiteral("True") : QStringLiteral("False")));
                else
                    cellWritten(book.writeText(r + 1, c, db::text(v)));
            }
            rs.moveNext();
        }
        QString why;
        if (!book.close(&why))
            rt::raise(rt::ErrPathFileAccess, rt::errorDescription(rt::ErrPathFileAccess) + QStringLiteral("（%1）").arg(why));
        grid->setVisible(true);
        rs.moveFirst();
        if (model->rowCount() > 0)
            grid->setCurrentIndex(model->index(0, grid->currentIndex().isValid() ? grid->currentIndex().column() : 0));
        if (!ui::services().openWithDesktop(path))
            ui::msgBox(QStringLiteral("工作簿已保存为：\n%1\n\n本机没有能打开工作簿的电子表格程序。")
                           .arg(QDir::toNativeSeparators(path)),
                       ui::mb::OKOnly | ui::mb::Information, QStringLiteral("提示"));
        return QString();
    } catch (const rt::Error& e) {
        grid->setVisible(true);
        if (rs.isOpen() && rs.recordCount() > 0)
            rs.moveFirst();
        return QStringLiteral("ExportToExcel:") + QString::number(e.number()) + QLatin1Char(',') + e.description();
    }
}

} // namespace Module1
