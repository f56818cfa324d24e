#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kestrun {

/// True when the bytes are well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

/// The offset of the first byte that does not start a well-formed UTF-8
/// sequence, or npos when there is none.
std::size_t FirstInvalidUtf8(std::string_view text);

/// The text with every byte that is not part of a well-formed UTF-8 sequence
/// replaced by U+FFFD, so that what is stored reads back the same.
std::string ToValidUtf8(std::string_view text);

/// Decodes the code point at `i` (within the text) and moves `i` past it;
/// nothing, with `i` unchanged, when the bytes there are not well-formed
/// UTF-8 (overlong forms and surrogates included).
std::optional<char32_t> DecodeUtf8(std::string_view text, std::size_t& i);

/// Appends the UTF-8 form of a code point.
void AppendUtf8(std::string& out, char32_t c);

}  // namespace kestrun
