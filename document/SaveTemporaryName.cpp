// The names of the temporaries a save writes beside the document.
#include "document/DocumentFile.h"

#include <random>
#include <string>

namespace kestrun {

namespace {

// Temporaries are hidden and carry this mark after the file's name, followed
// by kRandomLength letters and digits.
constexpr std::string_view kTemporaryMark = ".kestrun-save-";
constexpr std::size_t kRandomLength = 12;

}  // namespace

std::string NewSaveTemporaryName(std::string_view fileName)
{
    static constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz0123456789";
    static std::mt19937_64 generator{std::random_device{}()};
    std::string name = "." + std::string(fileName) + std::string(kTemporaryMark);
    std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
    for (std::size_t i = 0; i < kRandomLength; ++i)
        name += kLetters[pick(generator)];
    return name;
}

bool IsSaveTemporaryName(std::string_view name, std::string_view fileName)
{
    const std::string prefix = "." + std::string(fileName) + std::string(kTemporaryMark);
    if (!name.starts_with(prefix) || name.size() != prefix.size() + kRandomLength)
        return false;
    for (char c : name.substr(prefix.size()))
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

}  // namespace kestrun
