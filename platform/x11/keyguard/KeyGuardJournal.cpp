#include "platform/x11/keyguard/KeyGuardJournal.h"

#include "core/AsciiText.h"
#include "platform/posix/ProcStat.h"
#include "platform/x11/keyguard/NeutralKeyCodes.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kestrun {

namespace {

constexpr std::string_view kHeader = "kestrun-keymap-journal 1";
constexpr std::size_t kMostKeysymsPerCode = 64;
constexpr std::size_t kMostCodes = 4096;

template <typename Number>
std::optional<Number> ReadNumber(std::string_view word, int base = 10)
{
    Number value{};
    const auto [end, error] = std::from_chars(word.data(), word.data() + word.size(), value, base);
    if (error != std::errc() || end != word.data() + word.size() || word.empty())
        return std::nullopt;
    return value;
}

std::optional<ProcessIdentity> ReadProcess(const std::vector<std::string_view>& words, std::string_view key)
{
    if (words.size() != 3 || words[0] != key)
        return std::nullopt;
    const auto pid = ReadNumber<pid_t>(words[1]);
    const auto started = ReadNumber<unsigned long long>(words[2]);
    if (!pid || *pid <= 0 || !started)
        return std::nullopt;
    return ProcessIdentity{*pid, *started};
}

std::string ProcessLine(std::string_view key, const ProcessIdentity& process)
{
    return std::string(key) + " " + std::to_string(process.pid) + " " + std::to_string(process.started) + "\n";
}

}  // namespace

ProcessIdentity CurrentProcess() { return RunningProcess(getpid()).value_or(ProcessIdentity{getpid(), 0}); }

std::optional<ProcessIdentity> RunningProcess(pid_t pid)
{
    const auto stat = ReadProcStat(pid);
    if (!stat || stat->state == 'Z' || stat->state == 'X')
        return std::nullopt;
    return ProcessIdentity{pid, stat->started};
}

bool IsRunning(const ProcessIdentity& process)
{
    const auto running = RunningProcess(process.pid);
    return running && *running == process;
}

bool ProvenEnded(const ProcessIdentity& process)
{
    if (process.pid <= 0)
        return true;  // no process was ever named
    if (const auto stat = ReadProcStat(process.pid))
        return stat->state == 'Z' || stat->state == 'X' || (process.started != 0 && stat->started != process.started);
    return kill(process.pid, 0) != 0 && errno == ESRCH;
}

void AddBorrowedCode(std::vector<BorrowedCode>& codes, const BorrowedCode& entry)
{
    const auto sameCode = [&](const BorrowedCode& known) { return known.code == entry.code; };
    const auto first = std::find_if(codes.begin(), codes.end(), sameCode);
    BorrowedCode added = entry;
    if (first != codes.end())
        added.original = first->original;
    if (std::count_if(codes.begin(), codes.end(), sameCode) >= 2)
        codes.erase(first);
    codes.push_back(std::move(added));
}

std::string FormatBorrowedCode(const BorrowedCode& code)
{
    std::ostringstream line;
    line << "code " << static_cast<unsigned>(code.code) << ' ' << code.original.size() << std::hex;
    for (const unsigned long sym : code.original)
        line << ' ' << sym;
    for (const unsigned long sym : code.borrowed)
        line << ' ' << sym;
    line << '\n';
    return line.str();
}

std::optional<BorrowedCode> ParseBorrowedCode(std::string_view line)
{
    const auto words = Words(line);
    if (words.size() < 3 || words[0] != "code")
        return std::nullopt;
    const auto code = ReadNumber<unsigned>(words[1]);
    const auto count = ReadNumber<std::size_t>(words[2]);
    if (!code || *code > 255 || !count || *count == 0 || *count > kMostKeysymsPerCode ||
        words.size() != 3 + 2 * *count)
        return std::nullopt;
    BorrowedCode parsed;
    parsed.code = static_cast<unsigned char>(*code);
    for (std::size_t k = 0; k < 2 * *count; ++k) {
        const auto sym = ReadNumber<unsigned long>(words[3 + k], 16);
        if (!sym)
            return std::nullopt;
        (k < *count ? parsed.original : parsed.borrowed).push_back(*sym);
    }
    return parsed;
}

bool CouldHaveBorrowed(const BorrowedCode& code)
{
    return IsNeutralKeyCode(code.code) && std::all_of(code.original.begin(), code.original.end(), IsSpareKeysym);
}

std::string FormatKeymapJournal(const KeymapJournal& journal)
{
    std::string text = std::string(kHeader) + "\n";
    text += ProcessLine("writer", journal.writer);
    text += ProcessLine("guardian", journal.guardian);
    for (const BorrowedCode& code : journal.codes)
        text += FormatBorrowedCode(code);
    return text + "end\n";
}

std::optional<KeymapJournal> ParseKeymapJournal(std::string_view text)
{
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            return std::nullopt;  // a journal always ends with a line break
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    if (lines.size() < 4 || lines.front() != kHeader || lines.back() != "end" || lines.size() > kMostCodes + 4)
        return std::nullopt;
    KeymapJournal journal;
    // The guardian's line may name no process: 0 0 when it could not start.
    const auto writer = ReadProcess(Words(lines[1]), "writer");
    const auto guardianWords = Words(lines[2]);
    const bool noGuardian = guardianWords.size() == 3 && guardianWords[0] == "guardian" &&
                            guardianWords[1] == "0" && guardianWords[2] == "0";
    const auto guardian = noGuardian ? ProcessIdentity{} : ReadProcess(guardianWords, "guardian");
    if (!writer || !guardian)
        return std::nullopt;
    journal.writer = *writer;
    journal.guardian = *guardian;
    for (std::size_t k = 3; k + 1 < lines.size(); ++k) {
        auto code = ParseBorrowedCode(lines[k]);
        if (!code)
            return std::nullopt;
        journal.codes.push_back(std::move(*code));
    }
    return journal;
}

std::optional<std::filesystem::path> KeymapJournalPath(const std::string& displayName)
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || runtime[0] != '/')
        return std::nullopt;
    std::string name = displayName;
    for (char& c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == ':' || c == '.' || c == '-' || c == '_'))
            c = '_';
    return std::filesystem::path(runtime) / "kestrun" / ("keymap-" + name + ".journal");
}

bool WriteKeymapJournal(const std::filesystem::path& path, const KeymapJournal& journal)
{
    const auto folder = path.parent_path();
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    const std::string text = FormatKeymapJournal(journal);
    const auto temporary = path.string() + "." + std::to_string(getpid());
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        written += static_cast<std::size_t>(n);
    }
    // No fsync: the journal only has to outlive processes, not the machine;
    // after a power loss the X server starts with its own keymap anyway.
    const bool ok = written == text.size();
    if (close(fd) != 0 || !ok || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::optional<KeymapJournal> ReadKeymapJournal(const std::filesystem::path& path)
{
    // Whatever else is found there is never followed nor read: a FIFO would
    // block the start, a device would never end.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    struct stat info {};
    std::string text;
    bool whole = false;
    if (fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid() &&
        info.st_size <= static_cast<off_t>(kMostJournalBytes)) {
        // One byte more than a journal may hold tells a file grown since.
        text.resize(kMostJournalBytes + 1);
        std::size_t size = 0;
        while (size <= kMostJournalBytes) {
            const ssize_t n = read(fd, text.data() + size, text.size() - size);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                whole = n == 0;
                break;
            }
            size += static_cast<std::size_t>(n);
        }
        text.resize(size);
    }
    close(fd);
    if (!whole)
        return std::nullopt;
    return ParseKeymapJournal(text);
}

}  // namespace kestrun
