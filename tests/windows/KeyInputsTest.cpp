// What the Windows key sender injects: the events of each stroke, the
// releases after a partial injection, and that no key stays down on any path.
#include "platform/PlatformError.h"
#include "platform/windows/StrokeInputs.h"
#include "platform/windows/WindowsKeySender.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace kestrun {
namespace {

// "v10+" a virtual key going down, "u0061-" a UTF-16 unit going up, "*" an
// extended key.
std::string Describe(const std::vector<INPUT>& inputs)
{
    std::string text;
    for (const INPUT& input : inputs) {
        char item[16];
        const bool unicode = input.ki.dwFlags & KEYEVENTF_UNICODE;
        std::snprintf(item, sizeof item, unicode ? "u%04X" : "v%02X", unicode ? input.ki.wScan : input.ki.wVk);
        if (!text.empty())
            text += ' ';
        text += item;
        if (input.ki.dwFlags & KEYEVENTF_EXTENDEDKEY)
            text += '*';
        text += input.ki.dwFlags & KEYEVENTF_KEYUP ? '-' : '+';
    }
    return text;
}

// The keys an event stream leaves down.
std::map<std::string, int> LeftDown(const std::vector<INPUT>& inputs)
{
    std::map<std::string, int> down;
    for (const INPUT& input : inputs) {
        std::string key = Describe({input});
        key.pop_back();
        down[key] += input.ki.dwFlags & KEYEVENTF_KEYUP ? -1 : 1;
        if (down[key] == 0)
            down.erase(key);
    }
    return down;
}

HKL UsLayout() { return LoadKeyboardLayoutW(L"00000409", 0); }

TEST(StrokeInputs, EachStrokeAsItsEvents)
{
    const struct {
        KeyStroke stroke;
        const char* events;
    } rows[] = {
        {KeyStroke::Character(U'a'), "u0061+ u0061-"},
        {KeyStroke::Character(U'ж'), "u0436+ u0436-"},
        {KeyStroke::Character(U'😀'), "uD83D+ uD83D- uDE00+ uDE00-"},
        {KeyStroke::Character(U'a', kShift), "v10+ v41+ v41- v10-"},
        {KeyStroke::Character(U'!', kShift), "v10+ v31+ v31- v10-"},
        {KeyStroke::Character(U'a', kControl), "v11+ v41+ v41- v11-"},
        {KeyStroke::Character(U'A', kControl), "v11+ v10+ v41+ v41- v10- v11-"},
        {KeyStroke::Character(U'ж', kAlt), "v12+ u0436+ u0436- v12-"},
        {KeyStroke::Named(NamedKey::Enter), "v0D+ v0D-"},
        {KeyStroke::Named(NamedKey::Left), "v25*+ v25*-"},
        {KeyStroke::Named(NamedKey::Tab, kShift | kControl | kAlt), "v11+ v12+ v10+ v09+ v09- v10- v12- v11-"},
        {KeyStroke::Named(NamedKey::Break), "v03*+ v03*-"},
        {KeyStroke::Named(NamedKey::F24), "v87+ v87-"},
        {KeyStroke::Named(NamedKey::KeypadDivide), "v6F*+ v6F*-"},
        {KeyStroke::Named(NamedKey::KeypadAdd), "v6B+ v6B-"},
    };
    const HKL layout = UsLayout();
    for (const auto& row : rows)
        EXPECT_EQ(Describe(StrokeInputs(row.stroke, layout)), row.events) << row.events;
}

TEST(StrokeInputs, EveryKeyThatGoesDownComesUp)
{
    const HKL layout = UsLayout();
    for (int key = 0; key <= static_cast<int>(NamedKey::KeypadDivide); ++key) {
        for (std::uint8_t modifiers = 0; modifiers < 8; ++modifiers) {
            const auto inputs = StrokeInputs(KeyStroke::Named(static_cast<NamedKey>(key), modifiers), layout);
            EXPECT_TRUE(LeftDown(inputs).empty()) << Describe(inputs);
            EXPECT_TRUE(ReleasesAfter(inputs, inputs.size()).empty()) << Describe(inputs);
        }
    }
}

TEST(StrokeInputs, ReleasesWhatAPartialInjectionLeftDown)
{
    const auto inputs = StrokeInputs(KeyStroke::Named(NamedKey::Tab, kShift | kControl), UsLayout());
    ASSERT_EQ(Describe(inputs), "v11+ v10+ v09+ v09- v10- v11-");
    const char* releases[] = {"", "v11-", "v10- v11-", "v09- v10- v11-", "v10- v11-", "v11-", ""};
    for (std::size_t sent = 0; sent <= inputs.size(); ++sent)
        EXPECT_EQ(Describe(ReleasesAfter(inputs, sent)), releases[sent]) << sent << " sent";

    // A surrogate pair: the high unit is up before the low one goes down.
    const auto pair = StrokeInputs(KeyStroke::Character(U'😀', kShift), UsLayout());
    EXPECT_EQ(Describe(ReleasesAfter(pair, 4)), "uDE00- v10-");
}

// The sender, with injection recorded instead of sent.
class KeySenderInjection : public ::testing::Test {
protected:
    std::vector<INPUT> injected;
    int calls = 0;
    int refuseAtCall = -1;  // the call the system takes only one event of
    unsigned Inject(const std::vector<INPUT>& inputs)
    {
        const bool refused = calls++ == refuseAtCall;
        const std::size_t taken = refused ? 1 : inputs.size();
        injected.insert(injected.end(), inputs.begin(), inputs.begin() + static_cast<std::ptrdiff_t>(taken));
        return static_cast<unsigned>(taken);
    }
    WindowsKeySender Sender(std::function<bool()> stop = nullptr)
    {
        return WindowsKeySender(std::move(stop), [this](const std::vector<INPUT>& inputs) { return Inject(inputs); });
    }
    const std::vector<KeyStroke> strokes{KeyStroke::Character(U'x', kControl), KeyStroke::Named(NamedKey::Home, kShift),
                                         KeyStroke::Character(U'Ω', kShift | kAlt), KeyStroke::Character(U'y')};
};

TEST_F(KeySenderInjection, TypesEveryStrokeAndLeavesNothingDown)
{
    Sender().SendKeys(strokes, false);
    EXPECT_EQ(Describe(injected), "v11+ v58+ v58- v11- v10+ v24*+ v24*- v10- v12+ v10+ u03A9+ u03A9- v10- v12- u0079+ u0079-");
    EXPECT_TRUE(LeftDown(injected).empty());
}

TEST_F(KeySenderInjection, APartialInjectionIsReleasedAndReported)
{
    refuseAtCall = 2;  // Alt goes down, the rest of Ω's stroke is refused
    auto sender = Sender();
    EXPECT_THROW(sender.SendKeys(strokes, false), PlatformError);
    EXPECT_TRUE(LeftDown(injected).empty()) << Describe(injected);
    EXPECT_EQ(Describe(injected).find("u0079"), std::string::npos) << "typing went on after the refusal";
}

TEST_F(KeySenderInjection, AStopEndsTypingBetweenStrokes)
{
    int looks = 0;
    auto sender = Sender([&looks] { return ++looks > 2; });
    try {
        sender.SendKeys(strokes, false);
        FAIL() << "typing was not stopped";
    } catch (const PlatformError& error) {
        EXPECT_STREQ(error.what(), "Typing was stopped.");
    }
    EXPECT_EQ(calls, 2);
    EXPECT_TRUE(LeftDown(injected).empty());
}

}  // namespace
}  // namespace kestrun
