// How the matrix tells what arrived from what was meant: counted in characters, not bytes.

#include "tests/receivers/MatrixTexts.h"

#include <gtest/gtest.h>

#include <tuple>

namespace kestrun::test {
namespace {

TEST(MatrixCompare, CountsLostWrongAndExtraCharactersFromTheFirstDifference)
{
    // expected, got, first difference, lost, wrong, extra
    const std::tuple<std::string, std::string, std::size_t, std::size_t, std::size_t, std::size_t> rows[] = {
        {"hello 100 dollar", "helo 10 dolar", 3, 3, 0, 0},  // the second of doubled letters
        {"abc", "abd", 2, 0, 1, 0},
        {"abc", "abxc", 2, 0, 0, 1},
        {"abc", "", 0, 3, 0, 0},
        {"жизнь ✓", "жизь ✓", 3, 1, 0, 0},
        {"a\nb\nc", "abc\n\n", 1, 0, 3, 0},  // line breaks moved to the end: wrong where that is cheapest
    };
    for (const auto& [expected, got, first, lost, wrong, extra] : rows) {
        SCOPED_TRACE(expected + " / " + got);
        const Difference difference = Compare(expected, got);
        EXPECT_FALSE(difference.exact);
        EXPECT_EQ(difference.firstDifference, first);
        EXPECT_EQ(difference.lost, lost);
        EXPECT_EQ(difference.wrong, wrong);
        EXPECT_EQ(difference.extra, extra);
    }
    EXPECT_TRUE(Compare("Κέστρουν\n", "Κέστρουν\n").exact);
    EXPECT_EQ(Compare("ab", "a").Describe("ab", "a"),
              "from character 1 expected \"b\" got \"\"; 1 of 2 arrived, 1 lost, 0 wrong, 0 extra");
}

TEST(MatrixCompare, AnEditorsByteOrderMarkAndFinalLineBreakAreNotTheTypists)
{
    EXPECT_EQ(WithoutEditorFrame("abc\n", "\xEF\xBB\xBF" "abc\n\n"), "abc\n");
    EXPECT_EQ(WithoutEditorFrame("abc", "abc\n"), "abc");
    // A line break the typist lost, or one more than the editor adds, still shows.
    EXPECT_EQ(WithoutEditorFrame("abc\n", "abc"), "abc");
    EXPECT_EQ(WithoutEditorFrame("abc", "abc\n\n"), "abc\n\n");
}

TEST(MatrixCompare, TheNotationQuotesItsOwnCharactersAndTypesLineBreaksAsEnter)
{
    EXPECT_EQ(Notation("a+b^c%d~e(f)g{h}i[j]\n"), "a{+}b{^}c{%}d{~}e{(}f{)}g{{}h{}}i{[}j{]}~");
    EXPECT_EQ(TextNamed("tasks").tasks.size(), 5u);
    EXPECT_THROW(TextNamed("nosuch"), std::invalid_argument);
}

}  // namespace
}  // namespace kestrun::test
