#include "platform/x11/keyguard/KeyGuard.h"

#include "platform/x11/keyguard/KeyGuardProtocol.h"
#include "platform/x11/keyguard/KeyGuardJournal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

extern char** environ;

namespace kestrun {

namespace {

using namespace guardian;

// How long Kestrun waits for the guardian to take note of borrowed codes, and
// to end once told to. It answers at once unless it is hung.
constexpr int kAnswerTimeoutMs = 2000;

// A descriptor moved above the ones the guardian's are copied to, so that
// copying one cannot overwrite the other.
int MovedHigh(int fd)
{
    const int moved = fcntl(fd, F_DUPFD_CLOEXEC, 10);
    close(fd);
    return moved;
}

bool WaitReadable(int fd, int timeoutMs)
{
    pollfd poller{fd, POLLIN, 0};
    int ready = 0;
    do
        ready = poll(&poller, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    return ready > 0;
}

class NullKeyboardGuard : public KeyboardGuard {
public:
    void Borrowing(const std::vector<BorrowedCode>&) override {}
    void Restored() override {}
    void KeyDown(unsigned char) override {}
    void KeyUp(unsigned char) override {}
    bool Watching() const override { return false; }
    void LeaveToGuardian() override {}
};

void SayGuardianMissing(const std::filesystem::path& executable, int error)
{
    static std::atomic_flag said = ATOMIC_FLAG_INIT;
    if (!said.test_and_set())
        std::fprintf(stderr,
                     "Kestrun cannot start its keyboard guardian %s (%s): should Kestrun die while it types, "
                     "the next start of Kestrun repairs the keyboard.\n",
                     executable.c_str(), std::strerror(error));
}

class GuardianKeyboardGuard : public KeyboardGuard {
public:
    GuardianKeyboardGuard(const std::string& displayName, const std::filesystem::path& executable)
        : journalPath_(KeymapJournalPath(displayName))
    {
        journal_.writer = CurrentProcess();
        int memory = memfd_create("kestrun-keys", MFD_CLOEXEC);
        if (memory >= 0 && ftruncate(memory, kKeyMarksSize) == 0) {
            void* page = mmap(nullptr, kKeyMarksSize, PROT_READ | PROT_WRITE, MAP_SHARED, memory, 0);
            if (page != MAP_FAILED)
                marks_ = static_cast<volatile std::uint8_t*>(page);
        }
        if (!marks_) {
            SayGuardianMissing(executable, errno);
            marks_ = ownMarks_.data();
        } else {
            Spawn(displayName, executable, MovedHigh(memory));
            memory = -1;
        }
        if (memory >= 0)
            close(memory);
    }

    ~GuardianKeyboardGuard() override
    {
        if (socket_ >= 0 && leftToGuardian_) {
            // Not told that all is clean, the guardian repairs once this
            // process and its X connection are gone.
            close(socket_);
        } else if (socket_ >= 0) {
            if (journal_.codes.empty() && !AnyKeyMarked())
                Send(std::string(kCleanLine) + "\n");
            // The guardian ends, repairing first when it was not told that
            // all is clean, and its end of the socket closes with it.
            shutdown(socket_, SHUT_WR);
            char ignored[64];
            ssize_t n = -1;
            while (WaitReadable(socket_, kAnswerTimeoutMs) && (n = read(socket_, ignored, sizeof ignored)) > 0) {
            }
            if (n == 0) {
                close(socket_);
            } else {
                LoseGuardian();
            }
        }
        if (guardian_ > 0 && !leftToGuardian_)
            waitpid(guardian_, nullptr, 0);
        if (marks_ != ownMarks_.data())
            munmap(const_cast<std::uint8_t*>(marks_), kKeyMarksSize);
    }

    GuardianKeyboardGuard(const GuardianKeyboardGuard&) = delete;
    GuardianKeyboardGuard& operator=(const GuardianKeyboardGuard&) = delete;

    void Borrowing(const std::vector<BorrowedCode>& codes) override
    {
        if (codes.empty())
            return;
        for (const BorrowedCode& code : codes)
            AddBorrowedCode(journal_.codes, code);
        if (journalPath_)
            WriteKeymapJournal(*journalPath_, journal_);
        if (socket_ < 0)
            return;
        std::string message;
        for (const BorrowedCode& code : codes)
            message += FormatBorrowedCode(code);
        message += std::string(kEndLine) + "\n";
        char answer = 0;
        if (!Send(message) || !WaitReadable(socket_, kAnswerTimeoutMs) || read(socket_, &answer, 1) != 1 ||
            answer != kAcknowledge)
            LoseGuardian();
    }

    void Restored() override
    {
        journal_.codes.clear();
        if (journalPath_)
            unlink(journalPath_->c_str());
        if (socket_ >= 0 && !Send(std::string(kRestoredLine) + "\n"))
            LoseGuardian();
    }

    void KeyDown(unsigned char code) override { marks_[code] = 1; }
    void KeyUp(unsigned char code) override { marks_[code] = 0; }
    bool Watching() const override { return socket_ >= 0; }
    void LeaveToGuardian() override { leftToGuardian_ = socket_ >= 0; }

private:
    void Spawn(const std::string& displayName, const std::filesystem::path& executable, int memory)
    {
        int ends[2];
        if (memory < 0 || socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) {
            SayGuardianMissing(executable, errno);
            if (memory >= 0)
                close(memory);
            return;
        }
        const int theirs = MovedHigh(ends[1]);
        socket_ = ends[0];

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, theirs, kSocketDescriptor);
        posix_spawn_file_actions_adddup2(&actions, memory, kKeyMarksDescriptor);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        // A session of its own: a Ctrl+C or a hang-up meant for Kestrun's
        // terminal must not end the guardian together with Kestrun.
        sigset_t none, defaults;
        sigemptyset(&none);
        sigemptyset(&defaults);
        for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGCHLD})
            sigaddset(&defaults, signal);
        posix_spawnattr_setsigmask(&attributes, &none);
        posix_spawnattr_setsigdefault(&attributes, &defaults);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

