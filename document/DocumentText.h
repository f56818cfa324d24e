#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestrun {

/// The checks that the bytes of a task document pass before the parser sees
/// them. The parser is lenient where XML is not: it reads bytes that are not
/// UTF-8 as they come, and it decodes `&#0;` into a NUL that silently cuts the
/// value. Each check throws DocumentError with the load report's layout and
/// names the line and column of the first offence.

/// The document's text as UTF-8, or nothing when the bytes already are that
/// text. A file that says it is UTF-8 (by its declaration or a byte order
/// mark) must be UTF-8. A file without an encoding declaration whose bytes are
/// not UTF-8 was written as single-byte text and is read as Windows-1252;
/// a declared ISO-8859-1 or Windows-1252 is read as declared; UTF-16 and
/// UTF-32 files (by their first bytes) are converted.
std::optional<std::string> DocumentTextAsUtf8(std::string_view bytes);

/// Throws when the UTF-8 text holds a character that XML 1.0 does not allow
/// (a control character other than tab, line feed and carriage return,
/// U+FFFE or U+FFFF), or a character reference that is malformed or stands
/// for such a character or a surrogate. Comments, CDATA sections and
/// processing instructions hold no references. True when the text holds a
/// reference to a carriage return.
bool CheckDocumentCharacters(std::string_view utf8);

/// "line L, column C" of a byte offset in UTF-8 text, both counted from 1 and
/// columns in characters; empty when the offset lies outside the text.
std::string PositionText(std::string_view utf8, std::size_t offset);

/// The text without the characters that an XML document cannot hold, so that
/// whatever is stored can be written and read back.
std::string WithoutForbiddenCharacters(std::string_view utf8);

}  // namespace kestrun
