// The real message box: title, icon, buttons and default button.
#include "app/QtDialogs.h"
#include "tests/app/MainWindowFixture.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QTimer>

namespace kestrun::test {
namespace {

TEST(QtDialogsTest, ConfirmationHasYesAsDefaultAndTheApplicationTitle)
{
    Application();
    QtDialogs dialogs;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QString defaultButton;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        icon = box->icon();
        buttons = box->standardButtons();
        defaultButton = box->defaultButton() ? box->defaultButton()->text() : QString();
        box->defaultButton()->click();
    });
    EXPECT_EQ(dialogs.Message("Quit Kestrun?", MessageButtons::YesNo, MessageIcon::Question), MessageAnswer::Yes);
    EXPECT_EQ(title.toStdString(), "Kestrun");
    EXPECT_EQ(icon, QMessageBox::Question);
    EXPECT_EQ(buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(defaultButton.remove('&').toStdString(), "Yes");
}

TEST(QtDialogsTest, InputBoxCancelledGivesNothing)
{
    Application();
    QtDialogs dialogs;
    QTimer::singleShot(0, [] {
        if (QWidget* box = QApplication::activeModalWidget())
            box->close();
    });
    EXPECT_EQ(dialogs.Input("Enter New Program Name:", "New Program", ""), std::nullopt);
}

TEST(QtDialogsTest, FilterText)
{
    EXPECT_EQ(FilterText({{"Applications", {"*.exe"}}, {"All Files", {"*.*", "*"}}}),
              "Applications (*.exe);;All Files (*.* *)");
    EXPECT_EQ(FilterText({}), "");
}

}  // namespace
}  // namespace kestrun::test
