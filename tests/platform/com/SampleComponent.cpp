// A small component library for the tests: loaded only through CreateObject,
// never linked to the test program.
#include "com/ComServer.h"
#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"

namespace {

using com::Args;
using com::Variant;
using com::VType;

class Sample : public com::DispatchObject {
public:
    Sample()
    {
        addProperty(QStringLiteral("Ver"), VType::String,
                    [this] { return Variant(ver_); },
                    [this](const Variant& v) { ver_ = v.toString(); });
        addProperty(QStringLiteral("AllRecordSum"), VType::Long,
                    [this] { return Variant(sum_); },
                    [this](const Variant& v) { sum_ = v.toLong(); });
        // Integer arithmetic: the result overflows like the caller's would.
        addMethod(QStringLiteral("AddInts"), {com::arg("a", VType::Integer), com::arg("b", VType::Integer)},
                  [](Args& a) { return Variant(rt::CInt(double(a[0].toInteger()) + a[1].toInteger())); });
        addMethod(QStringLiteral("Describe"),
                  {com::arg("n", VType::Long), com::arg("s", VType::String), com::arg("b", VType::Boolean)},
                  [](Args& a) {
                      return Variant(QStringLiteral("%1|%2|%3").arg(a[0].toLong()).arg(a[1].toString()).arg(a[2].toBool() ? 1 : 0));
                  });
        addMethod(QStringLiteral("IsTrue"), {com::arg("b", VType::Boolean)},
                  [](Args& a) { return Variant(a[0].toBool()); });
        // Fills its by-reference arguments, like the collection methods do.
        addMethod(QStringLiteral("GatherData"),
                  {com::arg("varAddr", VType::Integer), com::refArg("VarDescription", VType::String),
                   com::refArg("BackRecordSum", VType::Long), com::optArg("SleepDate", VType::Long, int32_t(2)),
                   com::optArg("phStrCardFlg", VType::Boolean, true),
                   com::optRefArg("intGatherRecordCount", VType::Long, int32_t(-1))},
                  [](Args& a) {
                      a[1] = QStringLiteral("addr %1 sleep %2 flag %3").arg(a[0].toInteger()).arg(a[3].toLong()).arg(a[4].toBool() ? 1 : 0);
                      a[2] = int32_t(a[0].toInteger() * 10);
                      a[5] = int32_t(a[5].toLong() + 1);
                      return Variant(true);
                  });
        addMethod(QStringLiteral("GetTimeGroup"),
                  {com::arg("varAddr", VType::Integer), com::refArg("strTime", VType::String),
                   com::optRefArg("strCardOrPassword", VType::String, QStringLiteral("Null"))},
                  [](Args& a) {
                      a[1] = QStringLiteral("0000-2359");
                      QString before = a[2].toString();
                      a[2] = QStringLiteral("1010");
                      return Variant(before);
                  });
        addMethod(QStringLiteral("TypeOf"), {com::arg("v", VType::Empty)},
                  [](Args& a) { return Variant(Variant::typeName(a[0].type())); });
        addMethod(QStringLiteral("Raise"), {com::arg("n", VType::Long)},
                  [](Args& a) -> Variant { rt::raise(a[0].toLong()); });
        addMethod(QStringLiteral("Throw"), {}, [](Args&) -> Variant { throw std::runtime_error("broken"); });
        addMethod(QStringLiteral("Nothing"), {}, [](Args&) { return Variant(); });
    }

private:
    QString ver_ = QStringLiteral("V1");
    int32_t sum_ = 0;
};

} // namespace

COM_EXPORT_CLASS(Sample, "DoorSuiteTest.Sample", "{6B1F7C1E-3A52-4D8B-9E0F-2C4A5D6E7F80}")
