#pragma once

#include <string>
#include <vector>

namespace kestrun {

/// A command line that the C runtime's parser (and CommandLineToArgvW) splits
/// back into exactly `program` and `arguments`. The program's name is always
/// quoted, as that parser reads the first word by quotes alone; each argument
/// is quoted when it is empty or holds a space, a tab or a quote, with the
/// backslashes before a quote, and before the closing quote, doubled.
/// Throws PlatformError when the program's name holds a quote, which no
/// file name on Windows does and no command line could carry.
std::wstring CommandLineFor(const std::wstring& program, const std::vector<std::wstring>& arguments = {});

}  // namespace kestrun
