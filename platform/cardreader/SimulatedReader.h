#pragma once
// A reader for tests: a card with a settable serial number (or none), an
// init or key failure on demand, and every call recorded.
#include "CardReader.h"

#include <QStringList>
#include <optional>

namespace cardreader {

class SimulatedReader : public Backend {
public:
    // Installs itself for its lifetime.
    SimulatedReader();
    ~SimulatedReader() override;

    std::optional<uint32_t> serial;   // the card on the reader; none: no card
    bool initFails = false;
    bool keyFails = false;
    QStringList calls;                // "rf_init(0, 115200)", ...
    int openHandle() const { return open_; }

    int init(int port, long baud) override;
    int exit(int handle) override;
    int loadKey(int handle, int mode, int sector, const unsigned char key[6]) override;
    int card(int handle, int mode, uint32_t* serial) override;
    int beep(int handle, int ms) override;
    int reset(int handle, int ms) override;

private:
    int open_ = -1;
};

} // namespace cardreader
