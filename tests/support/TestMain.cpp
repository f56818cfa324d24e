// Every test program runs with a home and XDG folders of its own, so that
// nothing a test starts reads or writes the machine's; the widget tests share
// one QApplication.

#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>

#ifdef KESTRUN_TEST_QAPPLICATION
#include <QApplication>
#endif

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    const kestrun::test::TempFolder home;
    setenv("HOME", home.path().c_str(), 1);
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
        std::filesystem::create_directory(home / name);
        setenv(name, (home / name).c_str(), 1);
    }
    std::filesystem::permissions(home / "XDG_RUNTIME_DIR", std::filesystem::perms::owner_all);
#ifdef KESTRUN_TEST_QAPPLICATION
    // The one application of the widget tests, on no display of the machine.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
#endif
    return RUN_ALL_TESTS();
}
