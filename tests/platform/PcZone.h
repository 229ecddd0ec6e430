#pragma once
// The PC's time zone for as long as the object lives: this program's, and
// that of the programs it starts.
#include <QByteArray>
#include <QtGlobal>

#include <ctime>

class PcZone {
public:
    explicit PcZone(const char* zone) : had_(qEnvironmentVariableIsSet("TZ")), old_(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~PcZone()
    {
        if (had_)
            qputenv("TZ", old_);
        else
            qunsetenv("TZ");
        tzset();
    }
    PcZone(const PcZone&) = delete;
    PcZone& operator=(const PcZone&) = delete;

private:
    bool had_;
    QByteArray old_;
};
