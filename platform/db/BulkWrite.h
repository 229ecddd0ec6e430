#pragma once
// This program's own bulk writes: the initialisation's and the cleanup's
// deletes, the print table's rebuild.
//
// Table dataPTstamp holds a stamp that a row trigger on data, people and
// dataPT moves on for every row any program writes; the punch query keeps
// the print table dataPT while the stamp is the one its last rebuild left.
// A delete of a million punches would run that trigger a million times and
// lose SQLite's clearing of a whole table at once. While a BulkWrite lives,
// its handle fires no trigger (every other handle, another program's too,
// keeps firing them), and each transaction() moves the stamp on once
// itself, in the same transaction as its writes, so that no program takes
// a print table built before for current. A file without the stamp table
// works as well. The handle's triggers and secure_delete setting come back
// however the BulkWrite ends.
//
//     db::BulkWrite bulk(mdl::DaoDatabase);
//     bulk.transaction([&] { mdl::DaoDatabase.execute("delete from data"); });
#include "db/Db.h"

#include <functional>

namespace db {

class BulkWrite {
public:
    // What becomes of pages the writes free. AsSet keeps the handle's
    // secure_delete (deleted rows are zeroed on the disk when it is on);
    // NotZeroed is only for rows that are copies of rows kept elsewhere,
    // where zeroing would double the writing for nothing.
    enum class FreedPages { AsSet, NotZeroed };

    // Raises what the handle raises (3704 when it is closed); nothing is
    // left changed then.
    explicit BulkWrite(Database& d, FreedPages freed = FreedPages::AsSet);
    ~BulkWrite();
    BulkWrite(const BulkWrite&) = delete;
    BulkWrite& operator=(const BulkWrite&) = delete;

    // Runs writes in one transaction of the handle, the stamp moved on at
    // its start. When writes or the commit fail, the transaction is rolled
    // back and the error passed on.
    void transaction(const std::function<void()>& writes);

private:
    void restoreSecureDelete();

    Database& d_;
    int secureDelete_ = -1;   // the handle's setting, -1 when left alone
};

} // namespace db
