#include "FakeDoor.h"

using com::Param;
using com::Variant;
using com::VType;

namespace {
Param in(const char* name, VType t) { return Param{QString::fromLatin1(name), t, false, false, Variant()}; }
Param ref(const char* name, VType t) { return Param{QString::fromLatin1(name), t, true, false, Variant()}; }
Param opt(const char* name, VType t, Variant def, bool byRef = false)
{
    return Param{QString::fromLatin1(name), t, byRef, true, def};
}
const VType I = VType::Integer, L = VType::Long, S = VType::String, B = VType::Boolean;
} // namespace

FakeDoor::FakeDoor()
{
    com::Member ver;
    ver.name = QStringLiteral("Ver");
    ver.kind = com::InvokeKind::PropertyGet;
    ver.body = [](com::Args&) { return Variant(QStringLiteral("V1.2.4 Door 8096 For ZIZeva 2008-08-27")); };
    addMember(ver);

    add("GatherRecordSum", {in("varAddr", I)}, int32_t(-1));
    add("GatherSendCardSum", {in("varAddr", I)}, int32_t(-1));
    add("SetPort", {in("PortNum", I)}, false);
    add("ClearRecord", {in("varAddr", I)}, false);
    add("ClearNameList", {in("varAddr", I)}, false);
    add("CardSendToMachine",
        {in("varAddr", I), in("strEmpID", S), in("strPhyCardNum", S), in("intLockCtr1", I), in("intLockCtr2", I),
         in("IsWeek", I), in("IsEndDate", I), in("IsTime", I), in("strWeekValue", S), in("strEndDateValue", S),
         in("strTimeValue1", S), in("strTimeValue2", S)},
        false);
    add("ClearName", {in("varAddr", I), in("strPhyCardNum", S)}, int16_t(-1));
    add("FindCard", {in("varAddr", I), in("strPhyNum", S), ref("strSendCard", S), opt("intSleep", I, int16_t(2))},
        false);
    add("ReadCardNum", {in("varAddr", I), opt("AllStr", S, QString(), true)}, QString());
    add("DestoryPort", {}, true);
    add("GatherData",
        {in("varAddr", I), in("VarFilePath", S), in("VarFileName", S), ref("VarDescription", S),
         ref("BackRecordSum", L), opt("SleepDate", L, int32_t(2)), opt("phStrCardFlg", B, true),
         opt("IsFullYear", B, false), opt("intGatherRecordCount", L, int32_t(-1), true), opt("interval", L, int32_t(100))},
        false);
    add("GatherSendCardData",
        {in("varAddr", I), in("VarFilePath", S), in("VarFileName", S), ref("VarDescription", S),
         ref("BackRecordSum", L), opt("SleepDate", L, int32_t(5)), opt("phStrCardFlg", B, true),
         opt("interval", L, int32_t(100))},
        false);
    add("SetTimeGroup",
        {in("varAddr", I), in("intTotal", I), in("intOrder", I), in("strTime", S), opt("intCardOrPassword", I, int16_t(0))},
        false);
    add("GetTimeGroup", {in("varAddr", I), ref("strTime", S), opt("strCardOrPassword", S, QStringLiteral("Null"), true)},
        false);
    add("ModifyDateTime", {in("varAddr", I), in("strDate", S), in("strTime", S), in("intWeek", I)}, false);
    add("SetLockDelayTime", {in("varAddr", I), in("Secon1", I), in("Secon2", I), in("Secon3", I)}, false);
    add("OpenLock", {in("varAddr", I), in("intLockNo", I)}, false);
    add("getLockStatus", {in("varAddr", I), ref("strStatus", S)}, false);
    add("getDateTimeDelay", {in("varAddr", I), ref("strResult", S)}, false);
    add("getCardLockStatus", {in("varAddr", I), ref("strStatus", S)}, false);
    add("GetMachVer", {in("varAddr", I), ref("strMachVer", S)}, false);
}

void FakeDoor::add(const QString& name, std::vector<Param> params, Variant failure)
{
    com::Member m;
    m.name = name;
    m.params = std::move(params);
    m.body = [this, name, failure](com::Args& a) {
        calls.append(Call{name, a});
        auto it = handlers_.constFind(name.toLower());
        return it == handlers_.constEnd() ? failure : it.value()(a);
    };
    addMember(std::move(m));
}

QList<FakeDoor::Call> FakeDoor::callsOf(const QString& member) const
{
    QList<Call> out;
    for (const Call& c : calls)
        if (c.member.compare(member, Qt::CaseInsensitive) == 0)
            out.append(c);
    return out;
}
