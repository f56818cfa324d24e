// The dialogs as Qt shows them: the message boxes' widths and the file chooser's programs.
#include "app/HelpMenu.h"
#include "app/QtDialogs.h"
#include "tests/app/MainWindowFixture.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QScreen>
#include <QTimer>

#include <sys/stat.h>

#include <functional>
#include <tuple>

namespace kestrun::test {
namespace {

// Runs `look` on the modal dialog `show` opens, then closes that dialog.
template <typename Dialog>
void WhileShown(const std::function<void()>& show, const std::function<void(Dialog&)>& look)
{
    bool looked = false;
    QTimer::singleShot(0, [&] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget())) {
            look(*dialog);
            looked = true;
            dialog->reject();
        }
    });
    show();
    EXPECT_TRUE(looked) << "no dialog was shown";
}

TEST(QtDialogsTest, MessageBoxesShowEveryLineUnwrappedAndRoomForTheirTitle)
{
    QtDialogs dialogs;
    const std::tuple<std::string, std::string, int> cases[] = {
        {UsageText(), "Kestrun Help", 16}, {"No file specified.", "", 1}, {"No time specified.", "", 1},
        {"Quit Kestrun?", "", 1}};
    for (const auto& [text, title, lines] : cases) {
        SCOPED_TRACE(text.substr(0, 20));
        WhileShown<QMessageBox>([&] { dialogs.Message(text, MessageButtons::Ok, MessageIcon::Information, title); },
                                [&](QMessageBox& box) {
            const auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            ASSERT_TRUE(label);
            const int shown = label->heightForWidth(label->width()) / label->fontMetrics().lineSpacing();
            EXPECT_EQ(shown, lines) << "lines shown in a box " << box.width() << " pixels wide";
            EXPECT_LE(box.width(), box.screen()->availableGeometry().width());
            QFont bold = box.font();
            bold.setBold(true);
            // The title bar's icon and buttons take some 150 pixels beside the title.
            EXPECT_GE(box.width(), QFontMetrics(bold).horizontalAdvance(box.windowTitle()) + 150);
        });
    }
}

// "Applications" are the files the user may run (and *.exe), not only *.exe; "All Files" shows the rest.
TEST(QtDialogsTest, TheFileChooserShowsProgramsFirstAndEveryFileOnRequest)
{
    TempFolder folder;
    for (const char* name : {"tool", "notes.txt", "SETUP.EXE", "script.sh"})
        folder.Write(name, "#!/bin/sh\n");
    ::chmod((folder / "tool").c_str(), 0755);
    ::chmod((folder / "script.sh").c_str(), 0700);
    std::filesystem::create_directory(folder / "folder");
    const auto listed = [](QFileDialog& dialog) {
        auto* view = dialog.findChild<QListView*>(QStringLiteral("listView"));
        std::vector<std::string> names;
        for (int row = 0; view && row < view->model()->rowCount(view->rootIndex()); ++row)
            names.push_back(view->model()->index(row, 0, view->rootIndex()).data().toString().toStdString());
        std::sort(names.begin(), names.end());
        return names;
    };
    QtDialogs dialogs;
    const std::vector<FileFilter> filters = {{"Applications", {"*.exe"}, true}, {"All Files", {"*"}}};
    WhileShown<QFileDialog>([&] { dialogs.OpenFile("", filters, folder.path().string() + "/"); }, [&](QFileDialog& dialog) {
        const Texts programs = {"SETUP.EXE", "folder", "script.sh", "tool"};
        EXPECT_TRUE(QTest::qWaitFor([&] { return listed(dialog) == programs; })) << ::testing::PrintToString(listed(dialog));
        auto* types = dialog.findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_TRUE(types);
        EXPECT_EQ(types->itemText(0).toStdString() + "|" + types->itemText(1).toStdString(), "Applications|All Files");
        QTest::keyClick(types, Qt::Key_Down);
        const Texts everything = {"SETUP.EXE", "folder", "notes.txt", "script.sh", "tool"};
        EXPECT_TRUE(QTest::qWaitFor([&] { return listed(dialog) == everything; })) << ::testing::PrintToString(listed(dialog));
        QTest::keyClick(types, Qt::Key_Up);
        EXPECT_TRUE(QTest::qWaitFor([&] { return listed(dialog) == programs; })) << ::testing::PrintToString(listed(dialog));
    });
}

}  // namespace
}  // namespace kestrun::test
