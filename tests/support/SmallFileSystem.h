#pragma once

#include <sys/mount.h>

#include <filesystem>
#include <fstream>

namespace kestrun::test {

/// A 256 KiB tmpfs over a folder of the test's (mounting needs root), to fill or make read-only.
struct SmallFileSystem {
    explicit SmallFileSystem(std::filesystem::path at) : at(std::move(at))
    {
        std::filesystem::create_directories(this->at);
        mounted = ::mount("tmpfs", this->at.c_str(), "tmpfs", 0, "size=256k") == 0;
    }
    ~SmallFileSystem() { mounted ? void(::umount2(at.c_str(), MNT_DETACH)) : void(); }
    /// Takes every free byte into ".filler"; removing it gives them back.
    void Fill() const
    {
        std::ofstream out(at / ".filler");
        for (const std::string block(4096, 'f'); out.write(block.data(), block.size()) && out.flush();) {
        }
    }
    void ReadOnly(bool on) const { ::mount(nullptr, at.c_str(), nullptr, MS_REMOUNT | (on ? MS_RDONLY : 0), nullptr); }

    std::filesystem::path at;
    bool mounted = false;
};

}  // namespace kestrun::test
