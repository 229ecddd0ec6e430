// Creation by ProgID from a registered library, late-bound calls, and the
// registration tool, against the sample component built beside this test.
#include "../ErrorOf.h"
#include "com/Com.h"
#include "registry/Registry.h"
#include "runtime/RuntimeError.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdlib>
#include <dlfcn.h>

using namespace com;

namespace {

const QString kProgId = QStringLiteral("DoorSuiteTest.Sample");
const QString kClassId = QStringLiteral("{6B1F7C1E-3A52-4D8B-9E0F-2C4A5D6E7F80}");

class ComTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        setenv("DOORSUITE_REGISTRY_DIR", dir_.path().toLocal8Bit().constData(), 1);
    }

    // Registers the sample through its own entry point, as regsvr would.
    void registerSample()
    {
        ASSERT_TRUE(registerClass(kProgId, kClassId, QStringLiteral(SAMPLE_COMPONENT)));
    }

    int regsvr(const QStringList& args, QString* err = nullptr)
    {
        QProcess p;
        p.start(QStringLiteral(REGSVR_PROGRAM), args);
        p.waitForFinished(30000);
        if (err)
            *err = QString::fromLocal8Bit(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }

    QTemporaryDir dir_;
};

TEST_F(ComTest, CreatesRegisteredClassAndCallsMembersWithoutRegardToCase)
{
    registerSample();
    Dispatch obj = CreateObject(QStringLiteral("doorsuitetest.SAMPLE"));
    ASSERT_TRUE(obj);
    EXPECT_EQ(obj.call(QStringLiteral("addints"), {int16_t(2), int16_t(3)}).toInteger(), 5);
    EXPECT_EQ(obj.call(QStringLiteral("ADDINTS"), {int16_t(2), int16_t(3)}).type(), VType::Integer);
    EXPECT_EQ(obj.call(QStringLiteral("dEsCrIbE"), {int32_t(7), QStringLiteral("x"), true}).toString(), QStringLiteral("7|x|1"));
}

TEST_F(ComTest, ArgumentsAreCoercedToTheDeclaredTypes)
{
    registerSample();
    Dispatch obj = CreateObject(kProgId);
    EXPECT_EQ(obj.call(QStringLiteral("AddInts"), {"5", 2.5}).toInteger(), 7);   // 2.5 rounds to 2
    EXPECT_EQ(errorOf([&] { obj.call(QStringLiteral("AddInts"), {"70000", int16_t(1)}); }), rt::ErrOverflow);
    EXPECT_EQ(errorOf([&] { obj.call(QStringLiteral("AddInts"), {"five", int16_t(1)}); }), rt::ErrTypeMismatch);
    EXPECT_EQ(errorOf([&] { obj.call(QStringLiteral("AddInts"), {Variant::null(), int16_t(1)}); }), rt::ErrInvalidUseOfNull);
    // Overflow raised inside the member reaches the caller unchanged.
    EXPECT_EQ(errorOf([&] { obj.call(QStringLiteral("AddInts"), {int16_t(32767), int16_t(1)}); }), rt::ErrOverflow);
    EXPECT_EQ(obj.call(QStringLiteral("Describe"), {"12", int16_t(5), int32_t(-3)}).toString(), QStringLiteral("12|5|1"));
    EXPECT_EQ(obj.call(QStringLiteral("IsTrue"), {int32_t(0)}).toLong(), 0);
    EXPECT_EQ(obj.call(QStringLiteral("IsTrue"), {int32_t(2)}).toLong(), -1);
    EXPECT_EQ(obj.call(QStringLiteral("IsTrue"), {Variant()}).toBool(), false);
    // Untyped parameters pass the value through as it is.
    EXPECT_EQ(obj.call(QStringLiteral("TypeOf"), {int16_t(1)}).toString(), QStringLiteral("Integer"));
    EXPECT_EQ(obj.call(QStringLiteral("TypeOf"), {Variant::null()}).toString(), QStringLiteral("Null"));
}

