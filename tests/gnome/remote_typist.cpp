// A typist that dies with a key down: it starts a remote desktop session of mutter, holds Shift, makes
// the file named by its argument and waits to be killed.

#include "platform/gnome/RemoteDesktopSession.h"

#include <xkbcommon/xkbcommon-keysyms.h>

#include <fstream>
#include <thread>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    kestrun::RemoteDesktopSession session(kestrun::RemoteDesktopSession::Route::Mutter);
    session.Start(nullptr);
    session.Key(XKB_KEY_Shift_L, true);
    session.Key(XKB_KEY_Shift_L, false);
    session.Key(XKB_KEY_Shift_L, true);
    std::ofstream(argv[1]) << "held\n";
    for (;;)
        std::this_thread::sleep_for(std::chrono::seconds(1));
}
