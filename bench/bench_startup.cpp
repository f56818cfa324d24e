// Start-up of kestrun against the floor of a bare Qt tray application, side by
// side in one run on a private X server with an XEmbed tray (trayer): the
// time from process start until its icon is embedded and shown in the tray,
// and the resident memory once idle. Prints the median of several rounds.

#include "tests/support/XSession.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <algorithm>
#include <cstdlib>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using kestrun::test::StartProcess;
using kestrun::test::StopProcess;
namespace fs = std::filesystem;

constexpr int kRounds = 7;

std::optional<long> WindowPid(Display* display, Window window)
{
    static const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, remaining = 0;
    unsigned char* data = nullptr;
    std::optional<long> pid;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &count, &remaining,
                           &data) == Success &&
        data && count == 1)
        pid = *reinterpret_cast<long*>(data);
    if (data)
        XFree(data);
    return pid;
}

// A viewable window of the process below another window than the root: its
// icon, embedded in the tray.
bool IconShown(Display* display, Window window, Window root, pid_t pid)
{
    Window rootReturn = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, window, &rootReturn, &parent, &children, &count))
        return false;
    bool shown = false;
    if (window != root && parent != root && WindowPid(display, window) == pid) {
        XWindowAttributes attributes;
        shown = XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable;
    }
    for (unsigned int i = 0; i < count && !shown; ++i)
        shown = IconShown(display, children[i], root, pid);
    if (children)
        XFree(children);
    return shown;
}

long ResidentKiB(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

struct Sample {
    double milliseconds = -1;
    long residentKiB = -1;
};

Sample Measure(const std::vector<std::string>& argv)
{
    Sample sample;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return sample;
    const Window root = DefaultRootWindow(display);
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = StartProcess(argv);
    while (pid > 0 && std::chrono::steady_clock::now() - start < 30s) {
        if (IconShown(display, root, root, pid)) {
            sample.milliseconds =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
            break;
        }
        std::this_thread::sleep_for(2ms);
    }
    XCloseDisplay(display);
    std::this_thread::sleep_for(3s);  // idle
    sample.residentKiB = ResidentKiB(pid);
    StopProcess(pid);
    return sample;
}

template <typename T>
T Median(std::vector<T> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main()
{
    kestrun::test::XSession session({.tray = true});
    if (!session.ok()) {
        std::fprintf(stderr, "bench_startup: %s\n", session.failure.c_str());
        return 1;
    }
    // kestrun with the shipped document, from a folder of its own.
    const std::vector<std::string> kestrun{
        session.InstallKestrun(kestrun::test::ReadFile(KESTRUN_SHIPPED_DOCUMENT)).string()};
    const std::vector<std::string> floor{KESTRUN_FLOOR_EXECUTABLE, KESTRUN_TRAY_IMAGE};

    std::vector<double> kestrunMs, floorMs;
    std::vector<long> kestrunKiB, floorKiB;
    Measure(floor);  // warms the file cache for both
    for (int round = 0; round < kRounds; ++round) {
        const Sample f = Measure(floor);
        const Sample k = Measure(kestrun);
        floorMs.push_back(f.milliseconds);
        floorKiB.push_back(f.residentKiB);
        kestrunMs.push_back(k.milliseconds);
        kestrunKiB.push_back(k.residentKiB);
    }

    const double km = Median(kestrunMs), fm = Median(floorMs);
    const long kk = Median(kestrunKiB), fk = Median(floorKiB);
    std::printf("start-up to tray icon, median of %d rounds (Xvfb, openbox, trayer):\n", kRounds);
    std::printf("  %-22s %8.1f ms  %8.1f MiB resident when idle\n", "kestrun", km, kk / 1024.0);
    std::printf("  %-22s %8.1f ms  %8.1f MiB resident when idle\n", "bare Qt tray (floor)", fm, fk / 1024.0);
    std::printf("  %-22s %8.2f x     %8.2f x\n", "ratio", km / fm, static_cast<double>(kk) / fk);
    return 0;
}
