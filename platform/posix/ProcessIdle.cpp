#include "platform/posix/ProcessIdle.h"

#include "core/AsciiText.h"
#include "platform/posix/ProcStat.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

namespace kestrun {

namespace {

// Where the kernel's poll, select and epoll put a thread to sleep.
constexpr const char* kInputWaits[] = {"poll_schedule_timeout", "do_select", "do_sys_poll", "core_sys_select",
                                       "ep_poll"};

std::optional<std::string> ReadWholeFile(const std::filesystem::path& path)
{
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

std::optional<bool> ThreadWaitsForInput(char state, const std::string& channel)
{
    if (state != 'S')
        return false;  // running, or asleep for something else than input (D: a disk)
    if (channel.empty() || channel == "0")
        return std::nullopt;
    for (const char* wait : kInputWaits)
        if (channel.rfind(wait, 0) == 0)
            return true;
    return false;
}

std::optional<std::string> SyscallSignature(const std::string& syscallLine)
{
    const auto words = Words(syscallLine);
    if (words.size() < 3 || words[0] == "running" || words[0].front() == '-')
        return std::nullopt;
    return std::string(words[0]) + " " + std::string(words[1]) + " " + std::string(words[2]);
}

std::optional<std::string> WaitSignature(long pid)
{
    std::error_code error;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    std::map<std::string, std::string> byThread;
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        const auto line = ReadWholeFile(task.path() / "syscall");
        const auto signature = line ? SyscallSignature(*line) : std::nullopt;
        if (!signature)
            return std::nullopt;
        byThread[task.path().filename().string()] = *signature;
    }
    if (error || byThread.empty())
        return std::nullopt;
    std::string all;
    for (const auto& [thread, signature] : byThread)
        all += thread + ":" + signature + ";";
    return all;
}

std::optional<bool> WaitsForInput(long pid)
{
    std::error_code error;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    bool any = false;
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        const auto stat = ReadWholeFile(task.path() / "stat");
        const auto channel = ReadWholeFile(task.path() / "wchan");
        const auto parsed = stat ? ParseProcStat(*stat) : std::nullopt;
        if (!parsed || !channel)
            return std::nullopt;
        const std::optional<bool> waits = ThreadWaitsForInput(parsed->state, *channel);
        if (!waits || !*waits)
            return waits;
        any = true;
    }
    if (error || !any)
        return std::nullopt;
    return true;
}

}  // namespace kestrun
