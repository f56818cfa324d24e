// The planning of KWin fake input, checked by pressing every planned key on an xkbcommon state of the
// layout, as KWin does with its own keyboard.

#include "keys/KeyNotation.h"
#include "platform/wayland/KwinTypingPlan.h"
#include "platform/wayland/WaylandKeymap.h"
#include "tests/wayland/WaylandSession.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <set>

namespace kestrun {
namespace {

// What a client reads from the keys: each character or pasted text, Ctrl and Alt marked as a stroke
// would mark them; and whether any key was still down at the end of a piece.
struct Replayed {
    std::vector<KeyStroke> typed;
    bool keyLeftDown = false;
    int presses = 0;
};

Replayed Replay(const std::string& keymapText, const KwinTypingPlan& plan)
{
    Replayed result;
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    xkb_keymap* keymap = xkb_keymap_new_from_string(context, keymapText.c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                    XKB_KEYMAP_COMPILE_NO_FLAGS);
    xkb_state* state = xkb_state_new(keymap);
    const xkb_mod_index_t control = xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_CTRL);
    const xkb_mod_index_t alt = xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_ALT);
    for (const FakeInputPiece& piece : plan.pieces) {
        for (char32_t c : piece.paste)
            result.typed.push_back(KeyStroke::Character(c));
        std::set<std::uint32_t> down;
        for (const FakeKeyEvent& event : piece.keys) {
            const xkb_keycode_t code = event.code + 8;
            if (event.pressed) {
                ++result.presses;
                down.insert(code);
                const char32_t c = xkb_state_key_get_utf32(state, code);
                std::uint8_t modifiers = 0;
                if (xkb_state_mod_index_is_active(state, control, XKB_STATE_MODS_EFFECTIVE) > 0)
                    modifiers |= kControl;
                if (xkb_state_mod_index_is_active(state, alt, XKB_STATE_MODS_EFFECTIVE) > 0)
                    modifiers |= kAlt;
                // With Ctrl, xkbcommon gives control characters; the key's own character is what is meant.
                const xkb_keysym_t sym = xkb_state_key_get_one_sym(state, code);
                if (c != 0 || modifiers)
                    result.typed.push_back(KeyStroke::Character(modifiers ? xkb_keysym_to_utf32(sym) : c, modifiers));
            } else {
                down.erase(code);
            }
            xkb_state_update_key(state, code, event.pressed ? XKB_KEY_DOWN : XKB_KEY_UP);
        }
        result.keyLeftDown = result.keyLeftDown || !down.empty() ||
                             xkb_state_serialize_mods(state, XKB_STATE_MODS_DEPRESSED) != 0;
    }
    xkb_state_unref(state);
    xkb_keymap_unref(keymap);
    xkb_context_unref(context);
    return result;
}

std::vector<KeyStroke> Characters(const std::u32string& text, std::uint8_t modifiers = 0)
{
    std::vector<KeyStroke> strokes;
    for (char32_t c : text)
        strokes.push_back(KeyStroke::Character(c, modifiers));
    return strokes;
}

TEST(KwinTypingPlanTest, EveryLayoutsOwnCharactersArriveAsTypedAndNoKeyStaysDown)
{
    const struct Row {
        const char* layout;
        std::u32string text;
    } rows[] = {
        {"us", U"Hello, World! 0123456789 `-=[];'\\,./ ~!@#$%^&*()_+{}|:\"<>?"},
        {"de", U"Grüße aus Köln: 10 € für µ² & {[]} @ | ~ ZY"},
        {"fr", U"Où ça? 1234567890 àéèç ù € AZERTY"},
        {"ru", U"Съешь же ещё этих мягких французских булок. 123"},
        {"gr", U"Καλημερα ΑΒΓ ωψ"},
    };
    for (const Row& row : rows) {
        const std::string keymap = test::LayoutKeymap(row.layout);
        const KwinTypingPlan plan = PlanFakeInput(WaylandKeymap(keymap), Characters(row.text));
        ASSERT_TRUE(plan.ok()) << row.layout << ": " << plan.error;
        const Replayed replayed = Replay(keymap, plan);
        EXPECT_EQ(replayed.typed, Characters(row.text)) << row.layout;
        EXPECT_FALSE(replayed.keyLeftDown) << row.layout;
        for (const FakeInputPiece& piece : plan.pieces)
            EXPECT_TRUE(piece.paste.empty()) << row.layout << ": a character of the layout is pasted";
    }
}

TEST(KwinTypingPlanTest, ModifiersAreHeldAcrossStrokesAndTheNotationsOwnApply)
{
    const std::string keymap = test::LayoutKeymap("us");
    const WaylandKeymap layout(keymap);
    // Shift goes down once for a run of capitals: two presses a letter would halve the speed.
    const KwinTypingPlan capitals = PlanFakeInput(layout, Characters(U"ABCDEF"));
    EXPECT_EQ(Replay(keymap, capitals).presses, 7);

    const KeySequence shortcuts = ParseKeySequence("^a%f+(xy)z{ENTER}");
    const Replayed replayed = Replay(keymap, PlanFakeInput(layout, shortcuts.strokes));
    const std::vector<KeyStroke> expected = {KeyStroke::Character('a', kControl), KeyStroke::Character('f', kAlt),
                                             KeyStroke::Character('X'), KeyStroke::Character('Y'),
                                             KeyStroke::Character('z'), KeyStroke::Character('\r')};
    EXPECT_EQ(replayed.typed, expected);
    EXPECT_FALSE(replayed.keyLeftDown);
}

TEST(KwinTypingPlanTest, CharactersOffTheLayoutArePastedTogetherOrRefusedWhereAPasteCannotDo)
{
    const std::string keymap = test::LayoutKeymap("us");
    const WaylandKeymap layout(keymap);
    const KwinTypingPlan plan = PlanFakeInput(layout, Characters(U"Ab中文字 Ωx"));
    ASSERT_TRUE(plan.ok()) << plan.error;
    ASSERT_EQ(plan.pieces.size(), 5u);
    EXPECT_EQ(plan.pieces[1].paste, U"中文字");
    EXPECT_EQ(plan.pieces[3].paste, U"Ω");
    const Replayed replayed = Replay(keymap, plan);
    EXPECT_EQ(replayed.typed, Characters(U"Ab中文字 Ωx"));
    EXPECT_FALSE(replayed.keyLeftDown) << "Shift is down while pasting";

    const struct Row {
        std::vector<KeyStroke> strokes;
        const char* error;
    } refused[] = {
        {{KeyStroke::Character('a'), KeyStroke::Character(U'中', kControl)},
         "A character the keyboard layout lacks cannot be typed with Ctrl or Alt."},
        {{KeyStroke::Character('a'), KeyStroke::Character(U'Ω', kAlt)},
         "A character the keyboard layout lacks cannot be typed with Ctrl or Alt."},
    };
    for (const Row& row : refused) {
        const KwinTypingPlan failed = PlanFakeInput(layout, row.strokes);
        EXPECT_EQ(failed.error, row.error);
        EXPECT_TRUE(failed.pieces.empty());
    }
}

}  // namespace
}  // namespace kestrun
