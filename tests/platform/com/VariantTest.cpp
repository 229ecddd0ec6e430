// Conversions of Variant values, as late-bound callers rely on them.
#include "../ErrorOf.h"
#include "../PcZone.h"
#include "com/Variant.h"
#include "runtime/Conv.h"
#include "runtime/RuntimeError.h"

#include <gtest/gtest.h>

using com::Variant;
using com::VType;

namespace {

TEST(Variant, TextConvertsToNumbersOrRaises)
{
    EXPECT_EQ(Variant("5").toInteger(), 5);
    EXPECT_EQ(Variant(" -12 ").toLong(), -12);
    EXPECT_EQ(Variant("2.5").toInteger(), 2);
    EXPECT_EQ(Variant("3.5").toInteger(), 4);
    EXPECT_EQ(Variant("&H1F").toInteger(), 31);
    EXPECT_DOUBLE_EQ(Variant("1.25").toDouble(), 1.25);
    EXPECT_EQ(errorOf([] { Variant("70000").toInteger(); }), rt::ErrOverflow);
    EXPECT_EQ(Variant("70000").toLong(), 70000);
    EXPECT_EQ(errorOf([] { Variant("3000000000").toLong(); }), rt::ErrOverflow);
    EXPECT_EQ(errorOf([] { Variant("12ab").toInteger(); }), rt::ErrTypeMismatch);
    EXPECT_EQ(errorOf([] { Variant("").toLong(); }), rt::ErrTypeMismatch);
    EXPECT_EQ(errorOf([] { Variant("True").toLong(); }), rt::ErrTypeMismatch);
}

TEST(Variant, NumbersNarrowWithOverflowCheck)
{
    EXPECT_EQ(Variant(int32_t(32767)).toInteger(), 32767);
    EXPECT_EQ(errorOf([] { Variant(int32_t(32768)).toInteger(); }), rt::ErrOverflow);
    EXPECT_EQ(errorOf([] { Variant(int32_t(-32769)).toInteger(); }), rt::ErrOverflow);
    EXPECT_EQ(Variant(-2.5).toInteger(), -2);
    EXPECT_EQ(errorOf([] { Variant(2147483647.5).toLong(); }), rt::ErrOverflow);
    // Wider integers keep their value: a Long when it fits, a Double beyond.
    EXPECT_EQ(Variant(40000L).type(), VType::Long);
    EXPECT_EQ(Variant(5000000000LL).type(), VType::Double);
    EXPECT_EQ(Variant(size_t(3)), Variant(int32_t(3)));
    EXPECT_DOUBLE_EQ(Variant(4000000000u).toDouble(), 4e9);
}

TEST(Variant, BooleanRules)
{
    EXPECT_EQ(Variant(true).toInteger(), -1);
    EXPECT_EQ(Variant(true).toLong(), -1);
    EXPECT_DOUBLE_EQ(Variant(true).toDouble(), -1.0);
    EXPECT_EQ(Variant(false).toLong(), 0);
    EXPECT_TRUE(Variant(int16_t(2)).toBool());
    EXPECT_TRUE(Variant(-0.5).toBool());
    EXPECT_FALSE(Variant(int32_t(0)).toBool());
    EXPECT_TRUE(Variant("true").toBool());
    EXPECT_FALSE(Variant("False").toBool());
    EXPECT_TRUE(Variant("7").toBool());
    EXPECT_EQ(errorOf([] { Variant("yes").toBool(); }), rt::ErrTypeMismatch);
    EXPECT_EQ(Variant(true).toString(), QStringLiteral("True"));
    EXPECT_EQ(Variant(true).convertedTo(VType::Integer), Variant(int16_t(-1)));
}

TEST(Variant, EmptyNullAndMissing)
{
    Variant e;
    EXPECT_EQ(e.type(), VType::Empty);
    EXPECT_EQ(e.toInteger(), 0);
    EXPECT_EQ(e.toLong(), 0);
    EXPECT_EQ(e.toString(), QString());
    EXPECT_FALSE(e.toBool());

    Variant n = Variant::null();
    EXPECT_EQ(errorOf([&] { n.toInteger(); }), rt::ErrInvalidUseOfNull);
    EXPECT_EQ(errorOf([&] { n.toString(); }), rt::ErrInvalidUseOfNull);
    EXPECT_EQ(errorOf([&] { n.toBool(); }), rt::ErrInvalidUseOfNull);
    EXPECT_TRUE(n.convertedTo(VType::Null).isNull());

    EXPECT_EQ(errorOf([] { Variant::missing().toLong(); }), rt::ErrTypeMismatch);
}

TEST(Variant, TextForms)
{
    EXPECT_EQ(Variant(int16_t(-7)).toString(), QStringLiteral("-7"));
    EXPECT_EQ(Variant(0.1).toString(), QStringLiteral("0.1"));
    EXPECT_EQ(Variant(1.0 / 3).toString(), QStringLiteral("0.333333333333333"));
    EXPECT_EQ(Variant(1e20).toString(), QStringLiteral("1E+20"));
    EXPECT_EQ(Variant(-0.0).toString(), QStringLiteral("0"));
    QDateTime d(QDate(2024, 2, 29), QTime(13, 5, 9));
    EXPECT_EQ(Variant(d).toString(), QStringLiteral("2024-02-29 13:05:09"));
    EXPECT_EQ(Variant(QDateTime(QDate(2024, 2, 29), QTime(0, 0))).toString(), QStringLiteral("2024-02-29"));
}

TEST(Variant, DatesAndTheirNumbers)
{
    // Text and numbers name the same time whatever the PC's zone.
    const PcZone berlin("Europe/Berlin");
    QDateTime d = rt::wallTime(QDate(2000, 1, 1), QTime(12, 0));
    EXPECT_DOUBLE_EQ(Variant(d).toDouble(), 36526.5);
    EXPECT_EQ(Variant(36526.5).toDate(), d);
    EXPECT_EQ(Variant("2000-01-01 12:00:00").toDate(), d);
    EXPECT_EQ(Variant("08:30:00").toDate(), rt::wallTime(QDate(1899, 12, 30), QTime(8, 30)));   // a time alone: day zero
    EXPECT_EQ(errorOf([] { Variant("not a date").toDate(); }), rt::ErrTypeMismatch);

    const Variant skipped("2026-03-29 02:30:00");
    const Variant asDate(skipped.toDate());
    EXPECT_EQ(asDate.toString(), skipped.toString());
    EXPECT_EQ(Variant(Variant(asDate.toDouble()).toDate()).toString(), skipped.toString());
}

} // namespace
