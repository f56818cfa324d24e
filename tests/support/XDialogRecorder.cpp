// A plain X window that writes each character typed into it to the file named by its argument, and
// opens a second window of its own on Ctrl+O, as an Open dialog does: "Open", transient for the
// first and of the same process, which writes what it is typed to <that file>.dialog; Escape closes
// it. One event at a time, at once: the dialog is there as soon as the window reads Ctrl+O.

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>

namespace {

Window MakeWindow(Display* display, const char* title, char** argv, int argc)
{
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 300, 200, 0, 0, 0xffffff);
    XSizeHints size{};
    XWMHints hints{};
    hints.flags = InputHint;
    hints.input = True;
    XClassHint kind{const_cast<char*>("x-dialog-recorder"), const_cast<char*>("XDialogRecorder")};
    // Sets WM_NAME, WM_CLIENT_MACHINE and the rest a window manager reads.
    Xutf8SetWMProperties(display, window, title, title, argv, argc, &size, &hints, &kind);
    const unsigned long pid = static_cast<unsigned long>(getpid());
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(&pid), 1);
    XSelectInput(display, window, KeyPressMask);
    return window;
}

int Open(const std::string& path) { return open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND, 0644); }

}  // namespace

int main(int argc, char** argv)
{
    Display* display = XOpenDisplay(nullptr);
    if (!display || argc < 2)
        return 1;
    const std::string path = argv[1];
    const int mainFile = Open(path), dialogFile = Open(path + ".dialog");
    const Window main = MakeWindow(display, "recorder", argv, argc);
    const Window dialog = MakeWindow(display, "Open", argv, argc);
    XSetTransientForHint(display, dialog, main);
    XMapWindow(display, main);
    XFlush(display);
    for (;;) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != KeyPress)
            continue;
        char text[16];
        KeySym sym = NoSymbol;
        const int length = XLookupString(&event.xkey, text, sizeof text, &sym, nullptr);
        const bool intoDialog = event.xkey.window == dialog;
        if ((event.xkey.state & ControlMask) && (sym == XK_o || sym == XK_O)) {
            XMapRaised(display, dialog);
            XFlush(display);
        } else if (intoDialog && sym == XK_Escape) {
            XUnmapWindow(display, dialog);
            XFlush(display);
        } else if (sym == XK_Return || sym == XK_KP_Enter) {
            [[maybe_unused]] const auto written = write(intoDialog ? dialogFile : mainFile, "\n", 1);
        } else if (length > 0 && !(event.xkey.state & ControlMask)) {
            [[maybe_unused]] const auto written = write(intoDialog ? dialogFile : mainFile, text, length);
        }
    }
}
