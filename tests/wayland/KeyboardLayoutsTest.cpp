// The user's layout as the compositor reports it, found in xkeyboard-config's list.

#include "platform/wayland/KeyboardLayouts.h"

#include <gtest/gtest.h>

#include <tuple>

namespace kestrun {
namespace {

const LayoutList kList(
    "! model\n  pc105           Generic 105-key PC\n\n"
    "! layout\n  us              English (US)\n  de              German\n  by              Belarusian\n\n"
    "! variant\n  nodeadkeys      de: German (no dead keys)\n  ru              by: Russian (Belarus)\n"
    "  intl            us: English (US, intl., with dead keys)\n\n"
    "! option\n  grp             Switching to another layout\n");

TEST(KeyboardLayoutsTest, DescriptionsNameLayoutsAndVariants)
{
    const std::tuple<const char*, std::optional<LayoutName>> cases[] = {
        {"English (US)", LayoutName{"us", ""}},
        {"German (no dead keys)", LayoutName{"de", "nodeadkeys"}},
        {"Russian (Belarus)", LayoutName{"by", "ru"}},
        {"English (US, intl., with dead keys)", LayoutName{"us", "intl"}},
        {"Generic 105-key PC", std::nullopt},  // a model, not a layout
        {"Switching to another layout", std::nullopt},
        {"", std::nullopt},
        {"(unnamed)", std::nullopt},
    };
    for (const auto& [description, name] : cases)
        EXPECT_EQ(kList.Find(description), name) << description;
    EXPECT_EQ(kList.Describe({"de", "nodeadkeys"}), "German (no dead keys)");
    EXPECT_EQ(kList.Describe({"de", "nosuch"}), "");

    // Windows line endings, tabs between the columns
    const LayoutList crlf("! layout\r\n\tde\tGerman \r\n! variant\r\n  nodeadkeys\t de: German (no dead keys)\r\n");
    EXPECT_EQ(crlf.Find("German"), (LayoutName{"de", ""}));
    EXPECT_EQ(crlf.Find("German (no dead keys)"), (LayoutName{"de", "nodeadkeys"}));
}

TEST(KeyboardLayoutsTest, ReadsSwaysAndHyprlandsKeyboards)
{
    const auto sway = SwayKeyboards(R"json([
        {"identifier": "1:1:AT_Translated_Set_2_keyboard", "type": "keyboard",
         "xkb_layout_names": ["English (US)", "German"], "xkb_active_layout_index": 1, "xkb_active_layout_name": "German"},
        {"identifier": "2:14:ETPS/2_Elantech_Touchpad", "type": "pointer"},
        {"identifier": "0:0:virtual_keyboard", "type": "keyboard", "xkb_layout_names": [null], "xkb_active_layout_name": null}
    ])json");
    ASSERT_EQ(sway.size(), 2u);
    EXPECT_FALSE(sway[0].isVirtual);
    EXPECT_EQ(sway[0].description, "German");
    EXPECT_TRUE(sway[1].isVirtual);
    EXPECT_EQ(sway[1].description, "");

    const auto hyprland = HyprlandKeyboards(R"json({"mice": [], "keyboards": [
        {"name": "at-translated-set-2-keyboard", "layout": "de", "variant": "nodeadkeys", "active_keymap": "German (no dead keys)", "main": true},
        {"name": "logitech-keyboard", "layout": "us,by", "variant": ",ru", "active_keymap": "Russian (Belarus)"},
        {"name": "virtual-keyboard-1", "layout": "us", "variant": "", "active_keymap": "English (US)"}
    ]})json");
    ASSERT_EQ(hyprland.size(), 3u);
    EXPECT_EQ(hyprland[0].name, (LayoutName{"de", "nodeadkeys"}));
    EXPECT_EQ(hyprland[1].name, std::nullopt);  // two layouts: the active one by its description
    EXPECT_EQ(hyprland[1].description, "Russian (Belarus)");
    EXPECT_TRUE(hyprland[2].isVirtual);
    EXPECT_TRUE(SwayKeyboards("not json").empty());
    EXPECT_TRUE(HyprlandKeyboards("ok").empty());
}

TEST(KeyboardLayoutsTest, TheUsersLayoutIsADevicesBeforeAVirtualKeyboards)
{
    const CompositorKeyboard device{false, "German", std::nullopt};
    const CompositorKeyboard unknownDevice{false, "My own layout", std::nullopt};
    const CompositorKeyboard typist{true, "", std::nullopt};  // wtype's: a keymap of its own keys, no layout
    const CompositorKeyboard onScreen{true, "Russian (Belarus)", std::nullopt};
    const CompositorKeyboard named{false, "whatever", LayoutName{"us", "intl"}};
    struct Case {
        std::vector<CompositorKeyboard> keyboards;
        std::optional<LayoutName> layout;
    };
    const Case cases[] = {
        {{typist, onScreen, device}, LayoutName{"de", ""}},
        {{typist, onScreen}, LayoutName{"by", "ru"}},
        {{unknownDevice, onScreen}, LayoutName{"by", "ru"}},
        {{named, device}, LayoutName{"us", "intl"}},
        {{typist}, std::nullopt},
        {{}, std::nullopt},
    };
    for (const auto& [keyboards, layout] : cases)
        EXPECT_EQ(UserLayout(keyboards, kList), layout) << keyboards.size();
}

}  // namespace
}  // namespace kestrun
