#pragma once

#include <string>

struct zwp_virtual_keyboard_v1;

namespace kestrun {

/// Gives a virtual keyboard `keymap`, a keymap in the xkb text format
/// (zwp_virtual_keyboard_v1.keymap). Throws PlatformError when there is no
/// memory to hand it over in.
void UploadKeymap(zwp_virtual_keyboard_v1* keyboard, const std::string& keymap);

}  // namespace kestrun
