// The Windows installer in a wine prefix of its own (installer-test.sh makes
// it): built from a staging folder (KESTRUN_INSTALLER_STAGE), the installer
// (KESTRUN_INSTALLER) installs silently, and its uninstaller removes what it
// installed and nothing of the user's.
#include "platform/windows/CommandLine.h"
#include "platform/windows/WideText.h"
#include "tests/windows/WindowsTestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <fstream>
#include <optional>
#include <set>

namespace kestrun::test {
namespace {

namespace fs = std::filesystem;

constexpr const wchar_t* kUninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kestrun";
constexpr const wchar_t* kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr const wchar_t* kSettingsKey = L"Software\\Quillon Works\\Kestrun\\Position";
constexpr DWORD kStillRunning = 0xFFFFFFFF;

// A Unix path from the environment as wine shows it: the root is drive Z:.
fs::path PathFromEnvironment(const wchar_t* name)
{
    std::wstring value(32768, L'\0');
    const DWORD length = GetEnvironmentVariableW(name, value.data(), static_cast<DWORD>(value.size()));
    value.resize(length < value.size() ? length : 0);
    if (!value.empty() && value[0] == L'/')
        value = L"Z:" + value;
    return fs::path(value).make_preferred();
}

fs::path KnownFolder(REFKNOWNFOLDERID id)
{
    PWSTR path = nullptr;
    fs::path folder;
    if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path)))
        folder = path;
    CoTaskMemFree(path);
    return folder;
}

// Runs a command line to its end and, when `all` is set, until every
// process it started has ended too: NSIS's uninstaller runs a copy of itself
// from the temporary folder and returns at once. Its exit code;
// kStillRunning when it had not ended after two minutes (it is ended then).
DWORD RunToEnd(std::wstring line, bool all = false)
{
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                        &process)) {
        CloseHandle(job);
        ADD_FAILURE() << "cannot start " << Utf8FromWide(line) << ": " << Win32ErrorText(GetLastError());
        return kStillRunning;
    }
    AssignProcessToJobObject(job, process.hProcess);
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    DWORD code = kStillRunning;
    if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    const bool ended = PollUntil(
        [&] {
            JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
            return !all || (QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &accounting,
                                                      sizeof accounting, nullptr) &&
                            accounting.ActiveProcesses == 0);
        },
        std::chrono::minutes(2));
    if (code == kStillRunning || !ended) {
        TerminateJobObject(job, 1);
        code = kStillRunning;
    }
    CloseHandle(process.hProcess);
    CloseHandle(job);
    return code;
}

// What a program writes on its standard output, and its exit code.
struct Output {
    DWORD code = kStillRunning;
    std::string text;
};

Output Capture(const fs::path& program, const std::vector<std::wstring>& arguments)
{
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    Output output;
    if (!CreatePipe(&read, &write, &inherit, 0))
        return output;
    SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    std::wstring line = CommandLineFor(program.wstring(), arguments);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = write;
    startup.hStdError = write;
    PROCESS_INFORMATION process{};
    const bool started = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &process);
    CloseHandle(write);
    if (started) {
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(read, buffer, sizeof buffer, &got, nullptr) && got > 0)
            output.text.append(buffer, got);
        if (WaitForSingleObject(process.hProcess, 60000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &output.code);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(read);
    while (!output.text.empty() && (output.text.back() == '\n' || output.text.back() == '\r'))
        output.text.pop_back();
    return output;
}

bool KeyExists(const wchar_t* key)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

std::optional<std::wstring> ReadString(const wchar_t* key, const wchar_t* name)
{
    wchar_t value[2048];
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(value);
}

void WriteString(const wchar_t* key, const wchar_t* name, const std::wstring& value)
{
    ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, key, name, REG_SZ, value.c_str(),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

// The file a shortcut starts; empty when there is no such shortcut.
fs::path ShortcutTarget(const fs::path& shortcut)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    fs::path target;
    IShellLinkW* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            // By the link's item list, which holds each name in UTF-16: wine's
            // GetPath answers from the link's ANSI copy of the path.
            PIDLIST_ABSOLUTE items = nullptr;
            wchar_t path[MAX_PATH] = L"";
            if (SUCCEEDED(file->Load(shortcut.c_str(), STGM_READ)) && SUCCEEDED(link->GetIDList(&items)) &&
                SHGetPathFromIDListW(items, path))
                target = path;
            CoTaskMemFree(items);
            file->Release();
        }
        link->Release();
    }
    CoUninitialize();
    return target;
}

