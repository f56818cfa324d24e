#pragma once

#include <string>

namespace kestrun::bench {

/// The name of program number `number` (from 0) in a generated document.
std::string ProgramName(int number);

/// A task document with the template program and `programs` programs of
/// `tasks` tasks each, the three task types in turn.
std::string GenerateDocument(int programs, int tasks);

}  // namespace kestrun::bench
