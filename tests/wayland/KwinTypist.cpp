// Kestrun's KWin typing and activation in a process of their own, run as the session's user, whose
// executable the session's desktop entry names:
//   kwin_typist type FILE    types the notation in FILE
//   kwin_typist activate PID activates the window of PID
//   kwin_typist typeandstay FILE  types it, then makes FILE.typed (or FILE.failed with the error) and
//                            lives on, serving the clipboard it gave back, until it is killed
//   kwin_typist slowly FILE  types it a key at a time, 25 ms apart, as tools that type through one
//                            call a key do
// Exit status 0, or 1 with PlatformError's message on standard error.

#include "keys/KeyNotation.h"
#include "keys/NotationTyping.h"
#include "platform/PlatformError.h"
#include "platform/wayland/KwinFakeInputSender.h"
#include "platform/wayland/KwinWindowActivator.h"
#include "platform/wayland/WaylandConnection.h"

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    const std::string command = argv[1];
    try {
        if (command == "type") {
            std::ifstream file(argv[2]);
            std::ostringstream text;
            text << file.rdbuf();
            kestrun::KwinFakeInputSender sender;
            kestrun::SendKeys(sender, text.str(), true);
        } else if (command == "slowly") {
            std::ifstream file(argv[2]);
            std::ostringstream text;
            text << file.rdbuf();
            kestrun::KwinFakeInputSender sender;
            for (const kestrun::KeyStroke& stroke : kestrun::ParseKeySequence(text.str()).strokes) {
                sender.SendKeys({stroke}, true);
                std::this_thread::sleep_for(std::chrono::milliseconds(25));
            }
        } else if (command == "typeandstay") {
            std::ifstream file(argv[2]);
            std::ostringstream text;
            text << file.rdbuf();
            kestrun::KwinFakeInputSender sender;
            try {
                kestrun::SendKeys(sender, text.str(), true);
            } catch (const kestrun::PlatformError& error) {
                std::ofstream(std::string(argv[2]) + ".failed") << error.what();
                throw;
            }
            std::ofstream(std::string(argv[2]) + ".typed").close();
            for (;;)
                pause();
        } else if (command == "activate") {
            kestrun::KwinWindowActivator().Activate(std::stoi(argv[2]));
        } else {
            return 2;
        }
    } catch (const kestrun::PlatformError& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
