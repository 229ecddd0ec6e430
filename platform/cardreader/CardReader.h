#pragma once
// The desktop contactless card reader, as the card window calls it:
// handles and statuses are integers, status 0 is success.
//
//     int h = cardreader::rf_init(0, 115200);        // port 1; below 0: no reader
//     cardreader::rf_load_key(h, 0, 1, key);         // 6 key bytes for sector 1
//     uint32_t serial = 0;
//     if (cardreader::rf_card(h, 1, &serial) == 0) ...
//     cardreader::rf_reset(h, 10); cardreader::rf_exit(h);
//
// The calls go to the backend in force: PC/SC (pcsc-lite) unless a test
// installed another one (SimulatedReader).
#include <cstdint>

namespace cardreader {

int rf_init(int port, long baud);
int rf_exit(int handle);
int rf_load_key(int handle, int mode, int sector, const unsigned char key[6]);
int rf_card(int handle, int mode, uint32_t* serial);
int rf_beep(int handle, int ms);
int rf_reset(int handle, int ms);

class Backend {
public:
    virtual ~Backend() = default;
    virtual int init(int port, long baud) = 0;
    virtual int exit(int handle) = 0;
    virtual int loadKey(int handle, int mode, int sector, const unsigned char key[6]) = 0;
    virtual int card(int handle, int mode, uint32_t* serial) = 0;
    virtual int beep(int handle, int ms) = 0;
    virtual int reset(int handle, int ms) = 0;
};

// Installs a backend (not owned); nullptr restores PC/SC.
void setBackend(Backend* b);
Backend& backend();

} // namespace cardreader
