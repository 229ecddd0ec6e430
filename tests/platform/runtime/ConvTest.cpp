// Conversions, text helpers and error descriptions of the run-time layer.
#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"
#include "../ErrorOf.h"
#include "../PcZone.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(Conv, IntegerConversionRoundsHalfToEven)
{
    EXPECT_EQ(rt::CInt(2.5), 2);
    EXPECT_EQ(rt::CInt(3.5), 4);
    EXPECT_EQ(rt::CInt(-2.5), -2);
    EXPECT_EQ(rt::CInt(-3.5), -4);
    EXPECT_EQ(rt::CInt(2.51), 3);
    EXPECT_EQ(rt::CLng(0.5), 0);
    EXPECT_EQ(rt::CLng(1.5), 2);
    EXPECT_EQ(rt::CInt(QStringLiteral(" 4.5 ")), 4);
}

TEST(Conv, IntegerConversionOverflows)
{
    EXPECT_EQ(rt::CInt(32767.0), 32767);
    EXPECT_EQ(rt::CInt(-32768.0), -32768);
    EXPECT_EQ(errorOf([] { rt::CInt(32768.0); }), rt::ErrOverflow);
    EXPECT_EQ(errorOf([] { rt::CInt(32767.5); }), rt::ErrOverflow);   // rounds up to 32768
    EXPECT_EQ(errorOf([] { rt::CInt(-32768.5 - 1); }), rt::ErrOverflow);
    EXPECT_EQ(rt::CLng(2147483647.0), 2147483647);
    EXPECT_EQ(errorOf([] { rt::CLng(2147483648.0); }), rt::ErrOverflow);
    EXPECT_EQ(errorOf([] { rt::CLng(std::numeric_limits<double>::quiet_NaN()); }), rt::ErrOverflow);
    EXPECT_EQ(errorOf([] { rt::CInt(QStringLiteral("32768")); }), rt::ErrOverflow);
}

TEST(Conv, TextMustBeANumberToConvert)
{
    EXPECT_EQ(rt::CLng(QStringLiteral("&H1F")), 31);
    EXPECT_DOUBLE_EQ(rt::CDbl(QStringLiteral("-1.5e2")), -150.0);
    EXPECT_EQ(errorOf([] { rt::CInt(QStringLiteral("12ab")); }), rt::ErrTypeMismatch);
    EXPECT_EQ(errorOf([] { rt::CInt(QStringLiteral("")); }), rt::ErrTypeMismatch);
    EXPECT_EQ(errorOf([] { rt::CDbl(QStringLiteral("inf")); }), rt::ErrTypeMismatch);
}

// Typed addresses and counts: digits only, never rounded.
TEST(Conv, WholeNumbersAreDigitsOnly)
{
    struct Case {
        const char* text;
        int value;   // -1: none
        int error;   // raised by CWhole
    };
    const Case cases[] = {
        {"5", 5, 0},    {" 007 ", 7, 0}, {"32767", 32767, 0}, {"32768", -1, rt::ErrOverflow},
        {"5.5", -1, 13}, {"-1", -1, 13},  {"+1", -1, 13},       {"1e1", -1, 13},
        {"&H5", -1, 13}, {"", -1, 13},    {"1 2", -1, 13},      {"\uFF15", -1, 13},   // a full-width 5
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const QString t = QString::fromUtf8(c.text);
        EXPECT_EQ(rt::WholeNumber(t).value_or(-1), c.value);
        EXPECT_EQ(errorOf([&] { rt::CWhole(t); }), c.error);
    }
    EXPECT_FALSE(rt::WholeNumber(QStringLiteral("100"), 0, 99));
    EXPECT_EQ(rt::WholeNumber(QStringLiteral("99"), 1, 99), 99);
    EXPECT_FALSE(rt::WholeNumber(QStringLiteral("0"), 1, 99));
    EXPECT_FALSE(rt::WholeNumber(QStringLiteral("40000"), 0, 50000)) << "never beyond 16 bits";
    // Card and employee numbers: four bytes, leading zeros as typed.
    EXPECT_EQ(rt::WholeNumber64(QStringLiteral("4294967295"), 0, 4294967295LL), 4294967295LL);
    EXPECT_EQ(rt::WholeNumber64(QStringLiteral("0000000001"), 0, 4294967295LL), 1);
    EXPECT_FALSE(rt::WholeNumber64(QStringLiteral("4294967296"), 0, 4294967295LL));
    EXPECT_FALSE(rt::WholeNumber64(QStringLiteral("99999999999999999999999"), 0, 4294967295LL));
    EXPECT_TRUE(rt::IsDigits(QStringLiteral("0123456789")));
    EXPECT_FALSE(rt::IsDigits(QStringLiteral(" 1")));
}

TEST(Conv, IsNumeric)
{
    EXPECT_TRUE(rt::IsNumeric(QStringLiteral("12")));
    EXPECT_TRUE(rt::IsNumeric(QStringLiteral(" -1.5 ")));
    EXPECT_TRUE(rt::IsNumeric(QStringLiteral("1e3")));
    EXPECT_TRUE(rt::IsNumeric(QStringLiteral("&HFF")));
    EXPECT_FALSE(rt::IsNumeric(QStringLiteral("")));
    EXPECT_FALSE(rt::IsNumeric(QStringLiteral("  ")));
    EXPECT_FALSE(rt::IsNumeric(QStringLiteral("12ab")));
    EXPECT_FALSE(rt::IsNumeric(QStringLiteral("1.2.3")));
    EXPECT_FALSE(rt::IsNumeric(QStringLiteral("-")));
    EXPECT_FALSE(rt::IsNumeric(QStringLiteral("１２")));   // full-width digits
    EXPECT_FALSE(rt::IsNumeric(QStringLiteral("nan")));
}

