#pragma once

// Texts for the typing benchmarks, and what a recorder made of them.

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/KeyStroke.h"

namespace kestrun::bench {

using Clock = std::chrono::steady_clock;

/// A text of `length` characters: ASCII words, with about `foreignShare` of
/// its picks drawn from `distinct` characters that the us layout lacks.
std::u32string MixedText(std::size_t length, double foreignShare, std::size_t distinct);

/// The strokes that type `text` as it is (line breaks as Enter).
std::vector<KeyStroke> Strokes(const std::u32string& text);

std::string Utf8(const std::u32string& text);
std::u32string Decode(const std::string& bytes);

/// Characters wrong or lost (or extra): the edit distance between the texts.
std::size_t Errors(const std::u32string& expected, const std::u32string& got);

/// Waits until the recorder holds `bytes` bytes or has stopped growing for a
/// second; returns the time at which its last byte arrived.
Clock::time_point WaitForRecording(const std::filesystem::path& output, std::size_t bytes);

std::string ReadFile(const std::filesystem::path& path);

/// Distinct characters outside ASCII.
std::size_t ForeignCount(const std::u32string& text);

}  // namespace kestrun::bench
