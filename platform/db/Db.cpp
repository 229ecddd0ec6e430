#include "Db.h"

#include "Rows.h"

#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTime>

#include <sqlite3.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace db {

// ---------------------------------------------------------------- values

bool isNumberType(int type)
{
    switch (type) {
    case adInteger: case adDouble: case adCurrency: case adDecimal: case adBigInt: case adNumeric:
        return true;
    default:
        return false;
    }
}

QString text(const QVariant& v)
{
    if (isNull(v))
        return QString();
    if (v.typeId() == QMetaType::Double) {
        double d = v.toDouble();
        return QString::number(d, 'g', 15);
    }
    return v.toString();
}

bool toBool(const QVariant& v)
{
    if (isNull(v))
        return false;
    if (v.typeId() == QMetaType::QString) {
        QString t = v.toString().trimmed();
        if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
            return true;
        bool ok = false;
        double d = t.toDouble(&ok);
        return ok && d != 0;
    }
    return v.toDouble() != 0;
}

namespace {
// A field as a whole number: Null is error 94, text must be numeric, overflow is error 6.
template <typename T, T (*FromText)(const QString&), T (*FromNumber)(double)>
T toWhole(const QVariant& v)
{
    if (isNull(v))
        rt::raise(rt::ErrInvalidUseOfNull);
    if (v.typeId() == QMetaType::QString)
        return FromText(v.toString());
    return FromNumber(v.toDouble());
}
} // namespace

int16_t cint(const QVariant& v) { return toWhole<int16_t, rt::CInt, rt::CInt>(v); }
int32_t clng(const QVariant& v) { return toWhole<int32_t, rt::CLng, rt::CLng>(v); }

QVariant bindable(const QVariant& v)
{
    if (isNull(v))
        return QVariant();
    switch (v.typeId()) {
    case QMetaType::QDate: return rt::isoDate(v.toDate());
    case QMetaType::QTime: return rt::isoTime(v.toTime());
    case QMetaType::QDateTime: return rt::isoDateTime(v.toDateTime());
    case QMetaType::Bool: return qlonglong(v.toBool() ? 1 : 0);
    default: return v;
    }
}

QString engineErrorText(int code, const QString& engineText)
{
    QString what;
    switch (code & 0xff) {
    case SQLITE_FULL: what = rt::errorDescription(rt::ErrDiskFull); break;
    case SQLITE_READONLY: what = QStringLiteral("数据库文件是只读的，不能写入"); break;
    case SQLITE_BUSY:
    case SQLITE_LOCKED: what = QStringLiteral("数据库正被其他程序使用（忙或已锁定），请稍后再试"); break;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB: what = QStringLiteral("数据库文件已损坏"); break;
    case SQLITE_CANTOPEN: what = QStringLiteral("无法打开或建立数据库的文件，文件或文件夹可能是只读的"); break;
    case SQLITE_IOERR: what = QStringLiteral("读写数据库文件时出错"); break;
    default:
        if (engineText.startsWith(QLatin1String("no such table")))
            what = QStringLiteral("数据库中没有所需的表");
        else if (engineText.startsWith(QLatin1String("no such column")) || engineText.contains(QLatin1String("has no column named")))
            what = QStringLiteral("数据库中没有所需的字段");
    }
    return what.isEmpty() ? engineText : what + QStringLiteral("（") + engineText + QStringLiteral("）");
}

namespace {

[[noreturn]] void dbError(const QString& what)
{
    rt::raise(rt::ErrDatabase, QStringLiteral("数据库错误：") + what);
}

[[noreturn]] void notEditing()
{
    dbError(QStringLiteral("没有使用 AddNew 或 Edit 的更新或取消更新"));
}

QString quoteId(const QString& name)
{
    QString q = name;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

int typeFromDecl(const char* decl)
{
    if (!decl || !*decl)
        return -1;
    QString d = QString::fromUtf8(decl).toUpper();
    if (d.contains(QLatin1String("BOOL")))
        return adBoolean;
    if (d.contains(QLatin1String("DATE")) || d.contains(QLatin1String("TIME")))
        return adDate;
    if (d.contains(QLatin1String("INT")))
        return adInteger;
    if (d.contains(QLatin1String("REAL")) || d.contains(QLatin1String("DOUB")) || d.contains(QLatin1String("FLOA")))
        return adDouble;
    if (d.contains(QLatin1String("NUMERIC")) || d.contains(QLatin1String("DECIMAL")))
        return adNumeric;
    return adVarWChar;
}

// One result cell into the row being built, as the engine holds it. The
// cell is read through its value: one call into the engine instead of three.
void addCell(Rows& rows, sqlite3_stmt* st, int i)
{
    sqlite3_value* v = sqlite3_column_value(st, i);
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER: rows.addInteger(sqlite3_value_int64(v)); break;
    case SQLITE_FLOAT: rows.addDouble(sqlite3_value_double(v)); break;
    case SQLITE_TEXT:
        rows.addText(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
        break;
    case SQLITE_BLOB:
        rows.addBlob(static_cast<const char*>(sqlite3_value_blob(v)), sqlite3_value_bytes(v));
        break;
    default: rows.addNull(); break;
    }
}

struct Result {
    QList<Field> fields;
    Rows rows;
    QList<qint64> rowids;   // filled when the first column was the hidden row id
    bool returnsRows = false;
};

} // namespace

// ---------------------------------------------------------------- session

// One open SQLite handle on the file, shared by the copies of a
// Connection/Database and by the recordsets opened through it.
class Session {
public:
    sqlite3* h = nullptr;
    QString path;
    long long changes = 0;
    int depth = 0; // open transactions (beginTrans)

