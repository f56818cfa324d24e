#include "keys/KeyNotation.h"

#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

using Strokes = std::vector<KeyStroke>;

KeyStroke C(char32_t c, std::uint8_t modifiers = 0) { return KeyStroke::Character(c, modifiers); }
KeyStroke N(NamedKey key, std::uint8_t modifiers = 0) { return KeyStroke::Named(key, modifiers); }

TEST(KeyNotationTest, ReadsWellFormedTexts)
{
    const std::vector<std::pair<std::string, Strokes>> cases = {
        {"", {}},
        {"aB 1", {C('a'), C('B'), C(' '), C('1')}},
        {"~", {N(NamedKey::Enter)}},
        {"a\nb\r\nc\rd\te", {C('a'), N(NamedKey::Enter), C('b'), N(NamedKey::Enter), C('c'), N(NamedKey::Enter),
                             C('d'), N(NamedKey::Tab), C('e')}},
        {"{ENTER}{enter}{Tab}{BKSP}{DEL}{INS}{HOME}{END}{ESCAPE}{PGDN}{PRTSC}{SCROLLLOCK}{F1}{f12}{F24}{ADD}{DIVIDE}",
         {N(NamedKey::Enter), N(NamedKey::Enter), N(NamedKey::Tab), N(NamedKey::Backspace), N(NamedKey::Delete),
          N(NamedKey::Insert), N(NamedKey::Home), N(NamedKey::End), N(NamedKey::Escape), N(NamedKey::PageDown), N(NamedKey::PrintScreen), N(NamedKey::ScrollLock), N(NamedKey::F1), N(NamedKey::F12),
          N(NamedKey::F24), N(NamedKey::KeypadAdd), N(NamedKey::KeypadDivide)}},
        {"{+}{^}{%}{~}{(}{)}{{}{}}{[}{]}[]",
         {C('+'), C('^'), C('%'), C('~'), C('('), C(')'), C('{'), C('}'), C('['), C(']'), C('['), C(']')}},
        {"+a^b%c+^%d", {C('a', kShift), C('b', kControl), C('c', kAlt), C('d', kShift | kControl | kAlt)}},
        {"^(ac)x", {C('a', kControl), C('c', kControl), C('x')}},
        {"+(a^(b)c)", {C('a', kShift), C('b', kShift | kControl), C('c', kShift)}},
        {"%{F4}^~+{TAB}", {N(NamedKey::F4, kAlt), N(NamedKey::Enter, kControl), N(NamedKey::Tab, kShift)}},
        {"{TAB 3}", {N(NamedKey::Tab), N(NamedKey::Tab), N(NamedKey::Tab)}},
        {"{x 2}{} 2}{  2}", {C('x'), C('x'), C('}'), C('}'), C(' '), C(' ')}},
        {"+{a 2}{b 0}", {C('a', kShift), C('a', kShift)}},
        {"é€Ωж😀{ü}", {C(U'é'), C(U'€'), C(U'Ω'), C(U'ж'), C(U'😀'), C(U'ü')}},
    };
    for (const auto& [text, expected] : cases) {
        const KeySequence sequence = ParseKeySequence(text);
        EXPECT_TRUE(sequence.ok()) << text << ": " << sequence.error;
        EXPECT_EQ(sequence.strokes, expected) << text;
    }
}

TEST(KeyNotationTest, RejectsMalformedTextsWhole)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"ab{ENTER", "Character 3: \"{\" has no closing \"}\"."},
        {"a{}", "Character 2: \"{}\" names no key."},
        {"a}", "Character 2: \"}\" closes no brace; write {}} for the character."},
        {"(ab", "Character 1: the group opened here has no closing \")\"."},
        {"ab)", "Character 3: \")\" closes no group."},
        {"é{FOO}", "Character 2: {FOO} is not a key name."},
        {"{F25}", "Character 1: {F25} is not a key name."},
        {"{TAB x}", "Character 6: the repeat count \"x\" is not a whole number."},
        {"{TAB }", "Character 6: a repeat count is missing after the blank."},
        {"{a 10001}", "Character 4: the repeat count is larger than 10000."},
        {"{a 99999999999999999999999}", "Character 4: the repeat count is larger than 10000."},
        {"ab+", "Character 3: a modifier (+, ^ or %) has no key after it."},
        {"++a", "Character 2: the same modifier is given twice."},
        {"a\x01", "Character 2: control characters cannot be typed; use a braced key name instead."},
        {"a\xC3", "Character 2: the text is not valid UTF-8."},
        {"\xED\xA0\x80", "Character 1: the text is not valid UTF-8."},
    };
    for (const auto& [text, error] : cases) {
        const KeySequence sequence = ParseKeySequence(text);
        EXPECT_EQ(sequence.error, error) << text;
        EXPECT_TRUE(sequence.strokes.empty()) << text;
    }
}

TEST(KeyNotationTest, RefusesSequencesOfMoreThan100000Keys)
{
    std::string text;
    for (int k = 0; k < 10; ++k)
        text += "{a 10000}";
    EXPECT_EQ(ParseKeySequence(text).strokes.size(), 100000u);
    EXPECT_EQ(ParseKeySequence(text + "b").error, "Character 91: the sequence is longer than 100000 keys.");
}

}  // namespace
}  // namespace kestrun::test
