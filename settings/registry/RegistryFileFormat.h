#pragma once

#include "settings/registry/RegistryFileTree.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestrun {

/// The settings file's text, in the form of registry export files:
///
///     [HKEY_CURRENT_USER\Software\Quillon Works\Kestrun\Position]
///     "frmMain Left"=dword:00001248
///     "Title"="Some text"
///     @="the key's unnamed value"
///     "Raw"=hex(2):41,00
///
/// A quoted text is a REG_SZ of exactly those bytes (no terminating NUL);
/// inside it \\ stands for a backslash and \" for a quote. dword:XXXXXXXX is a
/// REG_DWORD of four bytes; hex:.. a REG_BINARY and hex(N):.. a value of type N
/// (hexadecimal), as comma-separated bytes that may continue on the next line
/// after a trailing backslash. A REG_SZ that holds a NUL, a line break or
/// bytes that are not UTF-8 is written as hex(1):.. so that it reads back
/// exactly. Blank lines and lines starting with ";" are ignored.

/// The keys and values of a settings file's text, or nothing when the text
/// does not follow the format; then `badLine`, when given, is set to the
/// number (from 1) of the line where it stops following it.
std::optional<RegistryTree> ParseRegistryText(std::string_view text, std::size_t* badLine = nullptr);

/// The keys and values of the lines of a text that follow the format: other
/// lines are passed over, and so are the values under a key line that does
/// not follow it. For what can still be read of a file that is refused whole.
RegistryTree ReadableRegistryValues(std::string_view text);

/// The text of a settings file holding the tree.
std::string RegistryText(const RegistryTree& tree);

}  // namespace kestrun
