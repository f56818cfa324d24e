// Starting programs and opening files: command lines as the started
// program's C runtime splits them, odd program names, what is refused, on
// wine's real processes.
#include "platform/PlatformError.h"
#include "platform/windows/CommandLine.h"
#include "platform/windows/ShellOpeners.h"
#include "platform/windows/WideText.h"
#include "platform/windows/WindowsProgramStarter.h"
#include "tests/windows/WindowsTestSupport.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <fstream>

namespace kestrun {
namespace {

using test::PollUntil;
using test::ReadFileBytes;
using test::TestProgram;
using test::WindowsTempFolder;

const std::vector<std::wstring> kOddArguments = {
    L"plain",        L"with space",        L"",          L"tab\there",         L"trailing\\",
    L"quote\"in",    L"back\\\"slash",     L"\\\\",      L"C:\\dir with space\\", L"-leading",
    L"Ωж日本 😀",  L"\\\\server\\share\\", L"\"\"",      L"a\\\\b c",
};

std::vector<std::wstring> SplitByShell(const std::wstring& line)
{
    int count = 0;
    LPWSTR* words = CommandLineToArgvW(line.c_str(), &count);
    std::vector<std::wstring> result(words, words + count);
    LocalFree(words);
    return result;
}

TEST(CommandLine, TheSystemsParserGetsBackEveryArgument)
{
    const std::wstring program = L"C:\\Program Files\\Kestrun Ω\\-odd name.exe";
    std::vector<std::wstring> expected{program};
    expected.insert(expected.end(), kOddArguments.begin(), kOddArguments.end());
    EXPECT_EQ(SplitByShell(CommandLineFor(program, kOddArguments)), expected);
    EXPECT_EQ(CommandLineFor(L"C:\\a\\b.exe"), L"\"C:\\a\\b.exe\"");
    EXPECT_THROW(CommandLineFor(L"C:\\a\"b.exe"), PlatformError);
}

// The C runtime of the started program splits the line, not the shell.
TEST(CommandLine, AStartedProgramReceivesEachArgumentExactly)
{
    WindowsTempFolder folder;
    const auto record = folder.path() / "arguments.txt";
    SetEnvironmentVariableW(L"KESTRUN_ARGUMENTS_FILE", record.c_str());
    ASSERT_NE(test::StartProgram(TestProgram("show_arguments.exe"), kOddArguments), 0u);
    ASSERT_TRUE(PollUntil([&] { return std::filesystem::exists(record); }));
    std::string expected = Utf8FromWide(TestProgram("show_arguments.exe").wstring()) + "\n";
    expected += expected;  // its path as the system knows it, then argv[0]
    for (const std::wstring& argument : kOddArguments)
        expected += Utf8FromWide(argument) + "\n";
    EXPECT_EQ(ReadFileBytes(record), expected);
}

TEST(ProgramStarter, StartsAProgramWithAnOddNameUnderItsExactName)
{
    WindowsTempFolder folder;
    const auto program = folder.path() / L"folder with spaces" / L"-Ωдé 名 odd.exe";
    std::filesystem::create_directory(program.parent_path());
    std::filesystem::copy_file(TestProgram("show_arguments.exe"), program);
    const auto record = folder.path() / "arguments.txt";
    SetEnvironmentVariableW(L"KESTRUN_ARGUMENTS_FILE", record.c_str());

    WindowsProgramStarter starter;
    const std::string path = Utf8FromWide(program.wstring());
    ASSERT_TRUE(starter.IsProgramFile(path));
    EXPECT_GT(starter.Start(path), 0);
    ASSERT_TRUE(PollUntil([&] { return std::filesystem::exists(record); }));
    EXPECT_EQ(ReadFileBytes(record), path + "\n" + path + "\n");
}

TEST(ProgramStarter, RefusesWhatItCannotStartAsAProgram)
{
    WindowsTempFolder folder;
    const auto marker = folder.path() / "ran.txt";
    const auto batch = folder.path() / "job.bat";
    std::ofstream(batch) << "echo ran > \"" << marker.string() << "\"\r\n";
    std::ofstream(folder.path() / "notes.txt") << "text";
    std::filesystem::create_directory(folder.path() / "folder.exe");
    const std::string base = Utf8FromWide(folder.path().wstring()) + "\\";

    WindowsProgramStarter starter;
    const struct {
        std::string name;
        bool program;
    } rows[] = {
        {"job.bat", false}, {"notes.txt", false}, {"folder.exe", false}, {"missing.exe", false},
    };
    for (const auto& row : rows)
        EXPECT_EQ(starter.IsProgramFile(base + row.name), row.program) << row.name;
    EXPECT_TRUE(starter.IsProgramFile(Utf8FromWide(TestProgram("show_arguments.exe").wstring())));
    EXPECT_TRUE(starter.IsProgramFile(Utf8FromWide(TestProgram("SHOW_ARGUMENTS.EXE").wstring())));

    // A batch file would go through cmd.exe: it is never started.
    EXPECT_THROW(starter.Start(base + "job.bat"), PlatformError);
    EXPECT_THROW(starter.Start(base + "JOB.CMD"), PlatformError);
    try {
        starter.Start(base + "missing.exe");
        ADD_FAILURE() << "a missing program started";
    } catch (const PlatformError& error) {
        EXPECT_NE(std::string(error.what()).find(base + "missing.exe"), std::string::npos) << error.what();
    }
    Sleep(500);
    EXPECT_FALSE(std::filesystem::exists(marker));
}

TEST(ShellOpeners, OpenWhatTheShellKnowsAndNothingElse)
{
    WindowsTempFolder folder;
    const auto program = folder.path() / L"opened Ω.exe";
    std::filesystem::copy_file(TestProgram("show_arguments.exe"), program);
    const auto record = folder.path() / "opened.txt";
    SetEnvironmentVariableW(L"KESTRUN_ARGUMENTS_FILE", record.c_str());
    std::ofstream(folder.path() / "data.kestrun-unknown") << "x";
    const std::string base = Utf8FromWide(folder.path().wstring()) + "\\";

    ShellFileOpener opener;
    EXPECT_TRUE(opener.Open(base + "opened Ω.exe"));
    EXPECT_TRUE(PollUntil([&] { return std::filesystem::exists(record); }));
    EXPECT_FALSE(opener.Open(base + "missing.txt"));
    EXPECT_FALSE(opener.Open(base + "data.kestrun-unknown"));
    EXPECT_FALSE(opener.Open(""));
    // A batch file would reach cmd.exe, which reads "&" as "and then run".
    const auto marker = folder.path() / "ran.txt";
    std::filesystem::create_directory(folder.path() / "a&b");
    std::ofstream(folder.path() / "a&b" / "job.bat") << "echo ran > \"" << marker.string() << "\"\r\n";
    EXPECT_FALSE(opener.Open(base + "a&b\\job.bat"));
    EXPECT_FALSE(opener.Open(base + "a&b\\JOB.CMD"));
    Sleep(500);
    EXPECT_FALSE(std::filesystem::exists(marker));

    // Only web addresses: a path or another scheme never reaches the shell.
    ShellWebPageOpener web;
    for (const std::string& address : {base + "opened Ω.exe", "file:///" + base + "opened Ω.exe",
                                       std::string("javascript:alert(1)"), std::string("")})
        EXPECT_FALSE(web.OpenAddress(address)) << address;
}

}  // namespace
}  // namespace kestrun
