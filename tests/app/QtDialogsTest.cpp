// The real message and input boxes.
#include "app/QtDialogs.h"
#include "tests/app/MainWindowFixture.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>

namespace kestrun::test {
namespace {

TEST(QtDialogsTest, AQuestionHasTheApplicationTitleAndYesAsDefault)
{
    Application();
    QtDialogs dialogs;
    std::string seen;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        ASSERT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
        ASSERT_EQ(box->icon(), QMessageBox::Question);
        seen = box->windowTitle().toStdString() + "|" + box->text().toStdString() + "|" +
               box->defaultButton()->text().remove('&').toStdString();
        box->defaultButton()->click();
    });
    EXPECT_EQ(dialogs.Message("Quit Kestrun?", MessageButtons::YesNo, MessageIcon::Question), MessageAnswer::Yes);
    EXPECT_EQ(seen, "Kestrun|Quit Kestrun?|Yes");

    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    EXPECT_EQ(dialogs.Input("Enter New Program Name:", "New Program", ""), std::nullopt) << "cancelled";
}

TEST(QtDialogsTest, FilterText)
{
    EXPECT_EQ(FilterText({{"Applications", {"*.exe"}}, {"All Files", {"*.*", "*"}}}),
              "Applications (*.exe);;All Files (*.* *)");
    EXPECT_EQ(FilterText({}), "");
}

}  // namespace
}  // namespace kestrun::test
