#include "runner/FileName.h"

#include <gtest/gtest.h>

namespace kestrun::test {
namespace {

TEST(FileNameTest, ExtensionIsWhatFollowsTheLastDotOfTheName)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"D:\\Tools\\Setup.EXE", "EXE"},
        {"D:\\Data\\backup.tar.gz", "gz"},
        {"D:\\my.files\\readme", "readme"},
        {"notes.txt", "txt"},
        {"D:\\Data\\", ""},
        {"D:\\Data\\file.", ""},
        {"/home/ann/my.files/readme", "readme"},
        {"/usr/bin/tool", "tool"},
        {"/srv/a.b\\c", "c"},
        {"/srv/a\\b.c/d", "d"},
        {"./run.sh", "sh"},
        {".bashrc", "bashrc"},
        {"", ""},
        {"/", ""},
        {"/tmp/é.ñ", "ñ"},
    };
    for (const auto& [path, extension] : cases)
        EXPECT_EQ(GetFileExtension(path), extension) << path;
}

}  // namespace
}  // namespace kestrun::test
