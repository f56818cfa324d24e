// The whole-file services the document is saved through on Windows.
#include "platform/FileReplacement.h"
#include "tests/windows/WindowsTestSupport.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <stdexcept>

namespace kestrun {
namespace {

using test::ReadFileBytes;
using test::WindowsTempFolder;

FileContent Text(const std::string& text)
{
    return [text](const FileBytes& bytes) { bytes(text.data(), text.size()); };
}

std::size_t FilesIn(const std::filesystem::path& folder)
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder))
        ++count;
    return count;
}

int serial = 0;
std::string NextName() { return ".doc.xml.save-" + std::to_string(++serial); }

TEST(FileReplacement, ReplacesTheContentInOneStepAndLeavesNoTemporary)
{
    WindowsTempFolder folder;
    const auto file = folder.path() / L"Ωdoc.xml";
    std::ofstream(file, std::ios::binary) << "old content, longer than the new";
    ReplaceRegularFile(file, NextName, Text("new Ω"));
    EXPECT_EQ(ReadFileBytes(file), "new Ω");
    EXPECT_EQ(FilesIn(folder.path()), 1u);
    // Not hidden: the temporary's attribute does not stay with the document.
    EXPECT_EQ(GetFileAttributesW(file.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);

    const auto opened = OpenReadableFile(file, 1 << 20);
    std::string read(opened->Size(), '\0');
    opened->ReadInto(read.data());
    EXPECT_EQ(read, "new Ω");
}

TEST(FileReplacement, RefusalsLeaveTheFileAsItWas)
{
    WindowsTempFolder folder;
    const auto file = folder.path() / "doc.xml";
    std::ofstream(file, std::ios::binary) << "kept";
    const struct {
        const char* what;
        std::function<void()> act;
        FileFault fault;
    } rows[] = {
        {"read-only",
         [&] {
             SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_READONLY);
             ReplaceRegularFile(file, NextName, Text("lost"));
         },
         FileFault::PermissionDenied},
        {"a folder", [&] { ReplaceRegularFile(folder.path(), NextName, Text("lost")); }, FileFault::NotRegular},
        {"missing", [&] { ReplaceRegularFile(folder.path() / "none.xml", NextName, Text("x")); }, FileFault::NotFound},
        {"too large to read", [&] { OpenReadableFile(file, 3); }, FileFault::TooLarge},
        {"a folder to read", [&] { OpenReadableFile(folder.path(), 1 << 20); }, FileFault::NotRegular},
    };
    for (const auto& row : rows) {
        try {
            row.act();
            ADD_FAILURE() << row.what << ": no failure";
        } catch (const FileFailure& failure) {
            EXPECT_EQ(failure.fault, row.fault) << row.what;
        }
        SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(ReadFileBytes(file), "kept") << row.what;
        EXPECT_EQ(FilesIn(folder.path()), 1u) << row.what;
    }
}

TEST(FileReplacement, AProducerThatThrowsLeavesTheFileAndNoTemporary)
{
    WindowsTempFolder folder;
    const auto file = folder.path() / "doc.xml";
    std::ofstream(file, std::ios::binary) << "kept";
    const FileContent failing = [](const FileBytes& bytes) {
        bytes("half", 4);
        throw std::runtime_error("no more");
    };
    EXPECT_THROW(ReplaceRegularFile(file, NextName, failing), std::runtime_error);
    EXPECT_THROW(WriteNewRegularFile(folder.path() / "new.xml", failing), std::runtime_error);
    EXPECT_EQ(ReadFileBytes(file), "kept");
    EXPECT_EQ(FilesIn(folder.path()), 1u);
}

TEST(FileReplacement, ANewFileIsNeverWrittenOverAnOldOne)
{
    WindowsTempFolder folder;
    const auto file = folder.path() / "copy.xml";
    EXPECT_TRUE(WriteNewRegularFile(file, Text("first")));
    EXPECT_FALSE(WriteNewRegularFile(file, Text("second")));
    EXPECT_EQ(ReadFileBytes(file), "first");
}

TEST(FileReplacement, StrayTemporariesGoUnlessAProcessHoldsThem)
{
    WindowsTempFolder folder;
    const auto file = folder.path() / "doc.xml";
    std::ofstream(file, std::ios::binary) << "kept";
    std::ofstream(folder.path() / ".stray-1", std::ios::binary) << "x";
    std::ofstream(folder.path() / ".stray-2", std::ios::binary) << "x";
    std::ofstream(folder.path() / "other", std::ios::binary) << "x";
    // Held as a replacement holds its temporary: shared with no one.
    const HANDLE held = CreateFileW((folder.path() / ".stray-2").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    RemoveUnheldTemporaries(file, [](std::string_view name) { return name.starts_with(".stray-"); });
    CloseHandle(held);
    EXPECT_FALSE(std::filesystem::exists(folder.path() / ".stray-1"));
    EXPECT_TRUE(std::filesystem::exists(folder.path() / ".stray-2"));
    EXPECT_TRUE(std::filesystem::exists(folder.path() / "other"));
    EXPECT_EQ(ReadFileBytes(file), "kept");
}

TEST(FileReplacement, TheStampChangesWithTheContent)
{
    WindowsTempFolder folder;
    const auto file = folder.path() / "doc.xml";
    std::ofstream(file, std::ios::binary) << "one";
    const FileStamp before = StampOfFile(file);
    ASSERT_TRUE(before.known);
    EXPECT_EQ(before.size, 3u);
    ReplaceRegularFile(file, NextName, Text("three"));
    const FileStamp after = StampOfFile(file);
    EXPECT_TRUE(after.known);
    EXPECT_EQ(after.size, 5u);
    EXPECT_FALSE(StampOfFile(folder.path() / "none.xml").known);
}

}  // namespace
}  // namespace kestrun
