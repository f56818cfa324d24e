#include "document/NumberText.h"

#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

TEST(NumberTextTest, ValReadsTheLeadingNumber)
{
    const std::vector<std::pair<std::string, double>> cases = {
        {"5 seconds", 5},   {"  007", 7},     {"2.5 seconds", 2.5}, {".5", 0.5},    {"-3", -3},
        {"+4", 4},          {"1 5 seconds", 15}, {"1e3", 1000},     {"1E+2x", 100}, {"2D1", 20},
        {"5e", 5},          {"5e+", 5},       {"1.2.3", 1.2},       {"", 0},        {"seconds", 0},
        {"-", 0},           {".", 0},         {"\t\n9", 9},         {"0x10", 0},    {"1,5", 1},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_DOUBLE_EQ(Val(text), expected) << '"' << text << '"';
}

}  // namespace
}  // namespace kestrun::test
