#include "Module2.h"

#include "Globals.h"
#include "ini/Ini.h"
#include "runtime/RuntimeError.h"
#include "ui/ProgramFolder.h"
#include "ui/Ui.h"

#include <QDir>
#include <QFileInfo>

namespace Module2 {

namespace {
const char* const kRequiredTables[] = {"system", "user",  "Dict_Pub", "department", "people",
                                       "doors",  "dfaka", "dtuika",   "data",       "datakq"};

void openAdo(const QString& provider, const QString& path)
{
    db::Connection& c = mdl::AdoConnection;
    if (c.isOpen())
        c.close();
    c.setProvider(provider);
    c.setConnectionString(QStringLiteral("Data Source=") + path);
    c.setCursorLocation(3);
    c.setCommandTimeout(180);
    c.open();
    // Another program's database opens as well: it is refused before
    // anything reads or writes its tables.
    QStringList held;
    for (db::Recordset rs = c.execute(QStringLiteral("select name from sqlite_master where type='table'")); !rs.eof();
         rs.moveNext())
        held << rs.text(QStringLiteral("name"));
    if (const QStringList missing = MissingTables(held); !missing.isEmpty()) {
        c.close();
        rt::raise(rt::ErrFail, QStringLiteral("“%1”不是本系统的数据库文件：其中没有数据表 %2。")
                                   .arg(path, missing.join(QStringLiteral("、"))));
    }
}
} // namespace

QStringList MissingTables(const QStringList& tablesHeld)
{
    QStringList missing;
    for (const char* t : kRequiredTables)
        if (!tablesHeld.contains(QLatin1String(t), Qt::CaseInsensitive))
            missing << QLatin1String(t);
    return missing;
}

QString ReadIni(const QString& section, const QString& key, const QString& file)
{
    QString v = ini::readString(file, section, key, QString(), 1000);
    v.remove(QChar(0));
    return v.trimmed();
}

void WriteIni(const QString& section, const QString& key, const QString& value, const QString& file)
{
    ini::writeString(file, section, key, value);
}

QString ConfigFilePath() { return ui::programFolder() + kConfigFile; }

bool OpenDatabaseConnection()
{
    const QString file = ConfigFilePath();
    QString provider, path, why;
    try {
        if (ReadIni(QStringLiteral("InitSystem"), QStringLiteral("First"), file) != QLatin1String("NO")) {
            WriteIni(QStringLiteral("InitSystem"), QStringLiteral("First"), QStringLiteral("NO"), file);
            WriteIni(QStringLiteral("DataSource"), QStringLiteral("DataBase"), QStringLiteral("Access"), file);
            WriteIni(QStringLiteral("Access"), QStringLiteral("DataBasePath"), ui::programFolder() + kDatabaseFile, file);
        }
        if (ReadIni(QStringLiteral("DataSource"), QStringLiteral("DataBase"), file) != QLatin1String("Access")) {
            ui::msgBox(QStringLiteral("Sorry.系统暂时仅支持Microsoft Access数据库！"), ui::mb::OKOnly);
            return false;
        }
        provider = ReadIni(QStringLiteral("Access"), QStringLiteral("Provider"), file);
        path = ReadIni(QStringLiteral("Access"), QStringLiteral("DataBasePath"), file);
        mdl::DaoConnect = QStringLiteral(";database=") + path;
        openAdo(provider, path);
        mdl::DatabasePathInUse = mdl::AdoConnection.databasePath();
        return true;
    } catch (const rt::Error& e) {
        if (e.number() != rt::ErrFail)
            return false;
        why = e.description();
    }
    // The configured file could not be opened: the program folder's own
    // database. Both shared handles then name the file that was opened.
    const QString fallback = ui::programFolder() + kDatabaseFile;
    openAdo(provider, fallback); // a failure here reaches the caller
    mdl::DaoConnect = QStringLiteral(";database=") + fallback;
    mdl::DatabasePathInUse = mdl::AdoConnection.databasePath();
    // From here on everything is stored in another file than the one set up:
    // the operator hears of it before anything is written.
    if (!path.isEmpty() && QDir::cleanPath(QFileInfo(path).absoluteFilePath()) !=
                               QDir::cleanPath(mdl::DatabasePathInUse))
        ui::msgBox(QStringLiteral("设置的数据库文件不能打开：%1\n现改用程序文件夹中的数据库文件“%2”，此后的数据都存入这个文件。"
                                  "请检查“%3”中的数据库路径（DataBasePath）！")
                       .arg(why, QDir::toNativeSeparators(mdl::DatabasePathInUse), kConfigFile),
                   ui::mb::OKOnly | ui::mb::Exclamation);
    return true;
}

QString GetDatabasePath()
{
    if (!mdl::DatabasePathInUse.isEmpty())
        return mdl::DatabasePathInUse;
    QString path;
    const QString file = ConfigFilePath();
    if (ReadIni(QStringLiteral("DataSource"), QStringLiteral("DataBase"), file) == QLatin1String("Access"))
        path = ReadIni(QStringLiteral("Access"), QStringLiteral("DataBasePath"), file);
    if (path.isEmpty())
        return ui::programFolder() + kDatabaseFile;
    return path;
}

} // namespace Module2
