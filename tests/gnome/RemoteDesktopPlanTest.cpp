// What the GNOME back-end decides without a desktop: the layout's characters, the plan of keys and
// pastes, the input source names, the wait for a first window.

#include "platform/gnome/GnomeInputSources.h"
#include "platform/gnome/GnomeWindowActivator.h"
#include "platform/gnome/LayoutCharacters.h"
#include "platform/gnome/RemoteDesktopPlan.h"

#include <gtest/gtest.h>

#include <xkbcommon/xkbcommon-keysyms.h>

namespace kestrun {
namespace {

using namespace std::chrono_literals;

KeyStroke C(char32_t c, std::uint8_t modifiers = 0) { return KeyStroke::Character(c, modifiers); }

TEST(LayoutCharacters, GivesEachCharacterTheLayoutsOwnKeysym)
{
    struct Row {
        const char* layout;
        const char* variant;
        char32_t character;
        unsigned long keysym;  // 0: not on the layout
    } rows[] = {
        {"us", "", U'a', XKB_KEY_a},
        {"us", "", U'A', XKB_KEY_A},
        {"us", "", U'@', XKB_KEY_at},
        {"us", "", U'ж', 0},
        {"us", "", U'é', 0},
        {"ru", "", U'ж', XKB_KEY_Cyrillic_zhe},  // not the Unicode keysym 0x1000436
        {"ru", "", U'Ж', XKB_KEY_Cyrillic_ZHE},
        {"de", "", U'ß', XKB_KEY_ssharp},
        {"de", "", U'€', XKB_KEY_EuroSign},      // third level
        {"de", "nodeadkeys", U'^', XKB_KEY_asciicircum},
        {"de", "", U'^', 0},                      // a dead key types no character of its own
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.layout) + "+" + row.variant + " U+" + std::to_string(row.character));
        const LayoutCharacters layout(row.layout, row.variant);
        ASSERT_FALSE(layout.empty());
        EXPECT_EQ(layout.KeySymOf(row.character), row.keysym);
    }
    const LayoutCharacters us("us", "");
    EXPECT_TRUE(us.Carries(XKB_KEY_Return));
    EXPECT_TRUE(us.Carries(XKB_KEY_Shift_L));
    EXPECT_FALSE(us.Carries(XKB_KEY_Cyrillic_zhe));
}

