#pragma once
// A simulated controller line: the controllers on it, what reaches them from
// the port and the replies on their way back, each character timed.
#include "Controller.h"

#include <QJsonObject>
#include <QString>

#include <deque>
#include <map>
#include <memory>

namespace sim {

class Line : public serial::LineEndpoint {
public:
    Line() = default;
    ~Line() override; // leaves the in-process registry
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    // A controller at address (the one there already, if any).
    Controller& add(uint8_t address, int capacity = 1000);
    Controller* controller(int address);
    void remove(int address);
    std::vector<Controller*> controllers();

    // Characters at 19200 baud, 11 bits each, instead of all at once.
    void setLineSpeed(bool real) { lineSpeed_ = real; }
    bool lineSpeed() const { return lineSpeed_; }

    // Reachable as the port "inproc:NAME" (serialports.conf "N=inproc:NAME").
    void registerAs(const QString& name);

    // Every character the port sent, in order.
    const std::vector<serial::LineByte>& sent() const { return sent_; }
    void clearLog();
    // Replies still on their way back.
    bool replyPending() const { return !out_.empty(); }
    void dropPending() { out_.clear(); }

    // Called after every change of the state kept in the state file.
    std::function<void()> onChange;

    QJsonObject toJson() const;
    // The first bad field (the line then holds no controller), else empty.
    QString fromJson(const QJsonObject& o);
    // Atomically; false, and the system's reason in why, when it cannot be written.
    bool save(const QString& path, QString* why = nullptr) const;
    // False, and why not in why, when the file cannot be read or holds a bad field.
    bool load(const QString& path, QString* why = nullptr);

    void fromPort(const std::vector<serial::LineByte>& bytes, int64_t nowMs) override;
    std::vector<serial::LineByte> toPort(int64_t nowMs) override;
    int64_t nextToPortAt() const override;

private:
    struct Timed {
        serial::LineByte byte;
        int64_t atNs;
    };
    void schedule(const Reply& r, int64_t startNs);
    Controller& adopt(std::unique_ptr<Controller> c);

    std::map<int, std::unique_ptr<Controller>> controllers_;
    std::deque<Timed> out_;
    std::vector<serial::LineByte> sent_;
    bool lineSpeed_ = false;
    int64_t inFreeNs_ = 0;  // when the line towards the controllers is free
    int64_t outFreeNs_ = 0; // when the line towards the port is free
    QString name_;
};

// Points port number in "serialports.conf" of configDir at target
// ("inproc:NAME", "sim:/path/socket" or a device), keeping the other lines.
bool mapPort(const QString& configDir, int number, const QString& target);

} // namespace sim
