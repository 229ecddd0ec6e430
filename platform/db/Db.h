#pragma once
// Access to the management database "door.mdb", an SQLite file.
//
// Two kinds of handle reach the file, as the windows expect them:
//   db::Connection  - ADO-like: execute() runs a statement and returns a
//                     read-only recordset held on the client (record count
//                     exact, fields by name, EOF/BOF, moves), bindable to a
//                     grid through db::RecordsetModel.
//   db::Database    - DAO-like: execute(), openRecordset(sql) (a dynaset,
//                     updatable when it reads one table), openTable(name)
//                     (a table recordset with index seek, find first, moves,
//                     add-new / edit / update / delete).
// Several handles may be open on one file at a time. Every statement is
// stepped to its end and finalised before a call returns, so no handle keeps
// a lock while a window waits for the operator; a busy file is waited for up
// to the handle's time-out.
//
// Conventions of the stored data (binding for every table):
//   * Every value reaches SQL as a bound parameter ("?"), never by
//     concatenation, so a name with an apostrophe is just a name:
//         conn.execute("select * from people where 卡号=?", {number});
//   * Dates are text "yyyy-mm-dd", times of day "hh:mm:ss" (24 h), date with
//     time "yyyy-mm-dd hh:mm:ss"; they sort and compare as text. Binding a
//     QDate, QTime or QDateTime writes exactly that form.
//   * Yes/No columns hold 0 or 1; any non-zero value reads as True (toBool).
//   * Null is an invalid QVariant (isNull(v)); text() turns it into "".
//   * Table and column names keep their Chinese spelling; SQLite matches
//     them without regard to letter case, so "DFaka" and "dfaka" are one
//     table. Text keys compared without regard to case are COLLATE NOCASE.
//   * Jet forms are written in SQLite's dialect: CLng(x) -> CAST(x AS
//     INTEGER), Format(d,'yyyy-mm-dd') -> substr(d,1,10), TOP n -> LIMIT n,
//     & -> ||, "delete * from t" -> "delete from t", true/false -> 1/0.
//
// In a window:
//     db::Recordset rs = mdl::AdoConnection.execute(
//         "select * from dfaka where 地址=? and 卡号=?", {address, number});
//     for (; !rs.eof(); rs.moveNext()) list->addItem(rs.text("姓名"));
//
//     db::TableRecordset t = mdl::DaoDatabase.openTable("datakq");
//     t.setIndex("Primarykey");
//     t.seek("=", {number, QDate(2026, 1, 5)});
//     if (t.noMatch()) t.addNew(); else t.edit();
//     t.setField("迟到", 5);
//     t.update();
//
//     auto* model = new db::RecordsetModel(grid);          // a grid's data
//     model->setRecordset(mdl::AdoConnection.execute("select * from people"));
//     grid->setModel(model);
//
// Failures raise rt::Error: 3021 no current record, 3265 no such field,
// 3078 no such table, 3704 handle closed, 3000 any other database error
// (description carries the engine's text), E_FAIL when a file cannot be
// opened.
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <cstdint>
#include <functional>
#include <memory>

namespace db {

// Field type codes as the grids and the Excel export know them.
enum FieldType : int {
    adSmallInt = 2,
    adInteger = 3,
    adDouble = 5,
    adCurrency = 6,
    adDate = 7,
    adBoolean = 11,
    adDecimal = 14,
    adBigInt = 20,
    adNumeric = 131,
    adVarWChar = 202,
};
// True for the codes whose values are numbers (3, 5, 6, 14, 20, 131).
bool isNumberType(int type);

// Value helpers.
inline bool isNull(const QVariant& v) { return !v.isValid() || v.isNull(); }
QString text(const QVariant& v);     // Null -> "", numbers without trailing zeros
bool toBool(const QVariant& v);      // Null -> false, non-zero -> true
// A Yes/No column read in SQL by the same rule, 1 or 0, to compare with a
// bound bool: "SELECT ... WHERE " + yesNo("密码标志") + "=?", {true}. Older
// data holds -1 for True.
inline QString yesNo(const QString& column) { return QStringLiteral("(IFNULL(%1,0)<>0)").arg(column); }
// A field's value as a 16/32-bit integer, rounded half to even: Null raises
// 94 (invalid use of Null), out of range 6, text that is no number 13.
int16_t cint(const QVariant& v);
int32_t clng(const QVariant& v);
// The engine's message of a failed statement for the operator: the common
// failures (disk full, read-only, busy or locked, damaged file, missing
// table or column) described in Chinese, the engine's text kept after it in
// brackets; other messages unchanged. code: the engine's result code.
QString engineErrorText(int code, const QString& engineText);
// The value as it is bound: QDate/QTime/QDateTime become their ISO text,
// bool 0/1, everything else unchanged.
QVariant bindable(const QVariant& v);

struct Field {
    QString name;     // as the result names it
    int type = adVarWChar;
    QString table;    // base table, empty for an expression
    QString origin;   // column of the base table, empty for an expression
};

class Session;
struct RecordsetData;
struct TableData;

// A recordset held on the client: every row was read when it was opened.
// Copies share one recordset (and its current row), as object references do.
class Recordset {
public:
    Recordset();
    bool isOpen() const;
    void close();

    int recordCount() const;           // exact; 0 when closed
    bool eof() const;
    bool bof() const;
    void moveFirst();
    void moveLast();
    void moveNext();                   // 3021 at EOF
    void movePrevious();               // 3021 at BOF
    int absolutePosition() const;      // 0-based row, -1 at BOF/EOF
    void setAbsolutePosition(int row);