// The files under a folder, by their path in it ("platforms/qwindows.dll").
std::set<std::string> FilesUnder(const fs::path& folder)
{
    std::set<std::string> files;
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (it->is_regular_file())
            files.insert(Utf8FromWide(fs::relative(it->path(), folder).generic_wstring()));
    }
    return files;
}

void WriteFile(const fs::path& file, const std::string& bytes)
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << bytes;
}

std::wstring Quoted(const fs::path& path) { return L"\"" + path.wstring() + L"\""; }

class InstallerTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(setup_.empty()) << "KESTRUN_INSTALLER names no installer";
        ASSERT_TRUE(fs::exists(stage_ / "kestrun.exe")) << stage_;
        ASSERT_FALSE(KeyExists(kUninstallKey)) << "an earlier test left Kestrun installed";
    }

    void TearDown() override
    {
        // What a failed test left, so that the next one starts afresh.
        for (const fs::path& folder : {defaultFolder_, chosenFolder_.parent_path()}) {
            std::error_code error;
            fs::remove_all(folder, error);
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, kUninstallKey);
        RegDeleteKeyValueW(HKEY_CURRENT_USER, kRunKey, L"Kestrun");
        DeleteFileW(shortcut_.c_str());
    }

    DWORD Install(const fs::path& folder = {}) const
    {
        // NSIS takes the folder unquoted, spaces and all, as the last argument.
        return RunToEnd(Quoted(setup_) + L" /S" + (folder.empty() ? L"" : L" /D=" + folder.wstring()));
    }
    static DWORD Uninstall(const fs::path& folder)
    {
        return RunToEnd(Quoted(folder / "uninstall.exe") + L" /S", true);
    }
    // Runs the uninstaller in place (_?=), which returns its own exit code
    // and leaves itself and the folder.
    static DWORD UninstallInPlace(const fs::path& folder)
    {
        return RunToEnd(Quoted(folder / "uninstall.exe") + L" /S _?=" + folder.wstring());
    }

    // Every file of the stage is in `folder` with the same bytes, and the uninstaller.
    void ExpectStageIn(const fs::path& folder) const
    {
        std::set<std::string> expected = FilesUnder(stage_);
        expected.insert("uninstall.exe");
        std::set<std::string> installed = FilesUnder(folder);
        installed.erase("Kestrun.xml");  // a user's own, where a test puts one
        EXPECT_EQ(installed, expected);
        for (const std::string& name : FilesUnder(stage_)) {
            const fs::path relative = fs::path(WideFromUtf8(name));
            EXPECT_TRUE(ReadFileBytes(folder / relative) == ReadFileBytes(stage_ / relative)) << name;
        }
    }

    void ExpectEntryFor(const fs::path& folder) const
    {
        const std::wstring exe = (folder / "kestrun.exe").wstring();
        const std::wstring uninstaller = Quoted(folder / "uninstall.exe");
        const struct {
            const wchar_t* name;
            std::wstring value;
        } values[] = {
            {L"DisplayName", L"Kestrun"},
            {L"DisplayVersion", WideFromUtf8(KESTRUN_VERSION)},
            {L"Publisher", L"Quillon Works"},
            {L"UninstallString", uninstaller},
            {L"QuietUninstallString", uninstaller + L" /S"},
            {L"InstallLocation", folder.wstring()},
            {L"DisplayIcon", exe + L",0"},
        };
        for (const auto& value : values)
            EXPECT_EQ(ReadString(kUninstallKey, value.name).value_or(L"<none>"), value.value)
                << Utf8FromWide(value.name);
        EXPECT_EQ(ShortcutTarget(shortcut_), fs::path(exe));
    }

    void ExpectNothingLeftOf(const fs::path& folder) const
    {
        EXPECT_FALSE(KeyExists(kUninstallKey));
        EXPECT_FALSE(fs::exists(shortcut_));
        std::set<std::string> left = FilesUnder(folder);
        left.erase("Kestrun.xml");
        EXPECT_EQ(left, std::set<std::string>{});
    }

    const fs::path setup_ = PathFromEnvironment(L"KESTRUN_INSTALLER");
    const fs::path stage_ = PathFromEnvironment(L"KESTRUN_INSTALLER_STAGE");
    const fs::path defaultFolder_ = KnownFolder(FOLDERID_LocalAppData) / "Programs" / "Kestrun";
    const fs::path chosenFolder_ = KnownFolder(FOLDERID_Profile) / L"Mes programmes Ωμέγα" / "Kestrun 1";
    const fs::path shortcut_ = KnownFolder(FOLDERID_Programs) / "Kestrun.lnk";
    const fs::path document_ = KnownFolder(FOLDERID_RoamingAppData) / "Kestrun" / "Kestrun.xml";
};

