// Number-to-text and text-to-number conversions.
#include "array.h"
#include "charset.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

namespace {

struct Num2strCase {
    double value;
    const char* text;
};

class Num2str : public testing::TestWithParam<Num2strCase> {};

TEST_P(Num2str, DefaultText) {
    EXPECT_EQ(mlfNum2str(mxArray::scalar(GetParam().value)).toUtf8(), GetParam().text);
}

constexpr double inf = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Numbers, Num2str,
    testing::Values(Num2strCase{2500, "2500"}, Num2strCase{-1, "-1"}, Num2strCase{0, "0"},
                    Num2strCase{-0.0, "0"}, Num2strCase{144.148775, "144.1488"},
                    Num2strCase{23.659797, "23.6598"}, Num2strCase{-0.007962146, "-0.0079621"},
                    Num2strCase{0.5, "0.5"}, Num2strCase{30.44, "30.44"},
                    Num2strCase{126.974152, "126.9742"}, Num2strCase{1e20, "100000000000000000000"},
                    Num2strCase{1234567.891, "1234567.891"}, Num2strCase{NAN, "NaN"},
                    Num2strCase{inf, "Inf"}, Num2strCase{-inf, "-Inf"}));

TEST(Num2strMore, EmptyGivesEmptyText) {
    mxArray t = mlfNum2str(mxArray());
    EXPECT_TRUE(t.isChar());
    EXPECT_TRUE(t.isEmpty());
}

TEST(Str2num, ExactlyOneNumber) {
    auto parse = [](const char* text) { return mlfStr2num(mxArray::text(text)); };
    EXPECT_EQ(parse("1.5"), mxArray::scalar(1.5));
    EXPECT_EQ(parse("  -0.0079621 "), mxArray::scalar(-0.0079621));
    EXPECT_EQ(parse("+3"), mxArray::scalar(3));
    EXPECT_EQ(parse("2e3"), mxArray::scalar(2000));
    for (const char* bad : {"", "   ", "abc", "1,5", "1 2", "--1", "1.5x", "2+2", "exit"})
        EXPECT_TRUE(parse(bad).isEmpty()) << bad;
    EXPECT_TRUE(std::isnan(parse("NaN").at(0)));
    EXPECT_TRUE(std::isinf(parse("1e999").at(0)));
    // Beyond the range of doubles the magnitude, not the exponent's sign, decides.
    std::string zeros(400, '0');
    EXPECT_EQ(parse(("0." + zeros + "1e5").c_str()), mxArray::scalar(0));
    EXPECT_EQ(parse(("-1" + zeros + "e-5").c_str()), mxArray::scalar(-HUGE_VAL));
}

TEST(Conversions, IgnoreTheProcessLocale) {
    // A French desktop makes C's printf write a decimal comma.
    ASSERT_NE(std::setlocale(LC_ALL, "fr_FR.UTF-8"), nullptr);
    char printed[32];
    std::snprintf(printed, sizeof printed, "%f", 2500.0);
    ASSERT_STREQ(printed, "2500,000000");
    EXPECT_EQ(mlfNum2str(mxArray::scalar(23.659797)).toUtf8(), "23.6598");
    EXPECT_EQ(mlfStr2num(mxArray::text("1.5")), mxArray::scalar(1.5));
    std::setlocale(LC_ALL, "C");
}

TEST(Charset, Windows1252RoundTrip) {
    const std::string texts[] = {"Coût outillage (€)=", "Réglage du procédé", "A=16°", "poinçon"};
    for (const auto& t : texts) EXPECT_EQ(utf8FromCp1252(cp1252FromUtf8(t)), t);
    EXPECT_EQ(unicodeFromCp1252(0x80), U'\u20AC');
    EXPECT_EQ(cp1252FromUnicode(U'\u20AC'), 0x80);
    EXPECT_EQ(cp1252FromUnicode(U'\u4E2D'), u'?');
    // Broken UTF-8 becomes '?', never a crash.
    EXPECT_EQ(cp1252FromUtf8("a\xC3"), u"a?");
    // Overlong forms do not pass for the character they spell ("2" here).
    EXPECT_EQ(cp1252FromUtf8("\xC0\xB2"), u"??");
}

}  // namespace
