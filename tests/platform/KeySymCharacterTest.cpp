#include "platform/KeySymCharacter.h"
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
