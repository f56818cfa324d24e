// The seat's clipboard through Kestrun's data control, for the tests, run as the session's user:
//   clipboard_tool own TYPE FILE [TYPE FILE...]  puts each FILE's bytes on the clipboard as TYPE, and
//                                                 serves them until another program takes the clipboard
//   clipboard_tool read FOLDER                    makes FOLDER and writes the data of the n-th type the
//                                                 clipboard offers to FOLDER/n, and that type's name as
//                                                 line n of standard output (no line: it is empty)
// Exit status 0, 1 when there is no clipboard to reach or it cannot be read whole, 2 for a wrong call.

#include "platform/wayland/DataControl.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>

namespace {

std::string Contents(const char* path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    const bool own = command == "own" && argc >= 4 && argc % 2 == 0, read = command == "read" && argc == 3;
    if (!own && !read)
        return 2;
    const auto clipboard = kestrun::DataControl::Open();
    if (!clipboard) {
        std::fprintf(stderr, "clipboard_tool: the compositor offers no data control\n");
        return 1;
    }
    if (own) {
        std::map<std::string, std::string> content;
        for (int i = 2; i + 1 < argc; i += 2)
            content[argv[i]] = Contents(argv[i + 1]);
        clipboard->Serve(std::move(content));
        while (clipboard->Serving())
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return 0;
    }
    if (!clipboard->Save()) {
        std::fprintf(stderr, "clipboard_tool: the clipboard cannot be read whole\n");
        return 1;
    }
    const std::filesystem::path folder = argv[2];
    std::filesystem::create_directories(folder);
    int n = 0;
    for (const auto& [type, data] : clipboard->Saved()) {
        std::ofstream(folder / std::to_string(n++), std::ios::binary) << data;
        std::printf("%s\n", type.c_str());
    }
    return 0;
}
