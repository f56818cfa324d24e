#pragma once

#include <string>

namespace kestrun::test {

// ASCII, shifted characters, the notation's specials, accented letters, and
// characters beyond Latin-1 (more distinct ones than spare key codes); what a terminal reads of it.
inline const std::string kEveryKindText =
    "Hello, World! 0123456789 `-=[];'\\,./ !@#$&*_|:\"<>?\n"
    "{+}{^}{%}{~}{(}{)}{{}{}}{[}{]}+(abc)^(){TAB}x^(ab)~"
    "äöüÄÖÜß éèêàçùÉ ñ¿¡«»°§µ €\n"
    "ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ жизнь 中文字 ✓→∞ 😀\n"
    "{CAPSLOCK}aB{CAPSLOCK}cD{x 3}\n";
inline const std::string kEveryKindTyped =
    "Hello, World! 0123456789 `-=[];'\\,./ !@#$&*_|:\"<>?\n"
    "+^%~(){}[]ABC\tx\x01\x02\n"
    "äöüÄÖÜß éèêàçùÉ ñ¿¡«»°§µ €\n"
    "ΑΒΓΔΕΖΗΘΙΚΛΜΝΞΟΠΡΣΤΥΦΧΨΩ жизнь 中文字 ✓→∞ 😀\n"
    "aBcDxxx\n";

}  // namespace kestrun::test
