// The planning of a virtual keyboard's keymaps, checked by replaying every
// planned key through xkbcommon with the keymap it is typed with.

#include "keys/KeyNotation.h"
#include "platform/wayland/ForeignToplevels.h"
#include "platform/wayland/WaylandKeymap.h"
#include "tests/wayland/WaylandSession.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <cctype>
#include <set>
#include <tuple>

namespace kestrun {
namespace {

char32_t Read(xkb_keysym_t sym) { return xkb_keysym_to_utf32(sym) ? xkb_keysym_to_utf32(sym) : sym; }

// What a client with the planned keymaps reads from the planned keys: the
// keysym of each, Ctrl and Alt marked as a stroke would mark them.
std::vector<KeyStroke> Replay(const WaylandTypingPlan& plan)
{
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    std::vector<KeyStroke> typed;
    for (std::size_t k = 0; k < plan.keymaps.size(); ++k) {
        xkb_keymap* keymap = xkb_keymap_new_from_string(context, plan.keymaps[k].c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                        XKB_KEYMAP_COMPILE_NO_FLAGS);
        if (!keymap) {
            ADD_FAILURE() << "keymap " << k << " does not compile";
            break;
        }
        xkb_state* state = xkb_state_new(keymap);
        const xkb_mod_mask_t control = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_CTRL);
        const xkb_mod_mask_t alt = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_ALT);
        for (const WaylandKeyStep& step : plan.steps)
            if (step.keymap == k) {
                xkb_state_update_mask(state, step.modifiers, 0, 0, 0, 0, 0);
                typed.push_back(KeyStroke::Character(Read(xkb_state_key_get_one_sym(state, step.code + 8)),
                                                     (step.modifiers & control ? kControl : 0) |
                                                         (step.modifiers & alt ? kAlt : 0)));
            }
        xkb_state_unref(state);
        xkb_keymap_unref(keymap);
    }
    xkb_context_unref(context);
    return typed;
}

// What the strokes should read as: characters themselves (Shift is in the
// character), named keys by their keysym.
std::vector<KeyStroke> Expected(const std::vector<KeyStroke>& strokes)
{
    std::vector<KeyStroke> expected;
    for (const KeyStroke& stroke : strokes) {
        char32_t c = stroke.character;
        if (stroke.named)
            c = Read(stroke.key == NamedKey::Enter ? XKB_KEY_Return : stroke.key == NamedKey::Tab ? XKB_KEY_Tab : XKB_KEY_F5);
        else if ((stroke.modifiers & kShift) && c < 0x80)
            c = static_cast<char32_t>(std::toupper(static_cast<int>(c)));
        expected.push_back(KeyStroke::Character(c, stroke.modifiers & (kControl | kAlt)));
    }
    return expected;
}

// Every key of the plan for each text reads as its stroke, with at most as
// many keymaps as given: foreign characters that come again keep their key.
TEST(WaylandKeymapTest, EveryPlannedKeyReadsAsItsStroke)
{
    std::string cjk;
    for (char32_t c = U'\u4E00'; c < U'\u4E00' + 100; ++c)
        cjk += {char(0xE0 | c >> 12), char(0x80 | (c >> 6 & 0x3F)), char(0x80 | (c & 0x3F))};
    const std::pair<const char*, std::string> cases[] = {
        {"us", "Hello, World! `{~}!@#$&*_|:\"<>?{+}{^}{%}{(}{)}{{}{}}"},
        {"us", "^(ac)%{F5}+(xyz){TAB}~"},
        {"de", "äöüß @€ {{}{}} yz ZY"},
        {"fr", "azerty àéèç 1234 AZ"},
        {"us", "äöü ΑΒΓ жизнь 中文 ✓→ 😀 +(ж)"},
        {"de", "ж" + cjk + "ж" + cjk},
        {"br", "a/b?c ж/Ж"},  // IntlRo types / and ? on this layout
    };
    for (const auto& [layout, text] : cases) {
        const KeySequence sequence = ParseKeySequence(text);
        const WaylandTypingPlan plan = WaylandKeymap(test::LayoutKeymap(layout)).Plan(sequence.strokes);
        ASSERT_TRUE(sequence.ok() && plan.ok()) << text;
        EXPECT_EQ(plan.keymaps.size(), 1u) << text;
        EXPECT_EQ(Replay(plan), Expected(sequence.strokes)) << layout << ": " << text;
    }
}

