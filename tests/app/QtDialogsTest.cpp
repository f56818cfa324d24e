// The dialogs as Qt shows them: the file chooser's programs.
#include "app/QtDialogs.h"
#include "tests/app/MainWindowFixture.h"

#include <QComboBox>
#include <QFileDialog>
#include <QListView>
#include <QTimer>

#include <sys/stat.h>

#include <functional>

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

// "Applications" are the files the user may run (and *.exe), not only *.exe; "All Files" shows the rest.
TEST(QtDialogsTest, TheFileChooserShowsProgramsFirstAndEveryFileOnRequest)
{
    Application();
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
