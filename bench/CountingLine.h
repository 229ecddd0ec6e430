#pragma once
// A simulated line that counts the characters it carries in each direction
// and the address characters among them (one a command), for the benchmarks
// that measure a run against the line's own time.
#include "Line.h"

#include "serial/SerialPort.h"

#include <cstdint>
#include <vector>

namespace bench {

class CountingLine : public serial::LineEndpoint {
public:
    explicit CountingLine(sim::Line& line) : line_(line) {}
    void fromPort(const std::vector<serial::LineByte>& bytes, int64_t nowMs) override
    {
        up += int64_t(bytes.size());
        for (const serial::LineByte& b : bytes)
            addresses += b.ninth;
        line_.fromPort(bytes, nowMs);
    }
    std::vector<serial::LineByte> toPort(int64_t nowMs) override
    {
        auto out = line_.toPort(nowMs);
        down += int64_t(out.size());
        return out;
    }
    int64_t nextToPortAt() const override { return line_.nextToPortAt(); }
    int64_t up = 0, down = 0, addresses = 0;

private:
    sim::Line& line_;
};

} // namespace bench