TEST_F(ComTest, ByReferenceArgumentsAreWrittenBackAndOptionalOnesDefaulted)
{
    registerSample();
    Dispatch obj = CreateObject(kProgId);
    Args a{int16_t(3), QString(), int32_t(0)};
    EXPECT_TRUE(obj.call(QStringLiteral("gatherdata"), a).toBool());
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(a[1].toString(), QStringLiteral("addr 3 sleep 2 flag 1"));
    EXPECT_EQ(a[2].toLong(), 30);

    Args b{int16_t(4), QString(), int32_t(0), Variant::missing(), false, int32_t(41)};
    obj.call(QStringLiteral("GatherData"), b);
    EXPECT_EQ(b[1].toString(), QStringLiteral("addr 4 sleep 2 flag 0"));
    EXPECT_EQ(b[3].isMissing(), true);   // a left-out argument stays left out
    EXPECT_EQ(b[5].toLong(), 42);

    // A by-value argument is never written back.
    Args c{QStringLiteral("5"), QString(), int32_t(0)};
    obj.call(QStringLiteral("GatherData"), c);
    EXPECT_EQ(c[0].type(), VType::String);

    Args d{int16_t(1), QString()};
    EXPECT_EQ(obj.call(QStringLiteral("GetTimeGroup"), d).toString(), QStringLiteral("Null"));
    EXPECT_EQ(d[1].toString(), QStringLiteral("0000-2359"));
    Args e{int16_t(1), QString(), QString()};
    EXPECT_EQ(obj.call(QStringLiteral("GetTimeGroup"), e).toString(), QString());
    EXPECT_EQ(e[2].toString(), QStringLiteral("1010"));
}

TEST_F(ComTest, PropertiesGetAndPut)
{
    registerSample();
    Dispatch obj = CreateObject(kProgId);
    EXPECT_EQ(obj.getProperty(QStringLiteral("ver")).toString(), QStringLiteral("V1"));
    obj.setProperty(QStringLiteral("VER"), QStringLiteral("V2"));
    EXPECT_EQ(obj.getProperty(QStringLiteral("Ver")).toString(), QStringLiteral("V2"));
    obj.setProperty(QStringLiteral("AllRecordSum"), "123");
    EXPECT_EQ(obj.getProperty(QStringLiteral("allrecordsum")).type(), VType::Long);
    EXPECT_EQ(obj.call(QStringLiteral("AllRecordSum")).toLong(), 123);   // a get read like a call
    EXPECT_EQ(errorOf([&] { obj.setProperty(QStringLiteral("AllRecordSum"), "x"); }), rt::ErrTypeMismatch);
    EXPECT_EQ(errorOf([&] { obj.setProperty(QStringLiteral("AddInts"), int16_t(1)); }), rt::ErrMemberNotFound);
}

TEST_F(ComTest, CallerSeesMemberAndCountErrors)
{
    registerSample();
    Dispatch obj = CreateObject(kProgId);
    EXPECT_EQ(errorOf([&] { obj.call(QStringLiteral("NoSuchMember")); }), rt::ErrMemberNotFound);
    EXPECT_EQ(errorOf([&] { obj.call(QStringLiteral("AddInts"), {int16_t(1)}); }), rt::ErrWrongArgCount);
    EXPECT_EQ(errorOf([&] { obj.call(QStringLiteral("AddInts"), {int16_t(1), int16_t(2), int16_t(3)}); }), rt::ErrWrongArgCount);
    EXPECT_EQ(errorOf([&] { obj.call(QStringLiteral("AddInts"), {Variant::missing(), int16_t(2)}); }), rt::ErrWrongArgCount);
    EXPECT_EQ(errorOf([&] { obj.call(QStringLiteral("Raise"), {int32_t(53)}); }), 53);
    EXPECT_EQ(errorOf([&] { obj.call(QStringLiteral("Throw")); }), rt::ErrAutomation);
    EXPECT_TRUE(obj.call(QStringLiteral("Nothing")).isEmpty());
    Dispatch none;
    EXPECT_EQ(errorOf([&] { none.call(QStringLiteral("Nothing")); }), rt::ErrObjectNotSet);
}

TEST_F(ComTest, ObjectsAreCountedUntilTheLastReferenceGoes)
{
    registerSample();
    long before = serverLockCount();
    {
        Dispatch a = CreateObject(kProgId);
        Dispatch b = a;
        Dispatch c = CreateObject(kProgId);
        EXPECT_EQ(serverLockCount(), before + 2);
        a.reset();
        EXPECT_EQ(serverLockCount(), before + 2);
        b = Dispatch();
        EXPECT_EQ(serverLockCount(), before + 1);
    }
    EXPECT_EQ(serverLockCount(), before);
}

TEST_F(ComTest, LibraryCanUnloadOnlyWhenNoObjectLives)
{
    registerSample();
    Dispatch obj = CreateObject(kProgId);
    // The library is loaded by now; look at its own entry point.
    void* lib = dlopen(SAMPLE_COMPONENT, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(lib, nullptr);
    auto canUnload = reinterpret_cast<DllCanUnloadNowFn>(dlsym(lib, "DllCanUnloadNow"));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), 1);
    obj.reset();
    EXPECT_EQ(canUnload(), 0);
    ++serverLockCount();   // a lock held by a client
    EXPECT_EQ(canUnload(), 1);
    --serverLockCount();
    dlclose(lib);
}

