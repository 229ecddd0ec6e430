#include "ModDemo.h"

#include "ini/Ini.h"
#include "runtime/Gbk.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>

namespace ModDemo {

namespace {
QString& folderStore()
{
    static QString f;
    return f;
}

// The buffer the values are read into holds 2000 bytes, one of them the end mark.
constexpr int kValueBytes = 1999;

QString resolve(const QString& file)
{
    return file.isEmpty() ? programFile(QStringLiteral("Public.Sys")) : file;
}

QSettings userSettings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("VUZazu"));
}
} // namespace

QString programFolder()
{
    if (folderStore().isEmpty() && QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    return folderStore();
}

void setProgramFolder(const QString& folder) { folderStore() = folder; }

QString programFile(const QString& name) { return QDir(programFolder()).filePath(name); }

QString GetIniValue(const QString& section, const QString& key, const QString& file)
{
    // Read without a limit of the layer's own, then cut by bytes as the
    // fixed buffer would, keeping whole characters.
    QString v = ini::readString(resolve(file), section, key, QString(), 1 << 20);
    // The value ends at its first NUL, as in the fixed buffer.
    const qsizetype nul = v.indexOf(QChar(0));
    if (nul >= 0)
        v.truncate(nul);
    if (v.isEmpty())
        return QString();
    return rt::fromGbk(rt::toGbkLimited(v, kValueBytes));
}

void SetIniValue(const QString& section, const QString& key, const QString& value, const QString& file)
{
    ini::writeString(resolve(file), section, key, value);
}

QString GetSetting(const QString& section, const QString& key, const QString& defaultValue)
{
    QSettings s = userSettings();
    return s.value(section + QLatin1Char('/') + key, defaultValue).toString();
}

void SaveSetting(const QString& section, const QString& key, const QString& value)
{
    QSettings s = userSettings();
    s.setValue(section + QLatin1Char('/') + key, value);
    s.sync();
}

} // namespace ModDemo