    // Statements run in loops are prepared once: after a run a statement is
    // reset (which releases its locks) and kept here by its text.
    QHash<QByteArray, sqlite3_stmt*> prepared;
    static constexpr int kPreparedLimit = 64;

    ~Session()
    {
        // Finalised first, so that closing really closes the file.
        for (sqlite3_stmt* st : std::as_const(prepared))
            sqlite3_finalize(st);
        if (h)
            sqlite3_close_v2(h);
    }

    void keepPrepared(const QByteArray& sql, sqlite3_stmt* st)
    {
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
        if (prepared.size() >= kPreparedLimit) {
            for (sqlite3_stmt* old : std::as_const(prepared))
                sqlite3_finalize(old);
            prepared.clear();
        }
        prepared.insert(sql, st);
    }

    static std::shared_ptr<Session> open(const QString& path, int timeoutSeconds)
    {
        const QString absolute = QFileInfo(path).absoluteFilePath();
        const QByteArray native = QFile::encodeName(absolute);
        // What is wrong is named: nothing there, a folder, a folder the user
        // may not enter, or no regular file (a FIFO would block the first read).
        struct stat st {};
        if (path.isEmpty() || ::stat(native.constData(), &st) != 0)
            rt::raise(rt::ErrFail, errno == EACCES && !path.isEmpty()
                                       ? QStringLiteral("无权访问数据库文件“%1”：没有进入它所在文件夹的权限。").arg(path)
                                       : QStringLiteral("找不到数据库文件“%1”。").arg(path));
        if (S_ISDIR(st.st_mode))
            rt::raise(rt::ErrFail, QStringLiteral("“%1”是一个文件夹，不是数据库文件。").arg(path));
        if (!S_ISREG(st.st_mode))
            rt::raise(rt::ErrFail, QStringLiteral("“%1”不是普通文件，不能作为数据库文件。").arg(path));
        auto s = std::make_shared<Session>();
        s->path = absolute;
        // Never SQLITE_OPEN_CREATE: a missing file is an error, not a new
        // database. A handle serves the one GUI thread: no lock is taken on
        // each call into the engine.
        int rc = sqlite3_open_v2(native.constData(), &s->h, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc != SQLITE_OK)
            rt::raise(rt::ErrFail, ::access(native.constData(), R_OK) != 0 && errno == EACCES
                                       ? QStringLiteral("无权访问数据库文件“%1”：没有读取它的权限。").arg(path)
                                       : QStringLiteral("无法打开数据库文件“%1”。").arg(path));
        sqlite3_busy_timeout(s->h, timeoutSeconds * 1000);
        sqlite3_extended_result_codes(s->h, 0);
        // Punch tables run to millions of rows: a page cache large enough for
        // their indexes keeps a collection's inserts off the disk.
        sqlite3_exec(s->h, "PRAGMA cache_size=-32768", nullptr, nullptr, nullptr);
        // A file that is no database, or a database without tables, is refused.
        Result r;
        try {
            s->run(QStringLiteral("select count(*) from sqlite_master where type='table'"), {}, &r, false);
        } catch (const rt::Error&) {
            // The operator is told why: a damaged or foreign file, or one
            // that cannot be read now (busy, an I/O error).
            const int code = sqlite3_errcode(s->h);
            const QString why = engineErrorText(code, QString::fromUtf8(sqlite3_errmsg(s->h)));
            if (code == SQLITE_NOTADB || code == SQLITE_CORRUPT)
                rt::raise(rt::ErrFail, QStringLiteral("“%1”不是有效的数据库文件：%2。").arg(path, why));
            rt::raise(rt::ErrFail, QStringLiteral("无法读取数据库文件“%1”：%2。").arg(path, why));
        }
        if (r.rows.empty() || r.rows.value(0, 0).toLongLong() == 0)
            rt::raise(rt::ErrFail, QStringLiteral("“%1”不是有效的数据库文件：其中没有任何数据表。").arg(path));
        return s;
    }

    [[noreturn]] void fail() const
    {
        dbError(engineErrorText(sqlite3_errcode(h), QString::fromUtf8(sqlite3_errmsg(h))));
    }

