#include "SimulatedReader.h"

#include <QByteArray>

namespace cardreader {

namespace {
constexpr int kHandle = 7;
}

SimulatedReader::SimulatedReader() { setBackend(this); }
SimulatedReader::~SimulatedReader() { setBackend(nullptr); }

int SimulatedReader::init(int port, long baud)
{
    calls << QStringLiteral("rf_init(%1, %2)").arg(port).arg(baud);
    if (initFails)
        return -1;
    open_ = kHandle;
    return open_;
}

int SimulatedReader::exit(int handle)
{
    calls << QStringLiteral("rf_exit(%1)").arg(handle);
    if (handle != open_ || open_ < 0)
        return 1;
    open_ = -1;
    return 0;
}

int SimulatedReader::loadKey(int handle, int mode, int sector, const unsigned char key[6])
{
    calls << QStringLiteral("rf_load_key(%1, %2, %3, %4)")
                 .arg(handle)
                 .arg(mode)
                 .arg(sector)
                 .arg(QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(key), 6).toHex().toUpper()));
    return handle == open_ && !keyFails ? 0 : 1;
}

int SimulatedReader::card(int handle, int mode, uint32_t* out)
{
    calls << QStringLiteral("rf_card(%1, %2)").arg(handle).arg(mode);
    *out = 0;
    if (handle != open_ || !serial)
        return 1;
    *out = *serial;
    return 0;
}

int SimulatedReader::beep(int handle, int ms)
{
    calls << QStringLiteral("rf_beep(%1, %2)").arg(handle).arg(ms);
    return handle == open_ ? 0 : 1;
}

int SimulatedReader::reset(int handle, int ms)
{
    calls << QStringLiteral("rf_reset(%1, %2)").arg(handle).arg(ms);
    return handle == open_ ? 0 : 1;
}

} // namespace cardreader
