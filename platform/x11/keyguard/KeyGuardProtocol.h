#pragma once

#include <cstddef>
#include <string_view>

// What Kestrun and its keyboard guardian ("kestrun-keyguard") say to each
// other. The guardian is started as
//   kestrun-keyguard <display> <Kestrun's process id> <journal path, or ->
// with a stream socket to Kestrun as descriptor 3 and, as descriptor 4, the
// shared page where Kestrun marks the keys that may be down (one byte per key
// code). Kestrun sends text lines: journal "code" lines closed by kEndLine,
// which the guardian acknowledges with kAcknowledge once it knows them;
// kRestoredLine once the codes have their own keysyms again; kCleanLine just
// before it closes the socket with nothing left to repair. The socket's end
// without kCleanLine means Kestrun died: the guardian repairs the keyboard.
namespace kestrun::guardian {

constexpr int kSocketDescriptor = 3;
constexpr int kKeyMarksDescriptor = 4;
constexpr std::size_t kKeyMarksSize = 256;

constexpr std::string_view kEndLine = "end";
constexpr std::string_view kRestoredLine = "restored";
constexpr std::string_view kCleanLine = "clean";
constexpr char kAcknowledge = 'k';

constexpr std::string_view kExecutableName = "kestrun-keyguard";

}  // namespace kestrun::guardian
