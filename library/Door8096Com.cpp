// The late-bound face of the controller object: class Door8096 with the
// members of interface _Door8096 in their order, each forwarding to
// Door8096Core, and the library's registration entry points.
#include "Door8096.h"

#include "com/ComServer.h"

#include <QFileInfo>

namespace {

using com::Args;
using com::Variant;
using com::VType;
using com::arg;
using com::optArg;
using com::optRefArg;
using com::refArg;

const char kLibraryAnchor = 0;

// The folder of this library file: "DoorSystem.ini" and the port mapping live there.
QString libraryFolder()
{
    return QFileInfo(com::libraryPathOf(&kLibraryAnchor)).absolutePath();
}

class Door8096 : public com::DispatchObject {
public:
    Door8096() : core_(libraryFolder())
    {
        vantrel::Door8096Core& d = core_;
        const Param addr = arg(QStringLiteral("varAddr"), VType::Integer);

        addProperty(QStringLiteral("AllRecordSum"), VType::Long, [&d] { return Variant(d.AllRecordSum); },
                    [&d](const Variant& v) { d.AllRecordSum = v.toLong(); });
        addProperty(QStringLiteral("Ver"), VType::String, [&d] { return Variant(d.Ver); },
                    [&d](const Variant& v) { d.Ver = v.toString(); });

        addMethod(QStringLiteral("GatherRecordSum"), {addr},
                  [&d](Args& a) { return Variant(d.GatherRecordSum(a[0].toInteger())); });
        addMethod(QStringLiteral("GatherSendCardSum"), {addr},
                  [&d](Args& a) { return Variant(d.GatherSendCardSum(a[0].toInteger())); });
        addMethod(QStringLiteral("SetPort"), {arg(QStringLiteral("PortNum"), VType::Integer)},
                  [&d](Args& a) { return Variant(d.SetPort(a[0].toInteger())); });
        addMethod(QStringLiteral("ClearRecord"), {addr},
                  [&d](Args& a) { return Variant(d.ClearRecord(a[0].toInteger())); });
        addMethod(QStringLiteral("ClearNameList"), {addr},
                  [&d](Args& a) { return Variant(d.ClearNameList(a[0].toInteger())); });
        addMethod(QStringLiteral("CardSendToMachine"),
                  {addr, arg(QStringLiteral("strEmpID"), VType::String), arg(QStringLiteral("strPhyCardNum"), VType::String),
                   arg(QStringLiteral("intLockCtr1"), VType::Integer), arg(QStringLiteral("intLockCtr2"), VType::Integer),
                   arg(QStringLiteral("IsWeek"), VType::Integer), arg(QStringLiteral("IsEndDate"), VType::Integer),
                   arg(QStringLiteral("IsTime"), VType::Integer), arg(QStringLiteral("strWeekValue"), VType::String),
                   arg(QStringLiteral("strEndDateValue"), VType::String), arg(QStringLiteral("strTimeValue1"), VType::String),
                   arg(QStringLiteral("strTimeValue2"), VType::String)},
                  [&d](Args& a) {
                      return Variant(d.CardSendToMachine(a[0].toInteger(), a[1].toString(), a[2].toString(),
                                                         a[3].toInteger(), a[4].toInteger(), a[5].toInteger(),
                                                         a[6].toInteger(), a[7].toInteger(), a[8].toString(),
                                                         a[9].toString(), a[10].toString(), a[11].toString()));
                  });
        addMethod(QStringLiteral("ClearName"), {addr, arg(QStringLiteral("strPhyCardNum"), VType::String)},
                  [&d](Args& a) { return Variant(d.ClearName(a[0].toInteger(), a[1].toString())); });
        addMethod(QStringLiteral("FindCard"),
                  {addr, arg(QStringLiteral("strPhyNum"), VType::String), refArg(QStringLiteral("strSendCard"), VType::String),
                   optArg(QStringLiteral("intSleep"), VType::Integer, int16_t(2))},
                  [&d](Args& a) {
                      QString line;
                      const bool ok = d.FindCard(a[0].toInteger(), a[1].toString(), line, a[3].toInteger());
                      a[2] = line;
                      return Variant(ok);
                  });
        addMethod(QStringLiteral("ReadCardNum"), {addr, optRefArg(QStringLiteral("AllStr"), VType::String, QString())},
                  [&d](Args& a) {
                      QString all;
                      const QString card = d.ReadCardNum(a[0].toInteger(), &all);
                      a[1] = all;
                      return Variant(card);
                  });
        addMethod(QStringLiteral("DestoryPort"), {}, [&d](Args&) { return Variant(d.DestoryPort()); });
        addMethod(QStringLiteral("ShowAbout"), {}, [&d](Args&) {
            d.ShowAbout();
            return Variant();
        });
        addMethod(QStringLiteral("GatherData"),
                  {addr, arg(QStringLiteral("VarFilePath"), VType::String), arg(QStringLiteral("VarFileName"), VType::String),
                   refArg(QStringLiteral("VarDescription"), VType::String), refArg(QStringLiteral("BackRecordSum"), VType::Long),
                   optArg(QStringLiteral("SleepDate"), VType::Long, int32_t(2)),
                   optArg(QStringLiteral("phStrCardFlg"), VType::Boolean, true),
                   optArg(QStringLiteral("IsFullYear"), VType::Boolean, false),
                   optRefArg(QStringLiteral("intGatherRecordCount"), VType::Long, int32_t(-1)),
                   optArg(QStringLiteral("interval"), VType::Long, int32_t(100))},
                  [&d](Args& a) {
                      QString description = a[3].toString();
                      int32_t back = a[4].toLong();
                      int32_t count = a[8].toLong();
                      const bool ok = d.GatherData(a[0].toInteger(), a[1].toString(), a[2].toString(), description, back,
                                                   a[5].toLong(), a[6].toBool(), a[7].toBool(), &count, a[9].toLong());
                      a[3] = description;
                      a[4] = back;
                      a[8] = count;
                      return Variant(ok);
                  });
        addMethod(QStringLiteral("GatherSendCardData"),
                  {addr, arg(QStringLiteral("VarFilePath"), VType::String), arg(QStringLiteral("VarFileName"), VType::String),
                   refArg(QStringLiteral("VarDescription"), VType::String), refArg(QStringLiteral("BackRecordSum"), VType::Long),
                   optArg(QStringLiteral("SleepDate"), VType::Long, int32_t(5)),
                   optArg(QStringLiteral("phStrCardFlg"), VType::Boolean, true),
                   optArg(QStringLiteral("interval"), VType::Long, int32_t(100))},
                  [&d](Args& a) {
                      QString description = a[3].toString();
                      int32_t back = a[4].toLong();
                      const bool ok = d.GatherSendCardData(a[0].toInteger(), a[1].toString(), a[2].toString(), description,
                                                           back, a[5].toLong(), a[6].toBool(), a[7].toLong());
                      a[3] = description;
                      a[4] = back;
                      return Variant(ok);
                  });
        addMethod(QStringLiteral("SetTimeGroup"),
                  {addr, arg(QStringLiteral("intTotal"), VType::Integer), arg(QStringLiteral("intOrder"), VType::Integer),
                   arg(QStringLiteral("strTime"), VType::String),
                   optArg(QStringLiteral("intCardOrPassword"), VType::Integer, int16_t(0))},
                  [&d](Args& a) {
                      return Variant(d.SetTimeGroup(a[0].toInteger(), a[1].toInteger(), a[2].toInteger(), a[3].toString(),
                                                    a[4].toInteger()));
                  });
        addMethod(QStringLiteral("GetTimeGroup"),
                  {addr, refArg(QStringLiteral("strTime"), VType::String),
                   optRefArg(QStringLiteral("strCardOrPassword"), VType::String, QStringLiteral("Null"))},
                  [&d](Args& a) {
                      QString list = a[1].toString();
                      QString modes = a[2].toString();
                      const bool ok = d.GetTimeGroup(a[0].toInteger(), list, &modes);
                      a[1] = list;
                      a[2] = modes;
                      return Variant(ok);
                  });
        addMethod(QStringLiteral("ModifyDateTime"),
                  {addr, arg(QStringLiteral("strDate"), VType::String), arg(QStringLiteral("strTime"), VType::String),
                   arg(QStringLiteral("intWeek"), VType::Integer)},
                  [&d](Args& a) {
                      return Variant(d.ModifyDateTime(a[0].toInteger(), a[1].toString(), a[2].toString(), a[3].toInteger()));
                  });
        addMethod(QStringLiteral("SetLockDelayTime"),
                  {addr, arg(QStringLiteral("Secon1"), VType::Integer), arg(QStringLiteral("Secon2"), VType::Integer),
                   arg(QStringLiteral("Secon3"), VType::Integer)},
                  [&d](Args& a) {
                      return Variant(
                          d.SetLockDelayTime(a[0].toInteger(), a[1].toInteger(), a[2].toInteger(), a[3].toInteger()));
                  });
        addMethod(QStringLiteral("OpenLock"), {addr, arg(QStringLiteral("intLockNo"), VType::Integer)},
                  [&d](Args& a) { return Variant(d.OpenLock(a[0].toInteger(), a[1].toInteger())); });
        addReader(QStringLiteral("getLockStatus"), QStringLiteral("strStatus"), &vantrel::Door8096Core::getLockStatus);
        addReader(QStringLiteral("getDateTimeDelay"), QStringLiteral("strResult"), &vantrel::Door8096Core::getDateTimeDelay);
        addReader(QStringLiteral("getCardLockStatus"), QStringLiteral("strStatus"),
                  &vantrel::Door8096Core::getCardLockStatus);
        addReader(QStringLiteral("GetMachVer"), QStringLiteral("strMachVer"), &vantrel::Door8096Core::GetMachVer);
    }

private:
    using Param = com::Param;
    using Reader = bool (vantrel::Door8096Core::*)(int16_t, QString&);

    // A status reader: address in, result text by reference.
    void addReader(const QString& name, const QString& outName, Reader reader)
    {
        addMethod(name, {arg(QStringLiteral("varAddr"), VType::Integer), refArg(outName, VType::String)},
                  [this, reader](Args& a) {
                      QString text = a[1].toString();
                      const bool ok = (core_.*reader)(a[0].toInteger(), text);
                      a[1] = text;
                      return Variant(ok);
                  });
    }

    vantrel::Door8096Core core_;
};

} // namespace

COM_EXPORT_CLASS(Door8096, "Vantrel.Door8096", "{5E0C8096-7A41-4C2B-9D10-8096D00E5A11}")
