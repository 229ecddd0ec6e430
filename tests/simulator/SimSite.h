#pragma once
// A test site: scripted clock, a simulated line registered in process, a
// serialports.conf that maps port 1 to it, and a port like the library's.
#include "Line.h"
#include "serial/SerialPort.h"
#include "ui/ScriptedUi.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>

struct SimSite {
    ui::ScriptedUi ui;
    QTemporaryDir dir;
    sim::Line line;
    std::unique_ptr<serial::SerialPort> port;

    SimSite()
    {
        static std::atomic<int> serial{0};
        const QString name = QStringLiteral("site%1").arg(++serial);
        line.registerAs(name);
        sim::mapPort(dir.path(), 1, QStringLiteral("inproc:") + name);
        port = serial::createSerialPort(dir.path());
        port->setCommPort(1);
    }

    static QByteArray withCheck(uint8_t address, QByteArray frame)
    {
        uint8_t x = address;
        for (char c : frame)
            x ^= uint8_t(c);
        frame.append(char(x));
        return frame;
    }

    // One exchange the way the library runs it: the address byte under
    // "19200,n,8,2", the frame (check byte added) under "19200,s,8,1", then
    // up to timeoutMs for n reply bytes. Returns what came, at most n bytes.
    QByteArray exchange(uint8_t address, const QByteArray& frame, int n, int timeoutMs = 3000)
    {
        port->clearInput();
        port->clearOutput();
        port->setSettings(QStringLiteral("19200,n,8,2"));
        if (!port->portOpen())
            port->setPortOpen(true);
        port->output(QByteArray(1, char(address)));
        port->drainOutput();
        ui::sleepMs(1);
        port->setSettings(QStringLiteral("19200,s,8,1"));
        port->output(withCheck(address, frame));
        const int64_t start = ui::monotonicMs();
        while (port->inBufferCount() < n) {
            const int64_t left = timeoutMs - (ui::monotonicMs() - start);
            if (left <= 0)
                break;
            port->waitForInput(int(std::min<int64_t>(left, 50)));
        }
        port->setInputLen(n);
        return port->input();
    }
};

inline QByteArray hexBytes(const char* hex) { return QByteArray::fromHex(hex); }

// XOR of bytes from .. to-1, worked out here rather than by the simulator.
inline uint8_t xorRange(const QByteArray& b, int from, int to)
{
    uint8_t x = 0;
    for (int i = from; i < to; ++i)
        x ^= uint8_t(b[i]);
    return x;
}