TEST(RemoteDesktopPlan, TypesTheLayoutsKeysAndPastesTheRest)
{
    const LayoutCharacters us("us", "");
    const LayoutCharacters ru("ru", "");
    struct Row {
        const char* what;
        const LayoutCharacters& layout;
        std::vector<KeyStroke> strokes;
        std::vector<RemoteStep> steps;
    } rows[] = {
        {"plain and shifted", us, {C('a'), C('B'), C('a', kShift)}, {{XKB_KEY_a, 0, {}}, {XKB_KEY_B, 0, {}}, {XKB_KEY_a, kShift, {}}}},
        {"neighbours outside the layout, one paste", us, {C(U'é'), C(U'€'), C('x'), C(U'中')},
         {{0, 0, "é€"}, {XKB_KEY_x, 0, {}}, {0, 0, "中"}}},
        {"a shortcut of the layout", us, {C('c', kControl)}, {{XKB_KEY_c, kControl, {}}}},
        {"the layout's own Cyrillic", ru, {C(U'ж'), C('a')}, {{XKB_KEY_Cyrillic_zhe, 0, {}}, {0, 0, "a"}}},
        {"named keys", us, {KeyStroke::Named(NamedKey::Enter), KeyStroke::Named(NamedKey::Tab, kShift)},
         {{XKB_KEY_Return, 0, {}}, {XKB_KEY_Tab, kShift, {}}}},
        {"letters under Caps Lock go as their other case", us,
         {KeyStroke::Named(NamedKey::CapsLock), C('a'), C('B'), C('1'), KeyStroke::Named(NamedKey::CapsLock), C('c')},
         {{XKB_KEY_Caps_Lock, 0, {}}, {XKB_KEY_A, 0, {}}, {XKB_KEY_b, 0, {}}, {XKB_KEY_1, 0, {}},
          {XKB_KEY_Caps_Lock, 0, {}}, {XKB_KEY_c, 0, {}}}},
        {"Cyrillic under Caps Lock", ru, {KeyStroke::Named(NamedKey::CapsLock), C(U'ж')},
         {{XKB_KEY_Caps_Lock, 0, {}}, {XKB_KEY_Cyrillic_ZHE, 0, {}}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const RemoteTypingPlan plan = PlanRemoteTyping(row.strokes, row.layout);
        ASSERT_TRUE(plan.ok()) << plan.error;
        ASSERT_EQ(plan.steps.size(), row.steps.size());
        for (std::size_t i = 0; i < row.steps.size(); ++i) {
            EXPECT_EQ(plan.steps[i].keysym, row.steps[i].keysym) << "step " << i;
            EXPECT_EQ(plan.steps[i].modifiers, row.steps[i].modifiers) << "step " << i;
            EXPECT_EQ(plan.steps[i].paste, row.steps[i].paste) << "step " << i;
        }
    }
}

TEST(RemoteDesktopPlan, RefusesAShortcutNoPasteCanGiveAndPlansNothing)
{
    const LayoutCharacters us("us", "");
    for (const std::uint8_t modifiers : {kControl, kAlt, kShift}) {
        const RemoteTypingPlan plan = PlanRemoteTyping({C('a'), C(U'ж', modifiers), C('b')}, us);
        EXPECT_EQ(plan.error, "\"ж\" is not on the keyboard layout, so it cannot be typed with Shift, Ctrl or Alt.");
        EXPECT_TRUE(plan.steps.empty());
    }
}

TEST(InputSources, ReadsXkbSourcesOnly)
{
    struct Row {
        const char* type;
        const char* id;
        bool ok;
        const char* layout;
        const char* variant;
    } rows[] = {
        {"xkb", "us", true, "us", ""},
        {"xkb", "de+nodeadkeys", true, "de", "nodeadkeys"},
        {"xkb", "", false, "", ""},
        {"ibus", "anthy", false, "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.type) + " " + row.id);
        InputSourceLayout layout;
        ASSERT_EQ(ParseInputSource(row.type, row.id, layout), row.ok);
        if (row.ok) {
            EXPECT_EQ(layout.layout, row.layout);
            EXPECT_EQ(layout.variant, row.variant);
        }
    }
}

TEST(InputSources, TakesTheFirstXkbLayoutOfWhatGsettingsPrints)
{
    struct Row {
        const char* printed;
        bool ok;
        const char* layout;
        const char* variant;
    } rows[] = {
        {"[('xkb', 'de+nodeadkeys'), ('xkb', 'us')]\n", true, "de", "nodeadkeys"},
        {"[('ibus', 'anthy'), ('xkb', 'ru')]\n", true, "ru", ""},
        {"@a(ss) []\n", false, "", ""},
        {"", false, "", ""},
        {"No such schema \u201corg.gnome.desktop.input-sources\u201d", false, "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.printed);
        InputSourceLayout layout;
        ASSERT_EQ(FirstInputSourceLayout(row.printed, layout), row.ok);
        if (row.ok) {
            EXPECT_EQ(layout.layout, row.layout);
            EXPECT_EQ(layout.variant, row.variant);
        }
    }
}

TEST(GnomeWindowActivator, WaitsForAFirstWindowOnlyWhileTheProgramIsYoung)
{
    struct Row {
        std::chrono::milliseconds age, limit, wait;
    } rows[] = {
        {0ms, 10000ms, 3000ms},
        {1000ms, 10000ms, 2000ms},
        {5000ms, 10000ms, 0ms},
        {0ms, 500ms, 500ms},
    };
    for (const Row& row : rows)
        EXPECT_EQ(TimeToFirstWindow(row.age, row.limit), row.wait) << row.age.count() << " ms old";
}

}  // namespace
}  // namespace kestrun