    // A write that is rolled back at once: it needs the file, the folder
    // (for the journal) and the file system to be writable, whoever runs
    // the program. A file busy with another writer is not taken for
    // read-only.
    bool writable(int timeoutMs)
    {
        if (sqlite3_db_readonly(h, "main") == 1)
            return false;
        sqlite3_busy_timeout(h, 1000);
        int rc = sqlite3_exec(h, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        if (rc == SQLITE_OK) {
            // Page 1 written back unchanged: the journal has to be created.
            long long version = 0;
            sqlite3_exec(
                h, "PRAGMA user_version",
                [](void* out, int, char** values, char**) {
                    *static_cast<long long*>(out) = values[0] ? std::atoll(values[0]) : 0;
                    return 0;
                },
                &version, nullptr);
            const QByteArray same = "PRAGMA user_version=" + QByteArray::number(version);
            rc = sqlite3_exec(h, same.constData(), nullptr, nullptr, nullptr);
            sqlite3_exec(h, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        sqlite3_busy_timeout(h, timeoutMs);
        return rc == SQLITE_OK || rc == SQLITE_BUSY || rc == SQLITE_LOCKED;
    }

    // The result columns of a statement, without running it.
    QList<Field> describe(const QString& sql)
    {
        QByteArray utf8 = sql.toUtf8();
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(h, utf8.constData(), int(utf8.size()), &st, nullptr) != SQLITE_OK)
            fail();
        QList<Field> fields;
        for (int i = 0; st && i < sqlite3_column_count(st); ++i) {
            Field f;
            f.name = QString::fromUtf8(sqlite3_column_name(st, i));
            if (const char* t = sqlite3_column_table_name(st, i))
                f.table = QString::fromUtf8(t);
            if (const char* o = sqlite3_column_origin_name(st, i))
                f.origin = QString::fromUtf8(o);
            fields.append(f);
        }
        sqlite3_finalize(st);
        return fields;
    }

    // Prepares, binds, steps to the end and finalises one statement.
    // withRowid: the first result column is the hidden row id.
    // ids: with no result wanted, collects the first column as row ids.
    // beforeRows: called once the first step succeeded, before a row is kept.
    void run(const QString& sql, const QVariantList& params, Result* out, bool withRowid, QList<qint64>* ids = nullptr,
             const std::function<void()>& beforeRows = {})
    {
        QByteArray utf8 = sql.toUtf8();
        // Taken out of the cache while it runs, put back when the run ends.
        sqlite3_stmt* st = prepared.take(utf8);
        if (!st) {
            const char* tail = nullptr;
            if (sqlite3_prepare_v2(h, utf8.constData(), int(utf8.size()), &st, &tail) != SQLITE_OK)
                fail();
            if (!st)
                dbError(QStringLiteral("空语句"));
            if (tail) {
                QString rest = QString::fromUtf8(tail).trimmed();
                while (rest.startsWith(QLatin1Char(';')))
                    rest = rest.mid(1).trimmed();
                if (!rest.isEmpty()) {
                    sqlite3_finalize(st);
                    dbError(QStringLiteral("一次只能执行一条语句"));
                }
            }
        }
        struct Release {
            Session* s;
            const QByteArray& sql;
            sqlite3_stmt* st;
            ~Release() { s->keepPrepared(sql, st); }
        } release{this, utf8, st};
        const int nParams = sqlite3_bind_parameter_count(st);
        if (nParams != params.size())
            dbError(QStringLiteral("参数个数不符（语句要 %1 个，给了 %2 个）").arg(nParams).arg(params.size()));
        QList<QByteArray> keep; // text must outlive the step loop
        for (int i = 0; i < params.size(); ++i) {
            QVariant v = bindable(params[i]);
            int rc = SQLITE_OK;
            if (isNull(v)) {
                rc = sqlite3_bind_null(st, i + 1);
            } else {
                switch (v.typeId()) {
                case QMetaType::Int: case QMetaType::UInt: case QMetaType::LongLong: case QMetaType::ULongLong:
                case QMetaType::Long: case QMetaType::ULong: case QMetaType::Short: case QMetaType::UShort:
                case QMetaType::Char: case QMetaType::SChar: case QMetaType::UChar:
                    rc = sqlite3_bind_int64(st, i + 1, v.toLongLong());
                    break;
                case QMetaType::Double: case QMetaType::Float:
                    rc = sqlite3_bind_double(st, i + 1, v.toDouble());
                    break;
                case QMetaType::QByteArray:
                    keep.append(v.toByteArray());
                    rc = sqlite3_bind_blob(st, i + 1, keep.last().constData(), int(keep.last().size()), SQLITE_STATIC);
                    break;
                default:
                    keep.append(v.toString().toUtf8());
                    rc = sqlite3_bind_text(st, i + 1, keep.last().constData(), int(keep.last().size()), SQLITE_STATIC);
                    break;
                }
            }
            if (rc != SQLITE_OK)
                fail();
        }
        // Columns are read after the first step: a kept statement whose
        // tables changed is prepared anew by that step.
        int rc = sqlite3_step(st);
        if (beforeRows && (rc == SQLITE_ROW || rc == SQLITE_DONE))
            beforeRows();
        const int nCols = sqlite3_column_count(st);
        const int first = withRowid ? 1 : 0;
        if (out) {
            out->returnsRows = nCols > 0;
            out->fields.clear();
            for (int i = first; i < nCols; ++i) {
                Field f;
                f.name = QString::fromUtf8(sqlite3_column_name(st, i));
                f.type = typeFromDecl(sqlite3_column_decltype(st, i));
                if (const char* t = sqlite3_column_table_name(st, i))
                    f.table = QString::fromUtf8(t);
                if (const char* o = sqlite3_column_origin_name(st, i))
                    f.origin = QString::fromUtf8(o);
                out->fields.append(f);
            }
        }
        for (;; rc = sqlite3_step(st)) {
            if (rc == SQLITE_DONE)
                break;
            if (rc != SQLITE_ROW)
                fail();
            if (!out) {
                if (ids)
                    ids->append(sqlite3_column_int64(st, 0));
                continue;
            }
            out->rows.beginRow();
            for (int i = first; i < nCols; ++i)
                addCell(out->rows, st, i);
            out->rows.endRow();
            if (withRowid)
                out->rowids.append(sqlite3_column_int64(st, 0));
        }
        changes = sqlite3_changes64(h);
        if (out) {
            // Expressions carry no declared type: take it from the values.
            for (int c = 0; c < out->fields.size(); ++c) {
                if (out->fields[c].type != -1)
                    continue;
                int t = adVarWChar;
                for (int row = 0; row < out->rows.size(); ++row) {
                    const Rows::Kind k = out->rows.kind(row, c);
                    if (k == Rows::Kind::Null)
                        continue;
                    if (k == Rows::Kind::Integer)
                        t = adInteger;
                    else if (k == Rows::Kind::Double)
                        t = adDouble;
                    break;
                }
                out->fields[c].type = t;
            }
        }
    }

    // The row ids of the rows of a table that match an SQL condition.
    QSet<qint64> matching(const QString& table, const QString& criteria, const QVariantList& params)
    {
        QList<qint64> ids;
        run(QStringLiteral("select rowid from %1 where (%2)").arg(quoteId(table), criteria), params, nullptr, false, &ids);
        return QSet<qint64>(ids.cbegin(), ids.cend());
    }

    // Inserts a row (adding) or updates the row with the given id, one
    // value per quoted column; returns the id of the row written.
    qint64 write(const QString& table, const QStringList& cols, const QVariantList& vals, bool adding, qint64 rowid)
    {
        if (adding) {
            const QString sql = cols.isEmpty()
                ? QStringLiteral("insert into %1 default values").arg(quoteId(table))
                : QStringLiteral("insert into %1 (%2) values (%3)")
                      .arg(quoteId(table), cols.join(QLatin1Char(',')),
                           QStringList(QList<QString>(cols.size(), QStringLiteral("?"))).join(QLatin1Char(',')));
            run(sql, vals, nullptr, false);
            return sqlite3_last_insert_rowid(h);
        }
        if (!cols.isEmpty()) {
            QStringList sets;
            for (const QString& c : cols)
                sets << c + QStringLiteral("=?");
            run(QStringLiteral("update %1 set %2 where rowid=?").arg(quoteId(table), sets.join(QLatin1Char(','))),
                QVariantList(vals) << rowid, nullptr, false);
        }
        return rowid;
    }

    // The stored name of a table (any letter case); raises 3078 when absent.
    QString resolveTable(const QString& name)
    {
        QString n = name.trimmed();
        if (n.startsWith(QLatin1Char('[')) && n.endsWith(QLatin1Char(']')))
            n = n.mid(1, n.size() - 2);
        Result r;
        run(QStringLiteral("select name from sqlite_master where type in ('table','view') and name=? collate nocase"),
            {n}, &r, false);
        if (r.rows.empty())
            rt::raise(rt::ErrTableNotFound,
                      QStringLiteral("数据库引擎找不到输入表或查询“%1”。确定它是否存在，以及它的名称的拼写是否正确。").arg(n));
        return r.rows.value(0, 0).toString();
    }
};

namespace {
[[noreturn]] void closedError() { rt::raise(rt::ErrObjectClosed); }
[[noreturn]] void noCurrent() { rt::raise(rt::ErrNoCurrentRecord); }
[[noreturn]] void noItem(const QString& name)
{
    rt::raise(rt::ErrItemNotFound, rt::errorDescription(rt::ErrItemNotFound) + QStringLiteral("（%1）").arg(name));
}

int findField(const QList<Field>& fields, const QString& name)
{
    for (int i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}
} // namespace

// ---------------------------------------------------------------- recordset

struct RecordsetData {
    bool open = false;
    QList<Field> fields;
    Rows rows;
    int pos = 0;           // -1 BOF, rows.size() EOF
    bool deleted = false;  // the current row was just deleted
    // Editing (one-table dynasets)
    std::shared_ptr<Session> session;
    QString table;
    QList<qint64> rowids;
    int editMode = 0;      // 0 none, 1 edit, 2 add-new
    QHash<int, QVariant> pending;
    bool noMatch = false;

    int n() const { return int(rows.size()); }
    bool atRow() const { return open && !deleted && pos >= 0 && pos < n(); }
    // As on a table recordset, a move drops a pending AddNew or Edit: it
    // belonged to the row left behind.
    void moveTo(int p)
    {
        pos = p;
        deleted = false;
        editMode = 0;
    }
};

Recordset::Recordset() : d(std::make_shared<RecordsetData>()) {}
bool Recordset::isOpen() const { return d->open; }
void Recordset::close()
{
    d->open = false;
    d->rows.clear();
    d->rowids.clear();
    d->session.reset();
}
int Recordset::recordCount() const { return d->open ? d->n() : 0; }
bool Recordset::eof() const
{
    if (!d->open)
        closedError();
    return d->n() == 0 || d->pos >= d->n();
}
bool Recordset::bof() const
{
    if (!d->open)
        closedError();
    return d->n() == 0 || d->pos < 0;
}
void Recordset::moveFirst()
{
    if (!d->open)
        closedError();
    d->moveTo(0);
}
void Recordset::moveLast()
{
    if (!d->open)
        closedError();
    d->moveTo(d->n() == 0 ? 0 : d->n() - 1);
}
void Recordset::moveNext()
{
    if (d->open && d->deleted) { // the row after the deleted one (or EOF)
        d->moveTo(d->pos);
        return;
    }
    if (eof())
        noCurrent();
    d->moveTo(d->pos + 1);
}
void Recordset::movePrevious()
{
    if (bof())
        noCurrent();
    d->moveTo(d->pos - 1);
}
int Recordset::absolutePosition() const { return d->atRow() ? d->pos : -1; }
void Recordset::setAbsolutePosition(int row)
{
    if (!d->open)
        closedError();
    if (row < 0 || row >= d->n())
        noCurrent();
    d->moveTo(row);
}
int Recordset::fieldCount() const { return int(d->fields.size()); }
const Field& Recordset::fieldInfo(int i) const
{
    if (i < 0 || i >= d->fields.size())
        noItem(QString::number(i));
    return d->fields[i];
}
int Recordset::fieldIndex(const QString& name) const { return findField(d->fields, name); }
QVariant Recordset::value(int i) const
{
    if (!d->open)
        closedError();
    if (i < 0 || i >= d->fields.size())
        noItem(QString::number(i));
    if (d->editMode && d->pending.contains(i))
        return d->pending.value(i);
    if (d->editMode == 2)
        return QVariant();
    if (!d->atRow())
        noCurrent();
    return d->rows.value(d->pos, i);
}
QVariant Recordset::field(const QString& name) const
{
    int i = fieldIndex(name);
    if (i < 0)
        noItem(name);
    return value(i);
}
QVariant Recordset::valueAt(int row, int column) const
{
    if (!d->open || row < 0 || row >= d->n() || column < 0 || column >= d->fields.size())
        return QVariant();
    return d->rows.value(row, column);
}
bool Recordset::updatable() const { return d->open && d->session && !d->table.isEmpty(); }

namespace {
void requireUpdatable(const Recordset& r)
{
    if (!r.isOpen())
        closedError();
    if (!r.updatable())
        dbError(QStringLiteral("记录集不可更新"));
}
} // namespace

namespace {
void findIn(RecordsetData& d, const QString& criteria, const QVariantList& params, int from)
{
    const QSet<qint64> matches = d.session->matching(d.table, criteria, params);
    for (int p = qMax(0, from); p < d.n(); ++p) {
        if (matches.contains(d.rowids[p])) {
            d.moveTo(p);
            d.noMatch = false;
            return;
        }
    }
    d.noMatch = true; // the current row stays as it was
}
} // namespace

void Recordset::findFirst(const QString& criteria, const QVariantList& params)
{
    requireUpdatable(*this);
    findIn(*d, criteria, params, 0);
}
void Recordset::findNext(const QString& criteria, const QVariantList& params)
{
    requireUpdatable(*this);
    findIn(*d, criteria, params, d->deleted ? d->pos : d->pos + 1);
}
bool Recordset::noMatch() const { return d->noMatch; }

void Recordset::addNew()
{
    requireUpdatable(*this);
    d->editMode = 2;
    d->pending.clear();
}
void Recordset::edit()
{
    requireUpdatable(*this);
    if (!d->atRow())
        noCurrent();
    d->editMode = 1;
    d->pending.clear();
}
void Recordset::setField(const QString& name, const QVariant& v)
{
    requireUpdatable(*this);
    int i = fieldIndex(name);
    if (i < 0)
        noItem(name);
    if (!d->editMode)
        notEditing();
    d->pending.insert(i, v);
}
void Recordset::cancelUpdate()
{
    d->editMode = 0;
    d->pending.clear();
}
void Recordset::update()
{
    requireUpdatable(*this);
    if (!d->editMode)
        notEditing();
    QStringList cols;
    QVariantList vals;
    for (auto it = d->pending.cbegin(); it != d->pending.cend(); ++it) {
        cols << quoteId(d->fields[it.key()].origin);
        vals << it.value();
    }
    const bool adding = d->editMode == 2;
    const qint64 rowid = d->session->write(d->table, cols, vals, adding, adding ? 0 : d->rowids[d->pos]);
    // Read the row back as stored (defaults and conversions applied).
    QStringList all;
    for (const Field& f : d->fields)
        all << quoteId(f.origin);
    Result r;
    d->session->run(QStringLiteral("select %1 from %2 where rowid=?").arg(all.join(QLatin1Char(',')), quoteId(d->table)),
                    {rowid}, &r, false);
    if (r.rows.empty())
        r.rows.appendNulls(int(d->fields.size()));
    if (d->editMode == 2) {
        bool atEnd = d->pos >= d->n();
        d->rows.append(r.rows, 0);
        d->rowids.append(rowid);
        if (atEnd)
            d->pos = d->n();
    } else {
        d->rows.replace(d->pos, r.rows, 0);
    }
    d->editMode = 0;
    d->pending.clear();
}
void Recordset::remove()
{
    requireUpdatable(*this);
    if (!d->atRow())
        noCurrent();
    d->session->run(QStringLiteral("delete from %1 where rowid=?").arg(quoteId(d->table)), {d->rowids[d->pos]}, nullptr, false);
    d->rows.removeAt(d->pos);
    d->rowids.removeAt(d->pos);
    d->deleted = true;
    d->editMode = 0;
}

// ---------------------------------------------------------------- table recordset

struct TableData {
    std::shared_ptr<Session> s;
    QString table;
    QList<Field> fields;
    QString indexName;
    QStringList indexCols;
    QList<qint64> order;
    bool orderValid = false;
    enum State { Empty, Bof, Row, Eof, Deleted } state = Empty;
    int pos = -1;           // index into order when known
    qint64 rowid = 0;
    QList<QVariant> values;
    bool noMatch = false;
    int editMode = 0;
    QHash<int, QVariant> pending;

    QString orderBy(bool descending = false) const
    {
        QStringList parts;
        for (const QString& c : indexCols)
            parts << quoteId(c);
        parts << QStringLiteral("rowid");
        if (descending)
            for (QString& p : parts)
                p += QStringLiteral(" desc");
        return parts.join(QLatin1Char(','));
    }
    void loadOrder()
    {
        order.clear();
        s->run(QStringLiteral("select rowid from %1 order by %2").arg(quoteId(table), orderBy()), {}, nullptr, false, &order);
        orderValid = true;
        pos = state == Row ? int(order.indexOf(rowid)) : -1;
    }
    // The moves: toEnd, goTo and goToRow. Each drops a pending AddNew or Edit,
    // which belonged to the row left behind.
    // The first (or last) row, read afresh; the order is learnt again when a
    // move needs it, so rows written by other handles come into view.
    void toEnd(bool last)
    {
        editMode = 0;
        QList<qint64> id;
        s->run(QStringLiteral("select rowid from %1 order by %2 limit 1").arg(quoteId(table), orderBy(last)), {}, nullptr,
               false, &id);
        orderValid = false;
        pos = -1;
        if (id.isEmpty()) {
            state = Empty;
            return;
        }
        fetch(id[0]);
    }
    void ensurePos()
    {
        if (!orderValid)
            loadOrder();
        if (state == Row && (pos < 0 || pos >= order.size() || order[pos] != rowid))
            pos = int(order.indexOf(rowid));
    }
    void fetch(qint64 id)
    {
        Result r;
        s->run(QStringLiteral("select * from %1 where rowid=?").arg(quoteId(table)), {id}, &r, false);
        if (r.rows.empty()) { // gone under our feet
            state = Eof;
            return;
        }
        rowid = id;
        values = r.rows.row(0);
        state = Row;
    }
    void goTo(int p)
    {
        editMode = 0;
        if (order.isEmpty()) {
            state = Empty;
            pos = -1;
            return;
        }
        if (p < 0) {
            state = Bof;
            pos = -1;
            return;
        }
        if (p >= order.size()) {
            state = Eof;
            pos = int(order.size());
            return;
        }
        pos = p;
        fetch(order[p]);
    }
    // A row found by key or condition; its place in the order is learnt when
    // a move needs it.
    void goToRow(qint64 id)
    {
        editMode = 0;
        fetch(id);
        pos = -1;
    }
    void requireOpen() const
    {
        if (!s)
            closedError();
    }
};

TableRecordset::TableRecordset() : d(std::make_shared<TableData>()) {}
bool TableRecordset::isOpen() const { return bool(d->s); }
void TableRecordset::close()
{
    d->s.reset();
    d->order.clear();
    d->values.clear();
}
QString TableRecordset::tableName() const { return d->table; }

void TableRecordset::setIndex(const QString& name)
{
    d->requireOpen();
    Result list;
    d->s->run(QStringLiteral("select name, origin from pragma_index_list(?)"), {d->table}, &list, false);
    // Indexes are stored as "<table>.<name>"; "PrimaryKey" also names the table's primary key.
    QString found;
    const QString wanted = d->table + QLatin1Char('.') + name.trimmed();
    for (int row = 0; row < list.rows.size(); ++row)
        if (list.rows.value(row, 0).toString().compare(wanted, Qt::CaseInsensitive) == 0)
            found = list.rows.value(row, 0).toString();
    if (found.isEmpty() && name.trimmed().compare(QLatin1String("PrimaryKey"), Qt::CaseInsensitive) == 0)
        for (int row = 0; row < list.rows.size(); ++row)
            if (list.rows.value(row, 1).toString() == QLatin1String("pk"))
                found = list.rows.value(row, 0).toString();
    if (found.isEmpty())
        noItem(name);
    Result cols;
    d->s->run(QStringLiteral("select name from pragma_index_info(?) order by seqno"), {found}, &cols, false);
    d->indexName = name;
    d->indexCols.clear();
    for (int row = 0; row < cols.rows.size(); ++row)
        d->indexCols << cols.rows.value(row, 0).toString();
    d->toEnd(false); // DAO: the first row in the new order becomes current
}
QString TableRecordset::index() const { return d->indexName; }

void TableRecordset::seek(const QString& op, const QVariantList& keys)
{
    d->requireOpen();
    if (d->indexCols.isEmpty())
        dbError(QStringLiteral("没有设置索引"));
    const QString o = op.trimmed();
    static const QStringList ops = {QStringLiteral("="), QStringLiteral(">="), QStringLiteral(">"),
                                    QStringLiteral("<="), QStringLiteral("<")};
    if (!ops.contains(o))
        rt::raise(rt::ErrInvalidCall);
    int k = int(qMin(keys.size(), d->indexCols.size()));
    if (k == 0)
        rt::raise(rt::ErrInvalidCall);
    QStringList cols, marks;
    for (int i = 0; i < k; ++i) {
        cols << quoteId(d->indexCols[i]);
        marks << QStringLiteral("?");
    }
    QString where;
    if (o == QLatin1String("=")) {
        QStringList eq;
        for (const QString& c : cols)
            eq << c + QStringLiteral("=?");
        where = eq.join(QStringLiteral(" and "));
    } else {
        where = QStringLiteral("(%1) %2 (%3)").arg(cols.join(QLatin1Char(',')), o, marks.join(QLatin1Char(',')));
    }
    const QString orderBy = d->orderBy(o.startsWith(QLatin1Char('<')));
    Result r;
    d->s->run(QStringLiteral("select rowid from %1 where %2 order by %3 limit 1").arg(quoteId(d->table), where, orderBy),
              keys.mid(0, k), &r, false);
    if (r.rows.empty()) {
        d->noMatch = true;
        d->editMode = 0;
        d->state = TableData::Eof;
        d->pos = -1;
        return;
    }
    d->noMatch = false;
    d->goToRow(r.rows.value(0, 0).toLongLong());
}
bool TableRecordset::noMatch() const { return d->noMatch; }

void TableRecordset::findFirst(const QString& criteria, const QVariantList& params)
{
    d->requireOpen();
    Result r;
    d->s->run(QStringLiteral("select rowid from %1 where (%2) order by %3 limit 1").arg(quoteId(d->table), criteria, d->orderBy()),
              params, &r, false);
    d->noMatch = r.rows.empty();
    if (!d->noMatch)
        d->goToRow(r.rows.value(0, 0).toLongLong());
}
void TableRecordset::findNext(const QString& criteria, const QVariantList& params)
{
    d->requireOpen();
    d->ensurePos();
    const QSet<qint64> matches = d->s->matching(d->table, criteria, params);
    int start = d->state == TableData::Row ? d->pos + 1 : d->state == TableData::Deleted ? d->pos : 0;
    for (int p = qMax(0, start); p < d->order.size(); ++p) {
        if (matches.contains(d->order[p])) {
            d->noMatch = false;
            d->goTo(p);
            return;
        }
    }
    d->noMatch = true;
}

int TableRecordset::recordCount() const
{
    d->requireOpen();
    Result r;
    d->s->run(QStringLiteral("select count(*) from %1").arg(quoteId(d->table)), {}, &r, false);
    return r.rows.empty() ? 0 : int(r.rows.value(0, 0).toLongLong());
}
bool TableRecordset::eof() const
{
    d->requireOpen();
    return d->state == TableData::Empty || d->state == TableData::Eof;
}
bool TableRecordset::bof() const
{
    d->requireOpen();
    return d->state == TableData::Empty || d->state == TableData::Bof;
}
void TableRecordset::moveFirst()
{
    d->requireOpen();
    d->toEnd(false);
}
void TableRecordset::moveLast()
{
    d->requireOpen();
    d->toEnd(true);
}
void TableRecordset::moveNext()
{
    d->requireOpen();
    if (eof())
        noCurrent();
    d->ensurePos();
    if (d->state == TableData::Bof)
        d->goTo(0);
    else if (d->state == TableData::Deleted)
        d->goTo(d->pos);
    else
        d->goTo(d->pos < 0 ? int(d->order.size()) : d->pos + 1);
}
void TableRecordset::movePrevious()
{
    d->requireOpen();
    if (bof())
        noCurrent();
    d->ensurePos();
    if (d->state == TableData::Eof && d->pos < 0)
        d->goTo(int(d->order.size()) - 1);
    else
        d->goTo(d->pos - 1);
}

int TableRecordset::fieldCount() const { return int(d->fields.size()); }
const Field& TableRecordset::fieldInfo(int i) const
{
    if (i < 0 || i >= d->fields.size())
        noItem(QString::number(i));
    return d->fields[i];
}
int TableRecordset::fieldIndex(const QString& name) const { return findField(d->fields, name); }
QVariant TableRecordset::value(int i) const
{
    d->requireOpen();
    if (i < 0 || i >= d->fields.size())
        noItem(QString::number(i));
    if (d->editMode && d->pending.contains(i))
        return d->pending.value(i);
    if (d->editMode == 2)
        return QVariant();
    if (d->state != TableData::Row)
        noCurrent();
    return d->values.value(i);
}
QVariant TableRecordset::field(const QString& name) const
{
    int i = fieldIndex(name);
    if (i < 0)
        noItem(name);
    return value(i);
}

void TableRecordset::addNew()
{
    d->requireOpen();
    d->editMode = 2;
    d->pending.clear();
}
void TableRecordset::edit()
{
    d->requireOpen();
    if (d->state != TableData::Row)
        noCurrent();
    d->editMode = 1;
    d->pending.clear();
}
void TableRecordset::setField(const QString& name, const QVariant& v)
{
    d->requireOpen();
    int i = fieldIndex(name);
    if (i < 0)
        noItem(name);
    if (!d->editMode)
        notEditing();
    d->pending.insert(i, v);
}
void TableRecordset::cancelUpdate()
{
    d->editMode = 0;
    d->pending.clear();
}
void TableRecordset::update()
{
    d->requireOpen();
    if (!d->editMode)
        notEditing();
    QStringList cols;
    QVariantList vals;
    bool keyTouched = false;
    for (auto it = d->pending.cbegin(); it != d->pending.cend(); ++it) {
        const QString& name = d->fields[it.key()].name;
        cols << quoteId(name);
        vals << it.value();
        for (const QString& c : d->indexCols)
            if (c.compare(name, Qt::CaseInsensitive) == 0)
                keyTouched = true;
    }
    if (d->editMode == 2) {
        d->s->write(d->table, cols, vals, true, 0);
        // The current row stays the one before AddNew; the order learns the new row on the next move.
        d->orderValid = false;
        if (d->state == TableData::Empty)
            d->state = TableData::Eof;
    } else if (!cols.isEmpty()) {
        d->s->write(d->table, cols, vals, false, d->rowid);
        d->fetch(d->rowid);
        if (keyTouched)
            d->orderValid = false;
    }
    d->editMode = 0;
    d->pending.clear();
}
void TableRecordset::remove()
{
    d->requireOpen();
    if (d->state != TableData::Row)
        noCurrent();
    d->ensurePos();
    d->s->run(QStringLiteral("delete from %1 where rowid=?").arg(quoteId(d->table)), {d->rowid}, nullptr, false);
    if (d->pos >= 0 && d->pos < d->order.size())
        d->order.removeAt(d->pos);
    d->state = d->order.isEmpty() ? TableData::Empty : TableData::Deleted;
    d->editMode = 0;
}

// ---------------------------------------------------------------- connection

const QString Connection::kProvider = QStringLiteral("SQLite");

Connection::Connection() = default;

QString Connection::connectionString() const
{
    if (s_)
        return QStringLiteral("Provider=%1;Data Source=%2").arg(provider_, s_->path);
    return connectionString_;
}

void Connection::setCommandTimeout(int s)
{
    commandTimeout_ = s;
    if (s_)
        sqlite3_busy_timeout(s_->h, s * 1000);
}

namespace {
QString dataSourceOf(const QString& cs, const QString& key)
{
    for (const QString& part : cs.split(QLatin1Char(';'))) {
        int eq = part.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        if (part.left(eq).trimmed().compare(key, Qt::CaseInsensitive) == 0)
            return part.mid(eq + 1).trimmed();
    }
    return QString();
}
} // namespace

void Connection::open()
{
    if (provider_.trimmed().compare(kProvider, Qt::CaseInsensitive) != 0)
        rt::raise(rt::ErrProviderNotFound);
    s_ = Session::open(dataSourceOf(connectionString_, QStringLiteral("Data Source")), commandTimeout_);
}

void Connection::close() { s_.reset(); }

bool Connection::canWrite()
{
    if (!s_)
        closedError();
    return s_->writable(commandTimeout_ * 1000);
}
bool Connection::isOpen() const { return bool(s_); }
QString Connection::databasePath() const { return s_ ? s_->path : QString(); }

Recordset Connection::execute(const QString& sql, const QVariantList& params, long long* recordsAffected,
                              const std::function<void()>& beforeRows)
{
    if (!s_)
        closedError();
    // Held for the whole run: beforeRows may close this connection while
    // the statement still steps on its session.
    const std::shared_ptr<Session> s = s_;
    Result r;
    s->run(sql, params, &r, false, nullptr, beforeRows);
    if (recordsAffected)
        *recordsAffected = s->changes;
    Recordset rs;
    if (r.returnsRows) {
        rs.d->open = true;
        rs.d->fields = r.fields;
        rs.d->rows = std::move(r.rows);
        rs.d->pos = 0;
    }
    return rs;
}

// ---------------------------------------------------------------- database

Database::Database() = default;

Database Database::open(const QString& path)
{
    Database db;
    db.s_ = Session::open(path, 60);
    return db;
}

Database Database::openConnect(const QString& connect)
{
    return open(dataSourceOf(connect, QStringLiteral("database")));
}

bool Database::isOpen() const { return bool(s_); }
void Database::close() { s_.reset(); }
QString Database::name() const { return s_ ? s_->path : QString(); }

void Database::execute(const QString& sql, const QVariantList& params)
{
    if (!s_)
        closedError();
    s_->run(sql, params, nullptr, false);
}
long long Database::recordsAffected() const { return s_ ? s_->changes : 0; }

Recordset Database::openRecordset(const QString& sqlOrTable, const QVariantList& params)
{
    if (!s_)
        closedError();
    QString sql = sqlOrTable.trimmed();
    if (!sql.contains(QLatin1Char(' ')) && !sql.contains(QLatin1Char('\t')))
        sql = QStringLiteral("select * from ") + quoteId(s_->resolveTable(sql));

    Recordset rs;
    rs.d->open = true;
    rs.d->pos = 0;
    // A plain select of one table is read together with its row ids so
    // that its rows can be edited; anything else is read-only.
    static const QRegularExpression plainSelect(QStringLiteral("^select\\s+(?!distinct\\b)"),
                                                QRegularExpression::CaseInsensitiveOption);
    auto m = plainSelect.match(sql);
    if (m.hasMatch()) {
        const QString withRowid = sql.left(m.capturedEnd()) + QStringLiteral("rowid, ") + sql.mid(m.capturedEnd());
        QString table;
        try {
            const QList<Field> cols = s_->describe(withRowid);
            for (const Field& f : cols.mid(1)) {
                if (f.table.isEmpty() || f.origin.isEmpty() || (!table.isEmpty() && f.table != table)) {
                    table.clear();
                    break;
                }
                table = f.table;
            }
            if (!cols.isEmpty() && cols[0].table != table)
                table.clear();
        } catch (const rt::Error&) {
            table.clear(); // no row id to be had: read-only
        }
        if (!table.isEmpty()) {
            Result r;
            s_->run(withRowid, params, &r, true);
            rs.d->fields = r.fields;
            rs.d->rows = std::move(r.rows);
            rs.d->rowids = std::move(r.rowids);
            rs.d->session = s_;
            rs.d->table = table;
            return rs;
        }
    }
    Result r;
    s_->run(sql, params, &r, false);
    rs.d->fields = r.fields;
    rs.d->rows = std::move(r.rows);
    return rs;
}

TableRecordset Database::openTable(const QString& table)
{
    if (!s_)
        closedError();
    TableRecordset t;
    t.d->s = s_;
    t.d->table = s_->resolveTable(table);
    Result r;
    s_->run(QStringLiteral("select * from %1 limit 0").arg(quoteId(t.d->table)), {}, &r, false);
    t.d->fields = r.fields;
    t.d->toEnd(false);
    return t;
}

void Database::beginTrans()
{
    execute(QStringLiteral("begin"));
    ++s_->depth;
}
void Database::commitTrans()
{
    execute(QStringLiteral("commit"));
    if (s_->depth > 0)
        --s_->depth;
}
void Database::rollback()
{
    execute(QStringLiteral("rollback"));
    if (s_->depth > 0)
        --s_->depth;
}
void Database::setTimeout(int seconds)
{
    if (s_)
        sqlite3_busy_timeout(s_->h, seconds * 1000);
}

void Database::setTriggersEnabled(bool on)
{
    if (!s_)
        closedError();
    // Statements prepared before are expired by the change and prepared
    // again, with or without their triggers, when they next run.
    if (sqlite3_db_config(s_->h, SQLITE_DBCONFIG_ENABLE_TRIGGER, on ? 1 : 0, nullptr) != SQLITE_OK)
        s_->fail();
}

} // namespace db
