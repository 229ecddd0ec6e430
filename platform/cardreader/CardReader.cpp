#include "CardReader.h"
#include "PcscReader.h"

namespace cardreader {

namespace {
Backend*& installed()
{
    static Backend* b = nullptr;
    return b;
}
} // namespace

void setBackend(Backend* b) { installed() = b; }

Backend& backend()
{
    if (installed())
        return *installed();
    static PcscReader pcsc;
    return pcsc;
}

int rf_init(int port, long baud) { return backend().init(port, baud); }
int rf_exit(int handle) { return backend().exit(handle); }
int rf_load_key(int handle, int mode, int sector, const unsigned char key[6]) { return backend().loadKey(handle, mode, sector, key); }
int rf_card(int handle, int mode, uint32_t* serial) { return backend().card(handle, mode, serial); }
int rf_beep(int handle, int ms) { return backend().beep(handle, ms); }
int rf_reset(int handle, int ms) { return backend().reset(handle, ms); }

} // namespace cardreader
