#pragma once

#include <string>
#include <string_view>

namespace kestrun {

/// The number at the start of a text, read the classic way: an optional sign,
/// digits with an optional "." fraction and an optional exponent ("E", "D"),
/// taken as far as they form a number; blanks (space, tab, line feed) are
/// ignored wherever they stand. A text that does not start with a number reads
/// as 0. "12 seconds" reads as 12, " 007" as 7, "1 5" as 15.
double Val(std::string_view text);

/// Decimal text of a number as the document stores it: a whole number as plain
/// digits without leading zeros ("7", "-3"), any other number in its shortest
/// exact form with a point ("2.5", "1E+300").
std::string NumberToText(double number);

/// The stored form of a "Wait" value: the number at its start, as text. When the
/// number is too large to hold, the number as written (blanks dropped) is kept.
std::string WaitValueText(std::string_view text);

}  // namespace kestrun
