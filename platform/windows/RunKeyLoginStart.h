#pragma once

#include "platform/LoginStart.h"

#include <string>

namespace kestrun {

/// Starting Kestrun at login through the value "Kestrun" of the current
/// user's Run key, HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run:
/// a REG_SZ holding the executable's quoted path.
class RunKeyLoginStart : public LoginStart {
public:
    explicit RunKeyLoginStart(std::filesystem::path executable, std::wstring valueName = L"Kestrun");

    bool Enabled() const override;
    void SetEnabled(bool enabled) override;

    /// The command line the value holds when enabled.
    std::wstring CommandLine() const;

private:
    std::filesystem::path executable_;
    std::wstring valueName_;
};

}  // namespace kestrun
