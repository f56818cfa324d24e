#include "platform/KeyboardRecovery.h"

#include "platform/linux/KeymapJournal.h"
#include "platform/linux/KeymapRepair.h"

#include <X11/Xlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace kestrun {

void RestoreKeyboardFromJournal()
{
    const char* display = std::getenv("DISPLAY");
    if (!display)
        return;
    const auto path = KeymapJournalPath(display);
    struct stat info {};
    if (!path || stat(path->c_str(), &info) != 0)
        return;
    const auto journal = ReadKeymapJournal(*path);
    // A journal still looked after by a live Kestrun or guardian is theirs.
    if (!journal || IsRunning(journal->writer) || (journal->guardian.pid > 0 && IsRunning(journal->guardian)))
        return;
    Display* connection = XOpenDisplay(display);
    if (!connection)
        return;
    RestoreBorrowedCodes(connection, journal->codes);
    XCloseDisplay(connection);
    unlink(path->c_str());
}

}  // namespace kestrun
