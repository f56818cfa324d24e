#pragma once

#include <string>

namespace kestrun {

/// The extension of the file a path names: what follows the last "." of the
/// last path part, or the whole last part when it has no ".". "\" and "/"
/// both separate folders. Never fails.
std::string GetFileExtension(const std::string& path);

}  // namespace kestrun
