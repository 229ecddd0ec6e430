#include "DesktopReader.h"

#include "Globals.h"
#include "cardreader/CardReader.h"

#include <QByteArray>

namespace Module1 {

int16_t ReaderStatus = 0;

bool OpenCardReader(int16_t port, int32_t baud, const QString& key, int16_t firstSector)
{
    // A reader left open under the opening handle is closed first.
    mdl::ReaderHandle = 100;
    ReaderStatus = int16_t(cardreader::rf_exit(mdl::ReaderHandle));
    mdl::ReaderHandle = cardreader::rf_init(port - 1, baud);
    if (mdl::ReaderHandle < 0)
        return false;
    const QByteArray bytes = QByteArray::fromHex(key.toLatin1());
    if (bytes.size() != 6)
        return false;
    const auto* k = reinterpret_cast<const unsigned char*>(bytes.constData());
    int status = 0;
    for (int s = firstSector; s <= firstSector + 3; ++s) {
        status = cardreader::rf_load_key(mdl::ReaderHandle, 0, s, k);
        ReaderStatus = int16_t(status);
    }
    return status == 0;
}

bool ReadCardSerial(QString& number)
{
    uint32_t serial = 0;
    ReaderStatus = int16_t(cardreader::rf_card(mdl::ReaderHandle, 1, &serial));
    if (serial == 0) {
        number = QStringLiteral("0");
        return false;
    }
    // Punch records carry the low 24 bits only: so does the card box.
    number = QStringLiteral("%1").arg(serial & 0xFFFFFFu, 10, 10, QLatin1Char('0'));
    return true;
}

void CloseCardReader()
{
    if (mdl::ReaderHandle > 0) {
        ReaderStatus = int16_t(cardreader::rf_reset(mdl::ReaderHandle, 10));
        ReaderStatus = int16_t(cardreader::rf_exit(mdl::ReaderHandle));
        mdl::ReaderHandle = -1;
    }
}

} // namespace Module1