    int fieldCount() const;
    const Field& fieldInfo(int i) const;
    int fieldIndex(const QString& name) const;   // -1 when absent (any letter case)
    QVariant value(int i) const;
    QVariant field(const QString& name) const;   // 3265 unknown, 3021 no current row
    QString text(const QString& name) const { return db::text(field(name)); }
    QVariant valueAt(int row, int column) const; // for grids; no move

    // Dynasets of one table: the first / next row matching an SQL condition
    // with bound parameters, findFirst("name=?", {"串口号"}); sets noMatch().
    void findFirst(const QString& criteria, const QVariantList& params = {});
    void findNext(const QString& criteria, const QVariantList& params = {});
    bool noMatch() const;

    // Editing (dynasets of one table opened through db::Database only).
    bool updatable() const;
    void addNew();
    void edit();
    void setField(const QString& name, const QVariant& v);
    void update();
    void cancelUpdate();
    void remove();                     // Delete

private:
    friend class Session;
    friend class Connection;
    friend class Database;
    std::shared_ptr<RecordsetData> d;
};

// A DAO table-type recordset. It follows the table itself: rows written by
// other handles are seen from the next moveFirst, moveLast, seek or find.
// Each update is committed on its own (a disk sync each); runs of many
// writes go between Database::beginTrans and commitTrans.
class TableRecordset {
public:
    TableRecordset();
    bool isOpen() const;
    void close();
    QString tableName() const;

    // Selects an index by name ("PrimaryKey", "sysname" ...); rows are then
    // visited in its order. An unknown name raises 3265.
    void setIndex(const QString& name);
    QString index() const;
    // Seeks with "=", ">=", ">", "<=" or "<" and one value per index column
    // (fewer values match a prefix). Sets noMatch().
    void seek(const QString& op, const QVariantList& keys);
    bool noMatch() const;
    // Finds the first / next row (in the current order) matching an SQL
    // condition with bound parameters: findFirst("name=?", {"串口号"}).
    void findFirst(const QString& criteria, const QVariantList& params = {});
    void findNext(const QString& criteria, const QVariantList& params = {});

    int recordCount() const;
    bool eof() const;
    bool bof() const;
    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();

    int fieldCount() const;
    const Field& fieldInfo(int i) const;
    int fieldIndex(const QString& name) const;
    QVariant value(int i) const;
    QVariant field(const QString& name) const;
    QString text(const QString& name) const { return db::text(field(name)); }

    void addNew();
    void edit();
    void setField(const QString& name, const QVariant& v);
    void update();
    void cancelUpdate();
    void remove();

private:
    friend class Database;
    std::shared_ptr<TableData> d;
};

// The ADO-like connection.
class Connection {
public:
    // The provider name that "Public.Sys" must give for this engine.
    static const QString kProvider;   // "SQLite"

    Connection();
    // As the ADO properties; they take effect at open().
    void setProvider(const QString& p) { provider_ = p; }
    QString provider() const { return provider_; }
    // "Data Source=<path>" (other "name=value;" parts are ignored).
    void setConnectionString(const QString& s) { connectionString_ = s; }
    // Once open: "Provider=SQLite;Data Source=<path>".
    QString connectionString() const;
    void setCursorLocation(int c) { cursorLocation_ = c; }
    int cursorLocation() const { return cursorLocation_; }
    // Seconds a statement waits for a busy file.
    void setCommandTimeout(int s);
    int commandTimeout() const { return commandTimeout_; }

    // Raises 3706 for an empty or unknown provider, E_FAIL when the file is
    // missing or is no database. Never creates a file.
    void open();
    void close();
    bool isOpen() const;
    QString databasePath() const;
    // False when the file cannot be written: the file, its folder or the
    // file system is read-only (tried with a write that is rolled back).
    bool canWrite();

    // A statement; a recordset for a row-returning one (closed otherwise).
    // beforeRows is called once the statement has taken its first step and
    // before its first row is kept: the moment to let go of an older result,
    // which a statement that fails from the start then leaves alone.
    Recordset execute(const QString& sql, const QVariantList& params = {}, long long* recordsAffected = nullptr,
                      const std::function<void()>& beforeRows = {});

private:
    QString provider_;
    QString connectionString_;
    int cursorLocation_ = 3;
    int commandTimeout_ = 30;
    std::shared_ptr<Session> s_;
};

// The DAO-like database. Copies share one handle.
class Database {
public:
    Database();
    // Opens the file (E_FAIL when missing or not a database).
    static Database open(const QString& path);
    // Opens from a DAO connect string ";database=<path>".
    static Database openConnect(const QString& connect);

    bool isOpen() const;
    void close();
    QString name() const;   // the file's path

    void execute(const QString& sql, const QVariantList& params = {});
    long long recordsAffected() const;
    // A dynaset on an SQL text or a bare table name; updatable when it
    // reads the columns of one table (no DISTINCT, join or aggregate).
    Recordset openRecordset(const QString& sqlOrTable, const QVariantList& params = {});
    TableRecordset openTable(const QString& table);

    void beginTrans();
    void commitTrans();
    void rollback();

    // Seconds a statement waits for a busy file.
    void setTimeout(int seconds);

    // While off, this handle's own statements fire no trigger (every other
    // handle keeps firing them): for a writer that accounts for its changes
    // itself and must not pay a trigger per row. Raises 3704 when closed.
    void setTriggersEnabled(bool on);

private:
    std::shared_ptr<Session> s_;
};

} // namespace db
