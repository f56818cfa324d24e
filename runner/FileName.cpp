#include "runner/FileName.h"

namespace kestrun {

std::string GetFileExtension(const std::string& path)
{
    const std::size_t separator = path.find_last_of("\\/");
    const std::size_t nameStart = separator == std::string::npos ? 0 : separator + 1;
    const std::size_t dot = path.find('.', nameStart) == std::string::npos ? std::string::npos : path.rfind('.');
    const std::size_t cut = dot == std::string::npos ? nameStart : dot + 1;
    return path.substr(cut);
}

}  // namespace kestrun
