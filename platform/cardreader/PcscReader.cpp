#include "PcscReader.h"

#include "ini/Ini.h"
#include "ui/ProgramFolder.h"

#include <QApplication>
#include <QByteArray>
#include <QStringList>

#ifdef HAVE_PCSCLITE
#include <PCSC/winscard.h>
#include <PCSC/wintypes.h>
#endif

namespace cardreader {

namespace {
constexpr int kFailed = 1;
constexpr int kNoCard = 2;

QString settingsFile() { return ui::programFolder() + QStringLiteral("CardReader.ini"); }
} // namespace

#ifdef HAVE_PCSCLITE

struct PcscReader::Session {
    SCARDCONTEXT context = 0;
    QByteArray reader;
    SCARDHANDLE card = 0;
    bool connected = false;
    DWORD protocol = 0;
    QByteArray pendingKey;   // loaded when a card arrives

    ~Session()
    {
        if (connected)
            SCardDisconnect(card, SCARD_LEAVE_CARD);
        if (context)
            SCardReleaseContext(context);
    }

    bool connect()
    {
        if (connected)
            return true;
        const LONG rv = SCardConnect(context, reader.constData(), SCARD_SHARE_SHARED,
                                     SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &card, &protocol);
        connected = rv == SCARD_S_SUCCESS;
        return connected;
    }

    // The reply without its status word; false unless the status is 90 00.
    bool transmit(const QByteArray& apdu, QByteArray* data)
    {
        const SCARD_IO_REQUEST* pci = protocol == SCARD_PROTOCOL_T1 ? SCARD_PCI_T1 : SCARD_PCI_T0;
        unsigned char buf[258];
        DWORD len = sizeof buf;
        const LONG rv = SCardTransmit(card, pci, reinterpret_cast<const unsigned char*>(apdu.constData()),
                                      DWORD(apdu.size()), nullptr, buf, &len);
        if (rv != SCARD_S_SUCCESS || len < 2 || buf[len - 2] != 0x90 || buf[len - 1] != 0x00)
            return false;
        if (data)
            *data = QByteArray(reinterpret_cast<const char*>(buf), int(len - 2));
        return true;
    }

    bool loadKey(const QByteArray& key)
    {
        // LOAD KEYS into the reader's volatile key slot 0.
        QByteArray apdu = QByteArray::fromHex("FF82000006");
        apdu += key;
        return transmit(apdu, nullptr);
    }
};

PcscReader::PcscReader() = default;
PcscReader::~PcscReader() = default;

PcscReader::Session* PcscReader::find(int handle)
{
    auto it = sessions_.find(handle);
    return it == sessions_.end() ? nullptr : it->second.get();
}

int PcscReader::init(int port, long)
{
    auto s = std::make_unique<Session>();
    if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &s->context) != SCARD_S_SUCCESS) {
        s->context = 0;
        return -1;
    }
    DWORD size = 0;
    if (SCardListReaders(s->context, nullptr, nullptr, &size) != SCARD_S_SUCCESS || size < 2)
        return -1;
    QByteArray all(int(size), '\0');
    if (SCardListReaders(s->context, nullptr, all.data(), &size) != SCARD_S_SUCCESS)
        return -1;
    QList<QByteArray> names;
    for (const QByteArray& n : all.split('\0'))
        if (!n.isEmpty())
            names << n;
    const QString wanted = ini::readString(settingsFile(), QStringLiteral("Reader"), QStringLiteral("Port%1").arg(port + 1));
    if (!wanted.isEmpty()) {
        for (const QByteArray& n : names)
            if (QString::fromUtf8(n) == wanted)
                s->reader = n;
    } else if (port >= 0 && port < names.size()) {
        s->reader = names[port];
    }
    if (s->reader.isEmpty())
        return -1;
    const int h = next_++;
    sessions_[h] = std::move(s);
    return h;
}

int PcscReader::exit(int handle)
{
    return sessions_.erase(handle) ? 0 : kFailed;
}

int PcscReader::loadKey(int handle, int, int, const unsigned char key[6])
{
    Session* s = find(handle);
    if (!s)
        return kFailed;
    const QByteArray k(reinterpret_cast<const char*>(key), 6);
    if (!s->connect()) {
        // No card yet: the key goes to the reader with the next card.
        s->pendingKey = k;
        return 0;
    }
    return s->loadKey(k) ? 0 : kFailed;
}

int PcscReader::card(int handle, int, uint32_t* serial)
{
    *serial = 0;
    Session* s = find(handle);
    if (!s)
        return kFailed;
    if (!s->connect())
        return kNoCard;
    if (!s->pendingKey.isEmpty()) {
        if (!s->loadKey(s->pendingKey))
            return kFailed;
        s->pendingKey.clear();
    }
    QByteArray uid;
    if (!s->transmit(QByteArray::fromHex("FFCA000000"), &uid) || uid.size() < 4) {
        // A card taken away since: the next read connects afresh.
        SCardDisconnect(s->card, SCARD_LEAVE_CARD);
        s->connected = false;
        return kNoCard;
    }
    const bool msbFirst = ini::readString(settingsFile(), QStringLiteral("Reader"), QStringLiteral("SerialOrder"))
                              .compare(QStringLiteral("MSB"), Qt::CaseInsensitive) == 0;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        const uint32_t b = uint8_t(uid[i]);
        v |= msbFirst ? b << (8 * (3 - i)) : b << (8 * i);
    }
    *serial = v;
    return 0;
}

int PcscReader::reset(int handle, int)
{
    Session* s = find(handle);
    if (!s)
        return kFailed;
    if (s->connected)
        SCardDisconnect(s->card, SCARD_RESET_CARD);
    s->connected = false;
    return 0;
}

#else // no pcsc-lite at build time: no reader

struct PcscReader::Session {};
PcscReader::PcscReader() = default;
PcscReader::~PcscReader() = default;
PcscReader::Session* PcscReader::find(int) { return nullptr; }
int PcscReader::init(int, long) { return -1; }
int PcscReader::exit(int) { return kFailed; }
int PcscReader::loadKey(int, int, int, const unsigned char*) { return kFailed; }
int PcscReader::card(int, int, uint32_t* serial)
{
    *serial = 0;
    return kNoCard;
}
int PcscReader::reset(int, int) { return kFailed; }

#endif

int PcscReader::beep(int handle, int)
{
    // Readers on PC/SC offer no standard beep: the desktop's.
    if (!find(handle))
        return kFailed;
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::beep();
    return 0;
}

} // namespace cardreader
