// kestrun-keyguard: watches a typing Kestrun and, should it end without
// having restored the keyboard, releases the keys it left down and gives the
// borrowed key codes their own keysyms back. Its protocol is in
// KeyGuardianProtocol.h.

#include "platform/x11/keyguard/KeyGuardProtocol.h"
#include "platform/x11/keyguard/KeyGuardJournal.h"
#include "platform/x11/keyguard/KeyGuardRepair.h"

#include <X11/Xlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>
#include <string>
#include <thread>

namespace {

using namespace kestrun;
using namespace kestrun::guardian;

// How long the guardian waits for the X server to carry out what the dead
// Kestrun sent last, so that no key press or mapping change of Kestrun's
// lands after the repair.
constexpr auto kDrainTimeout = std::chrono::milliseconds(120);
constexpr auto kDrainFallback = std::chrono::milliseconds(60);

struct Watch {
    std::vector<BorrowedCode> borrowed;
    bool clean = false;
};

// Reads Kestrun's lines until the socket ends; false on a line it cannot read
// (then it repairs all the same).
bool Follow(Watch& watch)
{
    std::string buffer;
    std::vector<BorrowedCode> pending;
    char chunk[4096];
    for (;;) {
        const ssize_t n = read(kSocketDescriptor, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return true;
        buffer.append(chunk, static_cast<std::size_t>(n));
        std::size_t end = 0;
        while ((end = buffer.find('\n')) != std::string::npos) {
            const std::string line = buffer.substr(0, end);
            buffer.erase(0, end + 1);
            watch.clean = false;
            if (line == kEndLine) {
                for (const BorrowedCode& code : pending)
                    AddBorrowedCode(watch.borrowed, code);
                pending.clear();
                if (write(kSocketDescriptor, &kAcknowledge, 1) != 1)
                    return true;
            } else if (line == kRestoredLine) {
                watch.borrowed.clear();
            } else if (line == kCleanLine) {
                watch.clean = true;
            } else if (auto code = ParseBorrowedCode(line)) {
                pending.push_back(std::move(*code));
            } else {
                return false;
            }
        }
    }
}

// The repair goes on past anything the server refuses.
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

void RemoveJournal(const char* path, pid_t writer)
{
    if (std::strcmp(path, "-") == 0)
        return;
    const auto journal = ReadKeymapJournal(path);
    if (journal && journal->writer.pid == writer)
        unlink(path);
}

}  // namespace

int main(int argc, char* argv[])
{
    pid_t kestrun = 0;
    if (argc != 4 || std::from_chars(argv[2], argv[2] + std::strlen(argv[2]), kestrun).ec != std::errc())
        return 2;
    Display* display = XOpenDisplay(argv[1]);
    if (!display)
        return 1;
    XSetErrorHandler(IgnoreXError);
    void* page = mmap(nullptr, kKeyMarksSize, PROT_READ, MAP_SHARED, kKeyMarksDescriptor, 0);
    const auto* marks = page == MAP_FAILED ? nullptr : static_cast<const volatile std::uint8_t*>(page);

    Watch watch;
    Follow(watch);
    if (!watch.clean) {
        if (!WaitUntilClientsGone(display, kestrun, kDrainTimeout))
            std::this_thread::sleep_for(kDrainFallback);
        ReleaseKeys(display, marks);
        RestoreBorrowedCodes(display, watch.borrowed);
        if (!watch.borrowed.empty())
            RemoveJournal(argv[3], kestrun);
    }
    XCloseDisplay(display);
    return 0;
}
