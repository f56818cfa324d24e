// Which key of a layout types a character, on keymaps that xkbcommon builds
// from xkeyboard-config's layouts, as a compositor or the X server has them.

#include "platform/LayoutKeys.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <memory>
#include <string>

namespace kestrun {
namespace {

constexpr std::uint32_t kShift = 0x1, kControl = 0x4, kMod1 = 0x8, kMod5 = 0x80;

struct KeymapDeleter {
    void operator()(xkb_keymap* keymap) const { xkb_keymap_unref(keymap); }
};

std::unique_ptr<LayoutKeys> Layout(const std::string& layout)
{
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_ENVIRONMENT_NAMES);
    const xkb_rule_names names{"evdev", "pc105", layout.c_str(), "", ""};
    const std::unique_ptr<xkb_keymap, KeymapDeleter> keymap(
        xkb_keymap_new_from_names(context, &names, XKB_KEYMAP_COMPILE_NO_FLAGS));
    xkb_context_unref(context);
    if (!keymap)
        return nullptr;
    return std::make_unique<LayoutKeys>(keymap.get());
}

struct CharacterRow {
    const char* layout;
    std::uint32_t group;
    char32_t character;
    std::uint32_t code;  // 0: no key types it
    std::uint32_t modifiers;
};

TEST(LayoutKeys, FindsEachCharacterOnTheKeyOfItsLayout)
{
    const CharacterRow rows[] = {
        {"us", 0, U'a', 38, 0},
        {"us", 0, U'A', 38, kShift},
        {"us", 0, U'1', 10, 0},          // the main row, not the keypad
        {"us", 0, U'\u00e4', 0, 0},      // ä is no key of us
        {"de", 0, U'\u00e4', 48, 0},
        {"de", 0, U'@', 24, kMod5},      // AltGr+q
        {"ru", 0, U'\u0430', 41, 0},     // а, where us has f: by character, not keysym
        {"ru", 0, U'\u0401', 49, kShift},
        {"gr", 0, U'\u03b1', 38, 0},
        {"pl", 0, U'\u0105', 38, kMod5}, // ą is AltGr+a
        {"fr", 0, U'\u00e9', 11, 0},
        // fr's ^ key is a dead key: the character comes from AltGr+9.
        {"fr", 0, U'^', 18, kMod5},
        {"us,ru", 1, U'\u0444', 38, 0},  // the second group locked
        {"us,ru", 0, U'\u0444', 0, 0},   // the first: no Cyrillic
        {"us,ru", 1, U'a', 0, 0},        // nor Latin in the second
    };
    for (const CharacterRow& row : rows) {
        SCOPED_TRACE(std::string(row.layout) + " U+" + std::to_string(static_cast<unsigned>(row.character)));
        const auto layout = Layout(row.layout);
        ASSERT_TRUE(layout);
        layout->SetState(row.group, 0);
        const std::optional<LayoutKey> key = layout->FindCharacter(row.character, 0);
        if (row.code == 0) {
            EXPECT_FALSE(key) << "on code " << key->code;
            continue;
        }
        ASSERT_TRUE(key);
        EXPECT_EQ(key->code, row.code);
        EXPECT_EQ(key->modifiers, row.modifiers);
    }
}

TEST(LayoutKeys, HeldModifiersAndLocksChooseTheLevel)
{
    const auto us = Layout("us");
    ASSERT_TRUE(us);
    // Ctrl and Alt leave the letters' levels alone.
    EXPECT_EQ(us->FindCharacter(U'a', kControl | kMod1)->modifiers, 0u);
    // With Caps Lock locked, the shifted level of a letter is its plain one.
    us->SetState(0, 0x2);
    const auto capital = us->FindCharacter(U'A', 0);
    ASSERT_TRUE(capital);
    EXPECT_EQ(capital->modifiers, 0u);
    us->SetState(0, 0);
    EXPECT_EQ(us->FindCharacter(U'A', 0)->modifiers, kShift);
    // Named keys by keysym, the keypad's among them.
    EXPECT_EQ(us->FindKeysym(XKB_KEY_Return, 0)->code, 36u);
    EXPECT_EQ(us->FindKeysym(XKB_KEY_KP_Enter, 0)->code, 104u);
}

TEST(LayoutKeys, SkippedAndHighCodesAreNotUsed)
{
    const auto us = Layout("us");
    ASSERT_TRUE(us);
    us->Skip({38});
    EXPECT_FALSE(us->FindCharacter(U'a', 0));
    EXPECT_EQ(us->FindCharacter(U'b', 0)->code, 56u);
    // xkeyboard-config puts keys above 255, which no X program reads.
    EXPECT_TRUE(us->FindKeysym(XKB_KEY_XF86Keyboard, 0));
    us->SetHighestCode(255);
    EXPECT_FALSE(us->FindKeysym(XKB_KEY_XF86Keyboard, 0));
}

TEST(LayoutKeys, KnowsTheModifierKeysAndWhatTheySet)
{
    const auto us = Layout("us");
    ASSERT_TRUE(us);
    EXPECT_EQ(us->ModifierKey(kShift), 50u);
    EXPECT_EQ(us->ModifierKey(kControl), 37u);
    EXPECT_EQ(us->AltMask(), kMod1);
    EXPECT_EQ(us->ModifierKey(kMod1), 64u);
    EXPECT_EQ(us->Level3Mask(), kMod5);
    EXPECT_EQ(us->ModifierKey(0x10), 0u);  // nothing sets Mod2 when pressed alone
    const struct {
        std::uint32_t code;
        bool changes;
    } keys[] = {{50, true}, {66, true}, {92, true}, {38, false}, {191, false}, {4000, false}};
    for (const auto& key : keys)
        EXPECT_EQ(us->ChangesState(key.code), key.changes) << key.code;
}

TEST(LayoutKeys, FreeCodesHoldOnlySpareKeysyms)
{
    const auto de = Layout("de");
    ASSERT_TRUE(de);
    const auto noCharacter = [](unsigned long sym) { return xkb_keysym_to_utf32(static_cast<xkb_keysym_t>(sym)) == 0; };
    // F13 and F14 type no character; a letter key, and one with a third
    // level (de's <LSGT> holds |), do; a code without a key is free.
    EXPECT_EQ(de->FreeCodes({191, 38, 94, 192, 250}, noCharacter), (std::vector<std::uint32_t>{191, 192, 250}));
    EXPECT_TRUE(de->HoldsOnly(191, noCharacter));
    EXPECT_FALSE(de->HoldsOnly(94, [](unsigned long sym) { return sym != XKB_KEY_bar; }));
}

}  // namespace
}  // namespace kestrun
