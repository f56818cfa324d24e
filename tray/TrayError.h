#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace kestrun {

/// A failure raised by the tray controller: a number, the routine that raised
/// it ("CSysTray:AddIcon") and a description ("CSysTray - No Icon Specified").
class TrayError : public std::runtime_error {
public:
    TrayError(std::int32_t number, std::string source, const std::string& description)
        : std::runtime_error(description), number_(number), source_(std::move(source)) {}

    std::int32_t number() const { return number_; }
    const std::string& source() const { return source_; }
    std::string description() const { return what(); }

private:
    std::int32_t number_;
    std::string source_;
};

}  // namespace kestrun
