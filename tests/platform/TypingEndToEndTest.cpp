// Typing into a real X client: a private Xvfb with openbox and an xterm that
// records every byte it is given.

#include "platform/linux/EwmhWindowActivator.h"
#include "platform/linux/XTestKeySender.h"
#include "platform/PlatformError.h"
#include "tests/support/XSession.h"

#include <gtest/gtest.h>


namespace kestrun::test {
namespace {

// ASCII, shifted characters, the notation's specials, accented letters, and
// characters beyond Latin-1 (more distinct ones than spare key codes).
const std::string kText =
    "Hello, World! 0123456789 `-=[];'\\,./ !@#$&*_|:\"<>?\n"
    "{+}{^}{%}{~}{(}{)}{{}{}}{[}{]}+(abc)^(){TAB}x^(ab)~"
    "äöüÄÖÜß éèêàçùÉ ñ¿¡«»°§µ €\n"
    "ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ жизнь 中文字 ✓→∞ 😀\n"
    "{CAPSLOCK}aB{CAPSLOCK}cD{x 3}\n";
const std::string kTyped =
    "Hello, World! 0123456789 `-=[];'\\,./ !@#$&*_|:\"<>?\n"
    "+^%~(){}[]ABC\tx\x01\x02\n"
    "äöüÄÖÜß éèêàçùÉ ñ¿¡«»°§µ €\n"
    "ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ жизнь 中文字 ✓→∞ 😀\n"
    "aBcDxxx\n";

class TypingEndToEndTest : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override { ASSERT_TRUE(session.ok()) << session.failure; }

    XSession session;
};

TEST_P(TypingEndToEndTest, TypesTheTextExactlyWhateverTheLayout)
{
    if (GetParam() != "us") {
        ASSERT_EQ(RunProcess({"setxkbmap", GetParam()}), 0) << "setxkbmap (x11-xkb-utils) failed";
    }
    const auto output = session.folder() / "typed.txt";
    const pid_t recorder = session.StartRecorder(output);
    ASSERT_GT(recorder, 0) << "xterm did not start";

    const auto keymapBefore = XSession::CoreKeymap();

    EwmhWindowActivator().Activate(recorder);
    EXPECT_TRUE(XSession::IsActive(recorder));
    XTestKeySender().SendKeys(kText, true);

    EXPECT_EQ(XSession::WaitForOutput(output, kTyped.size()), kTyped);
    EXPECT_EQ(XSession::KeysDown(), "");
    EXPECT_EQ(XSession::CoreKeymap(), keymapBefore) << "the keyboard mapping was not restored";
}

INSTANTIATE_TEST_SUITE_P(Layouts, TypingEndToEndTest, ::testing::Values("us", "de", "fr"));

TEST(TypingEndToEnd, AMalformedTextSendsNothing)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    const auto output = session.folder() / "typed.txt";
    const pid_t recorder = session.StartRecorder(output);
    ASSERT_GT(recorder, 0);
    EwmhWindowActivator().Activate(recorder);
    EXPECT_THROW(XTestKeySender().SendKeys("abc{NOKEY}def", true), PlatformError);
    XTestKeySender().SendKeys("ok~", true);
    EXPECT_EQ(XSession::WaitForOutput(output, 3), "ok\n");
}

TEST(TypingEndToEnd, ActivationFailsForAProcessWithoutWindow)
{
    XSession session;
    ASSERT_TRUE(session.ok()) << session.failure;
    EXPECT_THROW(EwmhWindowActivator().Activate(0), PlatformError);
    EXPECT_THROW(EwmhWindowActivator().Activate(getpid()), PlatformError);
}

}  // namespace
}  // namespace kestrun::test
