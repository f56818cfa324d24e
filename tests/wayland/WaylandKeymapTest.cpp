// The planning of a virtual keyboard's keymaps, checked by replaying every
// planned key through xkbcommon with the keymap it is typed with.

#include "keys/KeyNotation.h"
#include "platform/wayland/CompositorIpc.h"
#include "platform/wayland/ForeignToplevels.h"
#include "platform/wayland/WaylandKeymap.h"
#include "tests/wayland/WaylandSession.h"

#include <gtest/gtest.h>
#include <xkbcommon/xkbcommon.h>

#include <cstdlib>
#include <memory>

namespace kestrun {
namespace {

using test::LayoutKeymap;

// What a client with the planned keymaps reads from the planned keys: the
// keysym of each, Ctrl and Alt marked as a stroke would mark them.
std::vector<KeyStroke> Replay(const WaylandTypingPlan& plan)
{
    xkb_context* context = xkb_context_new(XKB_CONTEXT_NO_FLAGS);
    std::vector<KeyStroke> typed;
    for (std::size_t k = 0; k < plan.keymaps.size(); ++k) {
        xkb_keymap* keymap = xkb_keymap_new_from_string(context, plan.keymaps[k].c_str(), XKB_KEYMAP_FORMAT_TEXT_V1,
                                                        XKB_KEYMAP_COMPILE_NO_FLAGS);
        EXPECT_NE(keymap, nullptr) << "keymap " << k << " does not compile";
        if (!keymap)
            break;
        xkb_state* state = xkb_state_new(keymap);
        const xkb_mod_mask_t control = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_CTRL);
        const xkb_mod_mask_t alt = 1u << xkb_keymap_mod_get_index(keymap, XKB_MOD_NAME_ALT);
        for (const WaylandKeyStep& step : plan.steps) {
            if (step.keymap != k)
                continue;
            xkb_state_update_mask(state, step.modifiers, 0, 0, 0, 0, 0);
            const xkb_keysym_t sym = xkb_state_key_get_one_sym(state, step.code + 8);
            std::uint8_t held = 0;
            if (step.modifiers & control) held |= kControl;
            if (step.modifiers & alt) held |= kAlt;
            typed.push_back(KeyStroke::Character(xkb_keysym_to_utf32(sym) ? xkb_keysym_to_utf32(sym) : sym, held));
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
        const std::uint8_t held = stroke.modifiers & (kControl | kAlt);
        if (stroke.named) {
            xkb_keysym_t sym = 0;
            if (stroke.key == NamedKey::Enter) sym = XKB_KEY_Return;
            else if (stroke.key == NamedKey::Tab) sym = XKB_KEY_Tab;
            else if (stroke.key == NamedKey::F5) sym = XKB_KEY_F5;
            expected.push_back(KeyStroke::Character(xkb_keysym_to_utf32(sym) ? xkb_keysym_to_utf32(sym) : sym, held));
            continue;
        }
        char32_t c = stroke.character;
        if ((stroke.modifiers & kShift) && c < 0x80)
            c = static_cast<char32_t>(std::toupper(static_cast<int>(c)));
        expected.push_back(KeyStroke::Character(c, held));
    }
    return expected;
}

std::string Cjk(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        const char32_t c = U'\u4E00' + i;
        text += static_cast<char>(0xE0 | (c >> 12));
        text += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (c & 0x3F));
    }
    return text;
}

struct PlanCase {
    const char* layout;
    std::string text;
    std::size_t keymaps;  // how many the plan may upload
};

void PrintTo(const PlanCase& c, std::ostream* out)
{
    *out << c.layout << ", " << c.text.size() << " bytes";
}

class WaylandKeymapPlanTest : public ::testing::TestWithParam<PlanCase> {};

TEST_P(WaylandKeymapPlanTest, EveryKeyReadsAsItsStroke)
{
    const PlanCase& c = GetParam();
    const WaylandKeymap layout(LayoutKeymap(c.layout));
    const KeySequence sequence = ParseKeySequence(c.text);
    ASSERT_TRUE(sequence.ok()) << sequence.error;
    const WaylandTypingPlan plan = layout.Plan(sequence.strokes);
    ASSERT_TRUE(plan.ok()) << plan.error;
    EXPECT_EQ(plan.keymaps.size(), c.keymaps);
    EXPECT_EQ(Replay(plan), Expected(sequence.strokes));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, WaylandKeymapPlanTest,
    ::testing::Values(PlanCase{"us", "Hello, World! `{~}!@#$&*_|:\"<>?{+}{^}{%}{(}{)}{{}{}}", 1},
                      PlanCase{"us", "^(ac)%{F5}+(xyz){TAB}~", 1},
                      PlanCase{"de", "äöüß @€ {{}{}} yz ZY", 1},
                      PlanCase{"fr", "azerty àéèç 1234 AZ", 1},
                      PlanCase{"us", "äöü ΑΒΓ жизнь 中文 ✓→ 😀 +(ж)", 1},
                      PlanCase{"de", "ж" + Cjk(150) + "ж" + Cjk(150), 1}),
    [](const ::testing::TestParamInfo<PlanCase>& info) {
        return info.param.layout + std::to_string(info.index);
    });

TEST(WaylandKeymapTest, MoreForeignCharactersThanPlacesChangeTheKeymapMidway)
{
    const WaylandKeymap layout(LayoutKeymap("us"));
    std::vector<KeyStroke> strokes;
    for (std::size_t i = 0; i <= 2 * layout.FreeCodes(); ++i)
        strokes.push_back(KeyStroke::Character(U'\u4E00' + static_cast<char32_t>(i), i % 3 ? 0 : kShift));
    const WaylandTypingPlan plan = layout.Plan(strokes);
    ASSERT_TRUE(plan.ok()) << plan.error;
    EXPECT_EQ(plan.keymaps.size(), 2u);
    EXPECT_EQ(Replay(plan), Expected(strokes));
    EXPECT_THROW(WaylandKeymap("xkb_keymap { nonsense"), std::exception);
}

TEST(CompositorIpcTest, FindsEveryProcessIdInAListing)
{
    EXPECT_EQ(PidsInJson(R"({ "pid": 12, "nodes": [ { "pid":345 }, { "app_id": "pid", "pid" : 6 } ] })"),
              (std::set<long>{6, 12, 345}));
    EXPECT_TRUE(PidsInJson(R"({ "pid": null, "name": "\"pid\": 7 is text", "pid": -3 })").empty());
    EXPECT_TRUE(PidsInJson("").empty());
}

TEST(ForeignToplevelsTest, AppIdsNameTheirPrograms)
{
    const struct {
        const char* appId;
        const char* program;
        bool names;
    } cases[] = {
        {"foot", "foot", true},        {"Foot", "foot", true},       {"org.gnome.Gedit", "gedit", true},
        {"org.gnome.Gedit", "gnome", false}, {"footclient", "foot", false}, {"", "", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(AppIdNames(c.appId, c.program), c.names) << c.appId << " / " << c.program;
}

}  // namespace
}  // namespace kestrun
