#pragma once
// The reader over PC/SC (pcsc-lite's daemon pcscd). Port N (rf_init's port
// N-1) takes reader N of the daemon's reader list, unless "CardReader.ini"
// in the program folder names one:
//
//     [Reader]
//     Port1=ACS ACR122U PICC Interface 00 00
//     SerialOrder=MSB        ; first byte of GET DATA is the most significant
//
// The serial number is the card's UID from GET DATA (FF CA 00 00 00), the
// first byte the least significant unless SerialOrder is MSB, so that a site
// can make the desktop reader agree with its controllers.
#include "CardReader.h"

#include <QString>
#include <map>
#include <memory>

namespace cardreader {

class PcscReader : public Backend {
public:
    PcscReader();
    ~PcscReader() override;

    int init(int port, long baud) override;
    int exit(int handle) override;
    int loadKey(int handle, int mode, int sector, const unsigned char key[6]) override;
    int card(int handle, int mode, uint32_t* serial) override;
    int beep(int handle, int ms) override;
    int reset(int handle, int ms) override;

    struct Session;

private:
    Session* find(int handle);
    std::map<int, std::unique_ptr<Session>> sessions_;
    int next_ = 1;
};

} // namespace cardreader
