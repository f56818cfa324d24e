#include "platform/wayland/KeymapUpload.h"

#include "platform/PlatformError.h"

#include "virtual-keyboard-unstable-v1-client-protocol.h"

#include <sys/mman.h>
#include <unistd.h>

namespace kestrun {

void UploadKeymap(zwp_virtual_keyboard_v1* keyboard, const std::string& keymap)
{
    const int fd = memfd_create("kestrun-keymap", MFD_CLOEXEC);
    if (fd < 0)
        throw PlatformError("No memory for the keymap.");
    // The compositor maps the text with its terminating NUL.
    const std::size_t size = keymap.size() + 1;
    bool written = true;
    for (std::size_t done = 0; written && done < size;) {
        const ssize_t n = write(fd, keymap.c_str() + done, size - done);
        written = n > 0;
        done += written ? static_cast<std::size_t>(n) : 0;
    }
    if (written)
        zwp_virtual_keyboard_v1_keymap(keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                       static_cast<std::uint32_t>(size));
    close(fd);  // the request carries a copy of it
    if (!written)
        throw PlatformError("No memory for the keymap.");
}

}  // namespace kestrun
