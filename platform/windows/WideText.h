#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kestrun {

/// UTF-8, as the interfaces carry text, to UTF-16, as Win32 takes it. Throws
/// PlatformError naming `what` when `text` is not UTF-8 or holds a NUL, which
/// would silently cut it short at the system call.
std::wstring WideFromUtf8(std::string_view text, std::string_view what = "the text");

/// UTF-16 from Win32 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf8FromWide(std::wstring_view text);

/// The system's message for a Win32 error number, in UTF-8, without the
/// final line break ("error 1234" when the system has none).
std::string Win32ErrorText(std::uint32_t error);

}  // namespace kestrun