        std::vector<std::string> arguments = {executable.string(), displayName, std::to_string(getpid()),
                                              journalPath_ ? journalPath_->string() : "-"};
        std::vector<char*> argv;
        for (auto& argument : arguments)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        pid_t pid = -1;
        const int error = posix_spawn(&pid, argv[0], &actions, &attributes, argv.data(), environ);
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        close(theirs);
        close(memory);
        if (error != 0) {
            SayGuardianMissing(executable, error);
            close(socket_);
            socket_ = -1;
            return;
        }
        guardian_ = pid;
        journal_.guardian = RunningProcess(pid).value_or(ProcessIdentity{pid, 0});
    }

    bool Send(const std::string& message)
    {
        std::size_t sent = 0;
        while (sent < message.size()) {
            const ssize_t n = send(socket_, message.data() + sent, message.size() - sent, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }

    // The guardian died or hangs: typing goes on with the journal alone. A
    // guardian that hangs is ended, lest it wake and repair amid typing.
    void LoseGuardian()
    {
        close(socket_);
        socket_ = -1;
        if (guardian_ > 0) {
            kill(guardian_, SIGKILL);
            waitpid(guardian_, nullptr, 0);
            guardian_ = -1;
        }
    }

    bool AnyKeyMarked() const
    {
        for (std::size_t code = 0; code < kKeyMarksSize; ++code)
            if (marks_[code])
                return true;
        return false;
    }

    std::optional<std::filesystem::path> journalPath_;
    KeymapJournal journal_;
    int socket_ = -1;
    pid_t guardian_ = -1;
    bool leftToGuardian_ = false;
    volatile std::uint8_t* marks_ = nullptr;
    std::array<std::uint8_t, kKeyMarksSize> ownMarks_{};
};

// Beside Kestrun's own executable (the build tree), else where an installed
// Kestrun keeps it.
std::filesystem::path GuardianExecutable()
{
    std::error_code error;
    const auto folder = std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
    const auto beside = folder / kExecutableName;
    if (std::filesystem::exists(beside, error))
        return beside;
    return (folder / KESTRUN_KEYGUARD_FROM_PROGRAM / kExecutableName).lexically_normal();
}

}  // namespace

std::unique_ptr<KeyboardGuard> StartKeyboardGuard(const std::string& displayName)
{
    return StartKeyboardGuard(displayName, GuardianExecutable());
}

std::unique_ptr<KeyboardGuard> StartKeyboardGuard(const std::string& displayName,
                                                  const std::filesystem::path& guardian)
{
    return std::make_unique<GuardianKeyboardGuard>(displayName, guardian);
}

std::unique_ptr<KeyboardGuard> MakeNullKeyboardGuard() { return std::make_unique<NullKeyboardGuard>(); }

}  // namespace kestrun