TEST_F(InstallerTest, SilentInstallAndUninstallKeepTheUsersProgramsAndSettings)
{
    ASSERT_EQ(Install(), 0u);
    ExpectStageIn(defaultFolder_);
    ExpectEntryFor(defaultFolder_);
    const Output version = Capture(defaultFolder_ / "kestrun.exe", {L"--version"});
    EXPECT_EQ(version.code, 0u);
    EXPECT_EQ(version.text, "Kestrun " KESTRUN_VERSION);

    const std::string programs = "<?xml version=\"1.0\"?>\n<Kestrun><!-- the user's --></Kestrun>\n";
    WriteFile(document_, programs);
    WriteString(kSettingsKey, L"Left", L"kept");
    WriteString(kRunKey, L"Kestrun", Quoted(defaultFolder_ / "kestrun.exe"));

    ASSERT_EQ(Uninstall(defaultFolder_), 0u);
    ExpectNothingLeftOf(defaultFolder_);
    EXPECT_FALSE(fs::exists(defaultFolder_));
    // Start at Login of the copy that is gone would start nothing.
    EXPECT_FALSE(ReadString(kRunKey, L"Kestrun"));
    EXPECT_EQ(ReadFileBytes(document_), programs);
    EXPECT_EQ(ReadString(kSettingsKey, L"Left").value_or(L"<none>"), L"kept");
}

TEST_F(InstallerTest, RunningKestrunIsNeitherReplacedNorRemoved)
{
    ASSERT_EQ(Install(), 0u);
    const fs::path exe = defaultFolder_ / "kestrun.exe";
    ProcessReaper reaper;
    const std::uint32_t kestrun = StartProgram(exe);
    ASSERT_NE(kestrun, 0u);
    reaper.processes.push_back(kestrun);
    HANDLE running = OpenProcess(SYNCHRONIZE, FALSE, kestrun);

    // Both end with 2 (aborted) and change nothing.
    EXPECT_EQ(Install(), 2u);
    EXPECT_EQ(UninstallInPlace(defaultFolder_), 2u);
    EXPECT_EQ(WaitForSingleObject(running, 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "Kestrun ended by itself";
    CloseHandle(running);
    ExpectStageIn(defaultFolder_);
    ExpectEntryFor(defaultFolder_);

    EndProcessFamily(kestrun);
    EXPECT_EQ(UninstallInPlace(defaultFolder_), 0u);
    EXPECT_FALSE(KeyExists(kUninstallKey));
    EXPECT_EQ(FilesUnder(defaultFolder_), std::set<std::string>{"uninstall.exe"});
}

TEST_F(InstallerTest, ChosenFolderKeepsWhatIsNotKestruns)
{
    // A folder with a user's own Kestrun.xml beside kestrun.exe (a portable
    // copy), and Start at Login of another copy of Kestrun.
    const std::string portable = "<Kestrun><!-- portable --></Kestrun>\n";
    WriteFile(chosenFolder_ / "Kestrun.xml", portable);
    const std::wstring otherCopy = LR"("C:\Tools\Kestrun\kestrun.exe")";
    WriteString(kRunKey, L"Kestrun", otherCopy);

    // Installing again over the same version changes nothing of it.
    ASSERT_EQ(Install(chosenFolder_), 0u);
    ASSERT_EQ(Install(chosenFolder_), 0u);
    ExpectStageIn(chosenFolder_);
    ExpectEntryFor(chosenFolder_);
    EXPECT_FALSE(fs::exists(defaultFolder_));

    ASSERT_EQ(Uninstall(chosenFolder_), 0u);
    ExpectNothingLeftOf(chosenFolder_);
    EXPECT_EQ(ReadFileBytes(chosenFolder_ / "Kestrun.xml"), portable);
    EXPECT_EQ(ReadString(kRunKey, L"Kestrun").value_or(L"<none>"), otherCopy);
}

}  // namespace
}  // namespace kestrun::test
