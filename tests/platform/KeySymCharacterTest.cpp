#include "platform/KeySymCharacter.h"
#include "platform/KeySyms.h"
#include "platform/x11/keyguard/NeutralKeyCodes.h"

#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

TEST(KeySymCharacter, LettersOfEveryScriptAreTheirCharactersKeysAreNone)
{
    const std::pair<unsigned long, char32_t> rows[] = {
        {0x061, U'a'}, {0x0e9, U'é'}, {0x6c1, U'а'}, {0x6e1, U'А'}, {0x7e1, U'α'}, {0x7f2, U'σ'}, {0x7f3, U'ς'},
        {0x1b1, U'ą'}, {0x1b3, U'ł'}, {0xce0, U'א'}, {0x5c7, U'ا'}, {0xda1, U'ก'}, {0x4b1, U'ア'},
        {0x20ac, U'€'}, {0x1000430, U'а'}, {0x101f600, U'😀'}, {0x020, U' '}, {0x0a0, U'\u00a0'},
        // Keys, not characters: dead keys, keypad, Tab and Enter, function keys, modifiers, vendor keys.
        {0xfe51, 0}, {0xfe50, 0}, {0xffb1, 0}, {0xffaa, 0}, {0xff09, 0}, {0xff0d, 0}, {0xffbe, 0},
        {0xffe1, 0}, {0xfe03, 0}, {0x1008ff73, 0}, {0, 0},
    };
    for (const auto& [keysym, character] : rows)
        EXPECT_EQ(KeySymCharacter(keysym), character) << std::hex << keysym;
}

TEST(KeySymFor, LatinOneAsItselfTheEuroByNameTheRestAsUnicodeKeysyms)
{
    const std::pair<KeyStroke, unsigned long> rows[] = {
        {KeyStroke::Character(U' '), 0x20}, {KeyStroke::Character(U'~'), 0x7e},
        {KeyStroke::Character(U'\u00a0'), 0xa0}, {KeyStroke::Character(U'ÿ'), 0xff},
        {KeyStroke::Character(U'\u007f'), 0x100007f}, {KeyStroke::Character(U'\u0085'), 0x1000085},
        {KeyStroke::Character(U'€'), 0x20ac}, {KeyStroke::Character(U'ł'), 0x1000142},
        {KeyStroke::Character(U'😀', kShift), 0x101f600},
        {KeyStroke::Named(NamedKey::Enter), 0xff0d}, {KeyStroke::Named(NamedKey::PageDown), 0xff56},
        {KeyStroke::Named(NamedKey::PageUp), 0xff55}, {KeyStroke::Named(NamedKey::Break), 0xff6b},
        {KeyStroke::Named(NamedKey::F1), 0xffbe}, {KeyStroke::Named(NamedKey::F12), 0xffc9},
        {KeyStroke::Named(NamedKey::F24), 0xffd5}, {KeyStroke::Named(NamedKey::KeypadDivide), 0xffaf},
    };
    for (const auto& [stroke, keysym] : rows)
        EXPECT_EQ(KeySymFor(stroke), keysym) << std::hex << keysym;
}

TEST(NeutralKeyCodes, OnlyTheCodesNoApplicationReadsAsAKey)
{
    int neutral = 0;
    for (std::uint32_t code = 0; code < 256; ++code)
        neutral += IsNeutralKeyCode(code);
    EXPECT_EQ(neutral, 14);
    // XF86Reload, Back, Forward, Copy, Paste, Open, AudioMute, and letters.
    for (std::uint32_t code : {181u, 166u, 167u, 141u, 143u, 142u, 121u, 38u, 7u})
        EXPECT_FALSE(IsNeutralKeyCode(code)) << code;
}

}  // namespace
}  // namespace kestrun::test
