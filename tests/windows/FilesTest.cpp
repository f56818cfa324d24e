// File tests, the text conversions at the Win32 calls and the work area.
#include "platform/PlatformError.h"
#include "platform/windows/WideText.h"
#include "platform/windows/WindowsFileExistence.h"
#include "platform/windows/WorkArea.h"
#include "tests/windows/WindowsTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

namespace kestrun {
namespace {

using test::WindowsTempFolder;

TEST(FileExistence, OrdinaryFilesByNameAndPattern)
{
    WindowsTempFolder folder;
    std::ofstream(folder.path() / L"Ωmega file.txt") << "x";
    std::filesystem::create_directory(folder.path() / "sub.txt");
    std::filesystem::create_directory(folder.path() / "only folders");
    std::filesystem::create_directory(folder.path() / "only folders" / "a.doc");
    const std::string base = Utf8FromWide(folder.path().wstring()) + "\\";
    std::string forward = base;
    for (char& c : forward)
        c = c == '\\' ? '/' : c;

    const struct {
        std::string path;
        bool exists;
    } rows[] = {
        {base + "Ωmega file.txt", true},
        {base + "ΩMEGA FILE.TXT", true},
        {forward + "Ωmega file.txt", true},
        {base + "sub.txt", false},
        {base + "missing.txt", false},
        {base + "missing folder\\a.txt", false},
        {base + "Ω*.txt", true},
        {base + "?mega file.t?t", true},
        {base + "*.doc", false},
        {base + "sub*", false},
        {base + "only folders\\*", false},
        {base + "missing folder\\*", false},
        {base, false},
        {"", false},
        {base + "\xC3(", false},
    };
    WindowsFileExistence files;
    for (const auto& row : rows)
        EXPECT_EQ(files.OrdinaryFileExists(row.path), row.exists) << row.path;
}

TEST(WideText, ConvertsAtTheBoundaryAndRefusesWhatWouldBeCut)
{
    const std::string mixed = "Zoë Ωж日本 😀 é";
    EXPECT_EQ(Utf8FromWide(WideFromUtf8(mixed)), mixed);
    EXPECT_EQ(WideFromUtf8("😀"), std::wstring(L"\xD83D\xDE00"));
    EXPECT_THROW(WideFromUtf8("bad \xFF byte"), PlatformError);
    EXPECT_THROW(WideFromUtf8("\xED\xA0\x80"), PlatformError);  // an encoded surrogate
    EXPECT_THROW(WideFromUtf8(std::string("cut\0here", 8)), PlatformError);
    EXPECT_EQ(WideFromUtf8(""), L"");
}

TEST(WorkArea, LiesWithinThePrimaryScreen)
{
    const ScreenRect area = PrimaryWorkArea();
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    ASSERT_GT(width, 0);
    EXPECT_GE(area.left, 0);
    EXPECT_GE(area.top, 0);
    EXPECT_LE(area.right, width);
    EXPECT_LE(area.bottom, height);
    // The session's screen has no taskbar that takes half of it.
    EXPECT_GT(area.right - area.left, width / 2);
    EXPECT_GT(area.bottom - area.top, height / 2);
}

}  // namespace
}  // namespace kestrun
