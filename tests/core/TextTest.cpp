// The number and ASCII text helpers every layer reads its input with.

#include "core/AsciiText.h"
#include "core/NumberText.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace kestrun::test {
namespace {

TEST(NumberTextTest, ValReadsTheLeadingNumber)
{
    const std::vector<std::pair<std::string, double>> cases = {
        {"5 seconds", 5}, {"\t\n 007", 7}, {".5", 0.5},  {"-3", -3},   {"1 5 seconds", 15}, {"1E+2x", 100},
        {"2D1", 20},      {"5e+", 5},       {"1.2.3", 1.2}, {"seconds", 0}, {"-", 0},          {"0x10", 0},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_DOUBLE_EQ(Val(text), expected) << '"' << text << '"';
}

TEST(AsciiTextTest, CaseIsIgnoredForAsciiLettersOnly)
{
    EXPECT_TRUE(EqualsIgnoringAsciiCase("Open File", "oPEN fILE"));
    EXPECT_TRUE(EqualsIgnoringAsciiCase("", ""));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("exe", "ex"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase("\xC3\xA4", "\xC3\x84"));  // a and A umlaut: not ASCII
    EXPECT_FALSE(EqualsIgnoringAsciiCase("@", "`"));  // 0x40 and 0x60 differ by the case bit, yet are no letters
}

TEST(AsciiTextTest, TrimTakesOnlyTheGivenBlanksFromBothEnds)
{
    EXPECT_EQ(Trim(" \t a b \t "), "a b");
    EXPECT_EQ(Trim(" \t "), "");
    EXPECT_EQ(Trim("\na\n"), "\na\n");
    EXPECT_EQ(Trim("\t a \t", " "), "\t a \t");
    EXPECT_EQ(Trim("  a  ", " "), "a");
}

}  // namespace
}  // namespace kestrun::test
