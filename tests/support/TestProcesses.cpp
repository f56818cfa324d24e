#include "tests/support/TestProcesses.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>

extern char** environ;

namespace kestrun::test {

namespace fs = std::filesystem;

namespace {

pid_t Spawn(std::vector<std::string> argv, int out, int err)
{
    std::vector<char*> args;
    for (auto& arg : argv)
        args.push_back(arg.data());
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    if (out >= 0) {
        posix_spawn_file_actions_adddup2(&actions, out, 1);
        posix_spawn_file_actions_adddup2(&actions, err, 2);
    }
    pid_t pid = -1;
    const int error = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : -1;
}

}  // namespace

pid_t StartProcess(const std::vector<std::string>& argv) { return Spawn(argv, -1, -1); }

void StopProcess(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    // Not a child (a program kestrun started): waitpid fails at once.
    if (!WaitUntil([&] { return waitpid(pid, nullptr, WNOHANG) != 0; }, std::chrono::seconds(3))) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

bool Ended(pid_t pid, int& status) { return waitpid(pid, &status, WNOHANG) == pid; }

pid_t EndedProcess()
{
    const pid_t ended = fork();
    if (ended == 0)
        _exit(0);
    waitpid(ended, nullptr, 0);
    return ended;
}

Outcome RunProgram(const std::vector<std::string>& argv)
{
    const int out = memfd_create("out", MFD_CLOEXEC), err = memfd_create("err", MFD_CLOEXEC);
    Outcome outcome;
    const pid_t pid = Spawn(argv, out, err);
    int status = 0;
    if (pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status))
        outcome.status = WEXITSTATUS(status);
    // A new description of the memory file, read from its start.
    outcome.out = ReadFile("/proc/self/fd/" + std::to_string(out));
    outcome.err = ReadFile("/proc/self/fd/" + std::to_string(err));
    close(out);
    close(err);
    return outcome;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::erase(lines, "");
    return lines;
}

std::string ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void Step(const char* what)
{
    static const auto start = std::chrono::steady_clock::now();
    std::fprintf(stderr, "[%6.1fs] %s\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), what);
}

std::string WaitForOutput(const fs::path& file, std::size_t size)
{
    WaitUntil([&] { return ReadFile(file).size() >= size; }, std::chrono::seconds(60));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    return ReadFile(file);
}

}  // namespace kestrun::test
