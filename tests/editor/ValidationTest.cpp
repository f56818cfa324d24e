#include "editor/MValidation.h"
#include "tests/editor/EditorFixture.h"

#include <QClipboard>
#include <QTest>

namespace kestrun::test {
namespace {

TEST(FilterNumericKeyTest, PassesDigitsAndBackspaceOnly)
{
    for (int c = '0'; c <= '9'; ++c)
        EXPECT_EQ(FilterNumericKey(c), c);
    EXPECT_EQ(FilterNumericKey(8), 8);
    for (int c : std::initializer_list<int>{'a', 'Z', '-', '+', '.', ',', ' ', '\t', '\r', 22 /* Ctrl+V */, 127, 0, 0x0660 /* Arabic zero */})
        EXPECT_EQ(FilterNumericKey(c), 0) << c;
}

using WaitFieldTest = EditorFixture;

TEST_F(WaitFieldTest, TypingLetsOnlyDigitsAndBackspaceThrough)
{
    OpenNew();
    Click("optWait");
    QLineEdit& wait = Field("txtWait");
    QTest::keyClicks(&wait, "1a-2. 3x");
    EXPECT_EQ(Text("txtWait"), "123");
    QTest::keyClick(&wait, Qt::Key_Backspace);
    EXPECT_EQ(Text("txtWait"), "12");
    QTest::keyClick(&wait, Qt::Key_Left);
    QTest::keyClick(&wait, Qt::Key_Delete);
    EXPECT_EQ(Text("txtWait"), "1");
    EXPECT_TRUE(EditorOpen());
}

TEST_F(WaitFieldTest, CtrlVIsSwallowedButShiftInsertPastesUnfilteredForOkToCheck)
{
    OpenNew();
    Click("optWait");
    QLineEdit& wait = Field("txtWait");
    QApplication::clipboard()->setText("0 or so");
    QTest::keyClick(&wait, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Text("txtWait"), "");
    QTest::keyClick(&wait, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(Text("txtWait"), "0 or so");
    Click("cmdOK");
    EXPECT_EQ(Messages(), std::vector<std::string>{"No time specified."});
}

}  // namespace
}  // namespace kestrun::test