TEST(Conv, ValReadsTheLeadingNumber)
{
    EXPECT_DOUBLE_EQ(rt::Val(QStringLiteral("  12ab")), 12);
    EXPECT_DOUBLE_EQ(rt::Val(QStringLiteral("&H1F")), 31);
    EXPECT_DOUBLE_EQ(rt::Val(QStringLiteral("&h1fz")), 31);
    EXPECT_DOUBLE_EQ(rt::Val(QStringLiteral("&O17")), 15);
    EXPECT_DOUBLE_EQ(rt::Val(QStringLiteral("abc")), 0);
    EXPECT_DOUBLE_EQ(rt::Val(QStringLiteral("")), 0);
    EXPECT_DOUBLE_EQ(rt::Val(QStringLiteral(" 1 2 3")), 123);
    EXPECT_DOUBLE_EQ(rt::Val(QStringLiteral("-4.5x")), -4.5);
    EXPECT_DOUBLE_EQ(rt::Val(QStringLiteral("1.")), 1);
    EXPECT_DOUBLE_EQ(rt::Val(QStringLiteral(".5")), 0.5);
    EXPECT_DOUBLE_EQ(rt::Val(QStringLiteral("2e3")), 2000);
    EXPECT_DOUBLE_EQ(rt::Val(QStringLiteral("2e")), 2);
    EXPECT_DOUBLE_EQ(rt::Val(QStringLiteral("1.5.6")), 1.5);
}

TEST(Conv, ValHexIsABitPatternAndHugeNumbersOverflow)
{
    EXPECT_DOUBLE_EQ(rt::Val(QStringLiteral("&HFFFF")), -1);
    EXPECT_DOUBLE_EQ(rt::Val(QStringLiteral("&H8000")), -32768);
    EXPECT_DOUBLE_EQ(rt::Val(QStringLiteral("&H10000")), 65536);
    EXPECT_DOUBLE_EQ(rt::Val(QStringLiteral("&HFFFFFFFF")), -1);
    EXPECT_EQ(errorOf([] { rt::Val(QStringLiteral("&H1FFFFFFFFFFFFFFFFFF")); }), rt::ErrOverflow);
    EXPECT_EQ(errorOf([] { rt::Val(QStringLiteral("1e400")); }), rt::ErrOverflow);
}

TEST(Conv, MidLeftRightOnShortText)
{
    const QString s = QStringLiteral("门禁ab");
    EXPECT_EQ(rt::Mid(s, 2, 2), QStringLiteral("禁a"));
    EXPECT_EQ(rt::Mid(s, 3), QStringLiteral("ab"));
    EXPECT_EQ(rt::Mid(s, 4, 10), QStringLiteral("b"));
    EXPECT_EQ(rt::Mid(s, 9, 2), QString());
    EXPECT_EQ(rt::Mid(s, 1, 0), QString());
    EXPECT_EQ(rt::Left(s, 10), s);
    EXPECT_EQ(rt::Left(s, 0), QString());
    EXPECT_EQ(rt::Right(s, 3), QStringLiteral("禁ab"));
    EXPECT_EQ(rt::Right(QString(), 3), QString());
    EXPECT_EQ(errorOf([&] { rt::Mid(s, 0, 1); }), rt::ErrInvalidCall);
    EXPECT_EQ(errorOf([&] { rt::Left(s, -1); }), rt::ErrInvalidCall);
}

TEST(Conv, IsoDatesAndTimes)
{
    // No zone: a PC zone with daylight saving shows a time read as local.
    const PcZone berlin("Europe/Berlin");
    QDateTime dt = rt::wallTime(QDate(2008, 8, 27), QTime(7, 5, 3));
    EXPECT_EQ(rt::isoDate(dt.date()), QStringLiteral("2008-08-27"));
    EXPECT_EQ(rt::isoTime(dt.time()), QStringLiteral("07:05:03"));
    EXPECT_EQ(rt::isoDateTime(dt), QStringLiteral("2008-08-27 07:05:03"));
    EXPECT_EQ(rt::parseIsoDateTime(QStringLiteral("2008-08-27 07:05:03")), dt);
    EXPECT_EQ(rt::parseIsoDateTime(QStringLiteral("2008-08-27")), rt::wallTime(dt.date(), QTime(0, 0)));
    EXPECT_FALSE(rt::parseIsoDate(QStringLiteral("2008-02-30")).isValid());
    EXPECT_FALSE(rt::parseIsoDateTime(QStringLiteral("garbage")).isValid());
    EXPECT_FALSE(rt::parseIsoDateTime(QStringLiteral("2008-08-27 07:05:03 x")).isValid());

    // The hour a daylight-saving change skips is a time like any other.
    for (const char* text : {"2026-03-29 02:30:00", "2026-10-25 02:30:00"})
        EXPECT_EQ(rt::isoDateTime(rt::parseIsoDateTime(QString::fromLatin1(text))), QLatin1String(text));
}

TEST(RuntimeError, NumbersCarryTheirChineseDescriptions)
{
    EXPECT_EQ(rt::errorDescription(6), QStringLiteral("溢出"));
    EXPECT_EQ(rt::errorDescription(13), QStringLiteral("类型不匹配"));
    EXPECT_EQ(rt::errorDescription(429), QStringLiteral("ActiveX 部件不能创建对象"));
    EXPECT_TRUE(rt::errorDescription(12345).contains(QStringLiteral("12345")));
    rt::Error e(6);
    EXPECT_EQ(e.text(), QStringLiteral("6:溢出"));
    EXPECT_EQ(rt::Error(5, QStringLiteral("自定义")).text(), QStringLiteral("5:自定义"));
}

} // namespace
