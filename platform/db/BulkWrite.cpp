#include "BulkWrite.h"

#include "runtime/RuntimeError.h"

namespace db {

BulkWrite::BulkWrite(Database& d, FreedPages freed)
    : d_(d)
{
    if (freed == FreedPages::NotZeroed) {
        const int was = d.openRecordset(QStringLiteral("pragma secure_delete")).value(0).toInt();
        d.execute(QStringLiteral("pragma secure_delete=fast"));
        secureDelete_ = was;
    }
    try {
        d.setTriggersEnabled(false);
    } catch (...) {
        restoreSecureDelete();
        throw;
    }
}

BulkWrite::~BulkWrite()
{
    try {
        d_.setTriggersEnabled(true);
    } catch (const rt::Error&) {
    }
    restoreSecureDelete();
}

void BulkWrite::restoreSecureDelete()
{
    if (secureDelete_ < 0)
        return;
    try {
        d_.execute(secureDelete_ == 0   ? QStringLiteral("pragma secure_delete=0")
                   : secureDelete_ == 1 ? QStringLiteral("pragma secure_delete=1")
                                        : QStringLiteral("pragma secure_delete=fast"));
    } catch (const rt::Error&) {
    }
}

void BulkWrite::transaction(const std::function<void()>& writes)
{
    d_.beginTrans();
    try {
        // Only a missing table is passed over: a stamp that could not be
        // moved on must undo the writes, or a stale print table would pass.
        const bool stamped = d_.openRecordset(QStringLiteral("select count(*) from sqlite_master "
                                                             "where type='table' and name='dataPTstamp' collate nocase"))
                                 .value(0)
                                 .toInt()
                             > 0;
        if (stamped)
            d_.execute(QStringLiteral("update dataPTstamp set stamp=stamp+1"));
        writes();
        d_.commitTrans();
    } catch (...) {
        try {
            d_.rollback();
        } catch (const rt::Error&) {
        }
        throw;
    }
}

} // namespace db
