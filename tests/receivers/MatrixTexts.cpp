#include "tests/receivers/MatrixTexts.h"

#include "bench/TypingTexts.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string_view>

namespace kestrun::test {

namespace {

std::string Excerpt(const std::u32string& text, std::size_t at)
{
    std::u32string part = text.substr(std::min(at, text.size()), 12);
    std::string out;
    for (const char c : bench::Utf8(part))
        out += c == '\n' ? std::string("\\n") : std::string(1, c);
    return "\"" + out + "\"";
}

std::map<std::string, MatrixText> MakeTexts()
{
    std::map<std::string, MatrixText> texts;
    const auto add = [&](MatrixText text) { texts[text.name] = std::move(text); };
    add(OneTask("plain", "Hello, World! The quick brown fox (ok) jumps: 50% of x=y+z, a@b.c #tag [1] {2} ~3 ^4 100 dollar\n"));
    add(OneTask("mixed", "Grüße, Ærø à ça! Κέστρουν αβγ жизнь Ёж 中文字 かなカナ ✓→∞ € «ok» §µ\n"));
    // About 10% foreign characters, some 50 distinct ones: the long text of the benchmarks.
    add(OneTask("mixed2000", bench::Utf8(bench::MixedText(2000, 0.35, 50))));
    // Each script alone, with only what its layout has keys for (dead keys are not used).
    add(OneTask("ru", "Съешь же ещё этих мягких французских булок, да выпей чаю. ЖИЗНЬ 2024\n"));
    add(OneTask("gr", "ξεσκεπαζω την ψυχοφθορα βδελυγμια. ΓΑΖΙΕΣ ΚΑΙ ΜΥΡΤΙΕΣ, ς 2024\n"));
    add(OneTask("pl", "Zażółć gęślą jaźń. Pchnąć w tę łódź jeża lub ośm skrzyń fig. ŻÓŁĆ 2024\n"));
    // Short tasks, one with characters no layout key types, a wait, then one long line with ~50 of them.
    std::u32string line = bench::MixedText(2000, 0.35, 50);
    std::replace(line.begin(), line.end(), U'\n', U' ');
    line.back() = U'\n';
    MatrixText tasks{"tasks", {}, ""};
    for (const std::string& part : {std::string("first task\n"), std::string("ключ ✓ 中文 second\n"), std::string("third\n")}) {
        tasks.tasks.push_back({"Keystrokes", Notation(part)});
        tasks.expected += part;
    }
    tasks.tasks.push_back({"Wait", "1"});
    tasks.tasks.push_back({"Keystrokes", Notation(bench::Utf8(line))});
    tasks.expected += bench::Utf8(line);
    add(tasks);
    return texts;
}

}  // namespace

std::string Notation(const std::string& text)
{
    std::string notation;
    for (const char c : text) {
        if (std::string_view("+^%~(){}[]").find(c) != std::string_view::npos)
            notation += std::string("{") + c + "}";
        else if (c == '\n')
            notation += "~";
        else
            notation += c;
    }
    return notation;
}

MatrixText OneTask(const std::string& name, const std::string& text) { return {name, {{"Keystrokes", Notation(text)}}, text}; }

const MatrixText& TextNamed(const std::string& name)
{
    static const std::map<std::string, MatrixText> texts = MakeTexts();
    const auto found = texts.find(name);
    if (found == texts.end())
        throw std::invalid_argument("no matrix text " + name);
    return found->second;
}

Difference Compare(const std::string& expectedBytes, const std::string& gotBytes)
{
    const std::u32string expected = bench::Decode(expectedBytes), got = bench::Decode(gotBytes);
    Difference difference;
    difference.exact = expectedBytes == gotBytes;
    if (difference.exact)
        return difference;
    const auto mismatch = std::mismatch(expected.begin(), expected.end(), got.begin(), got.end());
    difference.firstDifference = static_cast<std::size_t>(mismatch.first - expected.begin());
    // The edit distance, then back along one cheapest path to tell lost, wrong and extra characters apart.
    const std::size_t rows = expected.size() + 1, columns = got.size() + 1;
    std::vector<std::uint32_t> cost(rows * columns);
    for (std::size_t i = 0; i < rows; ++i)
        for (std::size_t j = 0; j < columns; ++j)
            cost[i * columns + j] =
                i == 0 ? static_cast<std::uint32_t>(j)
                : j == 0 ? static_cast<std::uint32_t>(i)
                         : std::min({cost[(i - 1) * columns + j] + 1, cost[i * columns + j - 1] + 1,
                                     cost[(i - 1) * columns + j - 1] + (expected[i - 1] != got[j - 1])});
    for (std::size_t i = expected.size(), j = got.size(); i > 0 || j > 0;) {
        const std::uint32_t here = cost[i * columns + j];
        if (i > 0 && j > 0 && here == cost[(i - 1) * columns + j - 1] + (expected[i - 1] != got[j - 1])) {
            difference.wrong += expected[i - 1] != got[j - 1];
            --i, --j;
        } else if (i > 0 && here == cost[(i - 1) * columns + j] + 1) {
            ++difference.lost;
            --i;
        } else {
            ++difference.extra;
            --j;
        }
    }
    return difference;
}

std::string Difference::Describe(const std::string& expectedBytes, const std::string& gotBytes) const
{
    if (exact)
        return "exact";
    const std::u32string expected = bench::Decode(expectedBytes), got = bench::Decode(gotBytes);
    return "from character " + std::to_string(firstDifference) + " expected " + Excerpt(expected, firstDifference) +
           " got " + Excerpt(got, firstDifference) + "; " + std::to_string(got.size()) + " of " +
           std::to_string(expected.size()) + " arrived, " + std::to_string(lost) + " lost, " + std::to_string(wrong) +
           " wrong, " + std::to_string(extra) + " extra";
}

std::string WithoutEditorFrame(const std::string& expected, std::string saved)
{
    if (saved.rfind("\xEF\xBB\xBF", 0) == 0)
        saved.erase(0, 3);
    if (saved.size() == expected.size() + 1 && saved.back() == '\n' && saved.compare(0, expected.size(), expected) == 0)
        saved.pop_back();
    return saved;
}

}  // namespace kestrun::test
