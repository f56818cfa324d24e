#pragma once

#include <string>
#include <vector>

namespace kestrun {

// What the command that started the process gives it: its arguments and the
// console for its output. Only Windows needs work for either: its argv is in
// the ANSI code page, which loses characters, and a desktop program has no
// console of its own.

#if defined(_WIN32)
/// The arguments, the program's name first, in UTF-8, from the wide command line.
std::vector<std::string> ProgramArguments(int argc, char* argv[]);
/// Points standard output and error that lead nowhere at the console of the
/// command that started the program, when it has one; redirected ones stay.
void AttachParentConsole();
#else
/// The arguments, the program's name first, as the system passed them.
inline std::vector<std::string> ProgramArguments(int argc, char* argv[])
{
    return std::vector<std::string>(argv, argv + argc);
}
inline void AttachParentConsole() {}
#endif

}  // namespace kestrun