// Chromium drops keys whose code stands for no physical key it knows, and X
// programs read no code above 255: the characters a layout lacks go on F13 to
// F24, IntlRo and IntlYen only, on all eight levels.
TEST(WaylandKeymapTest, ForeignCharactersGoOnKeysEveryClientReads)
{
    const WaylandKeymap layout(test::LayoutKeymap("us"));
    ASSERT_EQ(layout.FreePlaces(), 14u * 8);
    std::vector<KeyStroke> strokes;
    for (char32_t c = U'\u4E00'; c < U'\u4E00' + 14 * 8; ++c)
        strokes.push_back(KeyStroke::Character(c));
    const WaylandTypingPlan plan = layout.Plan(strokes);
    ASSERT_TRUE(plan.ok() && plan.keymaps.size() == 1) << plan.error;
    std::set<std::uint32_t> codes;
    std::set<std::uint32_t> modifiers;
    for (const WaylandKeyStep& step : plan.steps) {
        codes.insert(step.code + 8);
        modifiers.insert(step.modifiers);
    }
    std::set<std::uint32_t> expected = {97, 132};
    for (std::uint32_t code = 191; code <= 202; ++code)
        expected.insert(code);
    EXPECT_EQ(codes, expected);
    EXPECT_EQ(modifiers.size(), 8u) << "not every level is used";
    EXPECT_EQ(Replay(plan), Expected(strokes));

    const WaylandTypingPlan euro = layout.Plan({KeyStroke::Character(U'€')});  // on code 443 in the layout
    ASSERT_EQ(euro.steps.size(), 1u);
    EXPECT_TRUE(expected.contains(euro.steps[0].code + 8)) << euro.steps[0].code + 8;
}

TEST(WaylandKeymapTest, ATextTheLayoutTypesAloneKeepsItsKeymap)
{
    const WaylandKeymap layout(test::LayoutKeymap("de"));
    const KeySequence sequence = ParseKeySequence("Grüße {F5}+(xyz)~");
    const WaylandTypingPlan plan = layout.Plan(sequence.strokes);
    ASSERT_TRUE(sequence.ok() && plan.ok() && plan.keymaps.size() == 1);
    EXPECT_TRUE(plan.keymaps[0] == layout.Canonical());
}

TEST(WaylandKeymapTest, MoreForeignCharactersThanPlacesChangeTheKeymapMidway)
{
    const WaylandKeymap layout(test::LayoutKeymap("us"));
    std::vector<KeyStroke> strokes;
    for (std::size_t i = 0; i <= layout.FreePlaces(); ++i)
        strokes.push_back(KeyStroke::Character(U'\u4E00' + static_cast<char32_t>(i), i % 3 ? 0 : kShift));
    const WaylandTypingPlan plan = layout.Plan(strokes);
    ASSERT_TRUE(plan.ok()) << plan.error;
    EXPECT_EQ(plan.keymaps.size(), 2u);
    EXPECT_EQ(Replay(plan), Expected(strokes));
    EXPECT_THROW(WaylandKeymap("xkb_keymap { nonsense"), std::exception);
}

TEST(ForeignToplevelsTest, AppIdsNameTheirPrograms)
{
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"foot", "foot", true},        {"Foot", "foot", true},       {"org.gnome.Gedit", "gedit", true},
        {"org.gnome.Gedit", "gnome", false}, {"footclient", "foot", false}, {"", "", false},
    };
    for (const auto& [appId, program, names] : cases)
        EXPECT_EQ(AppIdNames(appId, program), names) << appId << " / " << program;
}

}  // namespace
}  // namespace kestrun
