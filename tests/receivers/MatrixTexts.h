#pragma once

// The texts the receiver matrix types, how they are written as Keystrokes tasks, and how what arrived
// is compared with what was meant.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace kestrun::test {

/// What one run types: its tasks (type and value, as in a document) and what they type, in UTF-8.
struct MatrixText {
    std::string name;
    std::vector<std::pair<std::string, std::string>> tasks;
    std::string expected;
};

/// The send-keys notation that types `text` as it is: the notation's own characters quoted, a line break as Enter.
std::string Notation(const std::string& text);
MatrixText OneTask(const std::string& name, const std::string& text);

/// Every text a cell may name: "plain", "mixed", "mixed2000", "ru", "gr", "pl" (the layout's script
/// alone), "tasks" (short tasks, a wait, then a long line).
const MatrixText& TextNamed(const std::string& name);

/// How what arrived differs from what was meant, character by character.
struct Difference {
    bool exact = false;
    std::size_t firstDifference = 0;  // in characters
    std::size_t lost = 0, wrong = 0, extra = 0;
    std::string Describe(const std::string& expected, const std::string& got) const;  // "exact" or what differed
};
Difference Compare(const std::string& expected, const std::string& got);

/// An editor's byte-order mark and the final line break it adds are not the typist's.
std::string WithoutEditorFrame(const std::string& expected, std::string saved);

}  // namespace kestrun::test
