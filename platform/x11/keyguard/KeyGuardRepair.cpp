#include "platform/x11/keyguard/KeyGuardRepair.h"

#include "platform/x11/keyguard/KeyGuardJournal.h"

#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>
#include <X11/extensions/XTest.h>

#include <algorithm>
#include <map>
#include <set>
#include <thread>

namespace kestrun {

namespace {

std::vector<unsigned long> Unpadded(std::vector<unsigned long> syms)
{
    while (!syms.empty() && syms.back() == NoSymbol)
        syms.pop_back();
    return syms;
}

std::vector<unsigned long> CurrentSyms(Display* display, unsigned char code)
{
    int width = 0;
    KeySym* syms = XGetKeyboardMapping(display, code, 1, &width);
    std::vector<unsigned long> current;
    if (syms) {
        current.assign(syms, syms + width);
        XFree(syms);
    }
    return current;
}

int IgnoreXError(Display*, XErrorEvent*) { return 0; }

bool HasClientOf(Display* display, pid_t pid)
{
    XResClientIdSpec spec{None, XRES_CLIENT_ID_PID_MASK};
    long count = 0;
    XResClientIdValue* ids = nullptr;
    if (XResQueryClientIds(display, 1, &spec, &count, &ids) != Success)
        return false;
    bool found = false;
    for (long k = 0; k < count && !found; ++k)
        found = XResGetClientPid(&ids[k]) == pid;
    XResClientIdsDestroy(count, ids);
    return found;
}

}  // namespace

bool HoldsBorrowed(const std::vector<unsigned long>& current, const std::vector<unsigned long>& borrowed)
{
    const auto expected = Unpadded(borrowed);
    return !expected.empty() && Unpadded(current) == expected;
}

int RestoreBorrowedCodes(Display* display, const std::vector<BorrowedCode>& codes)
{
    // The codes come from a file: one the server does not have is skipped,
    // and whatever the server refuses must not end the process.
    int firstCode = 0, lastCode = 0;
    XDisplayKeycodes(display, &firstCode, &lastCode);
    std::map<unsigned char, std::vector<const BorrowedCode*>> byCode;
    for (const BorrowedCode& entry : codes)
        if (entry.code >= firstCode && entry.code <= lastCode && CouldHaveBorrowed(entry))
            byCode[entry.code].push_back(&entry);
    XSync(display, False);
    const auto previousHandler = XSetErrorHandler(IgnoreXError);

    // One request per code: the server derives the XKB types of every code a
    // core request covers afresh from its keysyms, which can give a key
    // groups it never had; code by code, each gets back exactly its own.
    int restored = 0;
    for (const auto& [code, entries] : byCode) {
        const auto current = CurrentSyms(display, code);
        const bool ours = std::any_of(entries.begin(), entries.end(),
                                      [&](const BorrowedCode* entry) { return HoldsBorrowed(current, entry->borrowed); });
        std::vector<KeySym> original(entries.front()->original.begin(), entries.front()->original.end());
        if (!ours || original.empty())
            continue;
        XChangeKeyboardMapping(display, code, static_cast<int>(original.size()), original.data(), 1);
        ++restored;
    }
    XSync(display, False);
    XSetErrorHandler(previousHandler);
    return restored;
}

void ReleaseKeys(Display* display, const volatile std::uint8_t* marks)
{
    std::set<int> release;
    if (marks)
        for (int code = 0; code < 256; ++code)
            if (marks[code])
                release.insert(code);
    if (XModifierKeymap* modifiers = XGetModifierMapping(display)) {
        for (int k = 0; k < 8 * modifiers->max_keypermod; ++k)
            if (modifiers->modifiermap[k])
                release.insert(modifiers->modifiermap[k]);
        XFreeModifiermap(modifiers);
    }
    char down[32];
    XQueryKeymap(display, down);
    for (const int code : release)
        if (down[code / 8] & (1 << (code % 8)))
            XTestFakeKeyEvent(display, static_cast<unsigned>(code), False, CurrentTime);
    XSync(display, False);
}

bool WaitUntilClientsGone(Display* display, pid_t pid, std::chrono::milliseconds timeout)
{
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XResQueryExtension(display, &event, &error) || !XResQueryVersion(display, &major, &minor) ||
        (major == 1 && minor < 2) || major < 1)
        return false;
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (HasClientOf(display, pid)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

}  // namespace kestrun