TEST_F(ComTest, CreationFailuresRaise429)
{
    EXPECT_EQ(errorOf([] { CreateObject(kProgId); }), rt::ErrCantCreateObject);
    EXPECT_EQ(errorOf([] { CreateObject(QString()); }), rt::ErrCantCreateObject);

    // Class id without a library entry, and a library path that does not load.
    ASSERT_TRUE(reg::setValue(reg::Root::ClassesRoot, QStringLiteral("Broken.One\\CLSID"), QString(), QStringLiteral("{1}")));
    EXPECT_EQ(errorOf([] { CreateObject(QStringLiteral("Broken.One")); }), rt::ErrCantCreateObject);
    ASSERT_TRUE(registerClass(QStringLiteral("Broken.Two"), QStringLiteral("{2}"), dir_.filePath(QStringLiteral("missing.so"))));
    EXPECT_EQ(errorOf([] { CreateObject(QStringLiteral("Broken.Two")); }), rt::ErrCantCreateObject);

    // A library that loads but serves another class.
    ASSERT_TRUE(registerClass(QStringLiteral("Broken.Three"), kClassId, QStringLiteral(SAMPLE_COMPONENT)));
    EXPECT_EQ(errorOf([] { CreateObject(QStringLiteral("Broken.Three")); }), rt::ErrCantCreateObject);
}

TEST_F(ComTest, RegistrationWritesProgIdAndLibraryPath)
{
    registerSample();
    EXPECT_EQ(reg::queryText(reg::Root::ClassesRoot, kProgId + QStringLiteral("\\CLSID"), QString()), kClassId);
    EXPECT_EQ(reg::queryText(reg::Root::ClassesRoot, QStringLiteral("clsid\\") + kClassId + QStringLiteral("\\InprocServer32"), QString()),
              QStringLiteral(SAMPLE_COMPONENT));
    EXPECT_FALSE(registerClass(kProgId, kClassId, QStringLiteral("relative/lib.so")));
    EXPECT_TRUE(unregisterClass(kProgId, kClassId));
    EXPECT_FALSE(reg::keyExists(reg::Root::ClassesRoot, kProgId));
    EXPECT_FALSE(reg::keyExists(reg::Root::ClassesRoot, QStringLiteral("CLSID\\") + kClassId));
    EXPECT_EQ(errorOf([] { CreateObject(kProgId); }), rt::ErrCantCreateObject);
}

TEST_F(ComTest, LibraryPathOfNamesTheLoadedFile)
{
    QString self = libraryPathOf(reinterpret_cast<const void*>(&CreateObject));
    EXPECT_TRUE(self.endsWith(QStringLiteral("/libplat_com.so"))) << self.toStdString();
    EXPECT_TRUE(QFileInfo(self).isAbsolute());
    EXPECT_TRUE(libraryPathOf(nullptr).isEmpty());
}

TEST_F(ComTest, RegsvrRegistersAndUnregisters)
{
    QString err;
    ASSERT_EQ(regsvr({QStringLiteral(SAMPLE_COMPONENT)}, &err), 0) << err.toStdString();
    EXPECT_TRUE(err.isEmpty());
    // The library wrote the path it was loaded from.
    EXPECT_EQ(reg::queryText(reg::Root::ClassesRoot, QStringLiteral("CLSID\\") + kClassId + QStringLiteral("\\InprocServer32"), QString()),
              QStringLiteral(SAMPLE_COMPONENT));
    Dispatch obj = CreateObject(kProgId);
    EXPECT_EQ(obj.call(QStringLiteral("AddInts"), {int16_t(1), int16_t(1)}).toInteger(), 2);
    obj.reset();

    ASSERT_EQ(regsvr({QStringLiteral("-u"), QStringLiteral(SAMPLE_COMPONENT)}, &err), 0) << err.toStdString();
    EXPECT_EQ(errorOf([] { CreateObject(kProgId); }), rt::ErrCantCreateObject);

    EXPECT_NE(regsvr({dir_.filePath(QStringLiteral("none.so"))}, &err), 0);
    EXPECT_FALSE(err.isEmpty());
    EXPECT_NE(regsvr({}, &err), 0);
    // A shared library without the entry points.
    EXPECT_NE(regsvr({libraryPathOf(reinterpret_cast<const void*>(&CreateObject))}, &err), 0);
    EXPECT_TRUE(err.contains(QStringLiteral("DllRegisterServer")));
}

} // namespace
