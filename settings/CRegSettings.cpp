#include "settings/CRegSettings.h"

#include "core/AsciiText.h"

#include <vector>

namespace kestrun {

namespace {

// The name "*" stands for the key's unnamed value, as the empty name does.
std::string ValueName(const std::string& sKey) { return sKey == "*" ? std::string() : sKey; }

void SetTextField(std::string& field, std::string_view NewVal, std::string_view defaultValue)
{
    field = NewVal.empty() ? std::string(defaultValue) : std::string(Trim(NewVal, " "));
}

}  // namespace

CRegSettings::CRegSettings() : CRegSettings(CreateUserRegistry(kDefaultCompany, kDefaultAppName)) {}

CRegSettings::CRegSettings(std::unique_ptr<RegistryOperations> registry) : registry_(std::move(registry)) {}

void CRegSettings::SetMainKey(std::string_view NewVal) { SetTextField(mainKey_, NewVal, kDefaultMainKey); }
void CRegSettings::SetCompany(std::string_view NewVal) { SetTextField(company_, NewVal, kDefaultCompany); }
void CRegSettings::SetAppName(std::string_view NewVal) { SetTextField(appName_, NewVal, kDefaultAppName); }

std::string CRegSettings::GetKeyPath(const std::string& sSection) const
{
    std::string path = mainKey_ + '\\' + company_ + '\\' + appName_;
    if (!sSection.empty())
        path += '\\' + sSection;
    return path;
}

std::string CRegSettings::GetSetting(const std::string& sSection, const std::string& sKey,
                                     const std::string& sDefault)
{
    RegistryKey key = 0;
    if (registry_->OpenKey(Root(), GetKeyPath(sSection), key) != kRegSuccess)
        return sDefault;

    std::string result = sDefault;
    const std::string name = ValueName(sKey);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    if (registry_->QueryValue(key, name, type, nullptr, size) == kRegSuccess && size >= 1) {
        std::vector<std::uint8_t> data(size, ' ');
        // The value may have changed since the first query: only the bytes
        // this query delivers count.
        if (registry_->QueryValue(key, name, type, data.data(), size) == kRegSuccess) {
            data.resize(size);
            if (type == kRegSz) {
                if (!data.empty() && data.back() == 0)
                    data.pop_back();
                result.assign(data.begin(), data.end());
            } else if (type == kRegDword && data.size() == 4) {
                std::uint32_t bits = data[0] | (data[1] << 8) | (data[2] << 16) |
                                     (static_cast<std::uint32_t>(data[3]) << 24);
                result = std::to_string(static_cast<std::int32_t>(bits));
            }
        }
    }
    registry_->CloseKey(key);
    return result;
}

bool CRegSettings::SaveSetting(const std::string& sSection, const std::string& sKey,
                               const std::string& sString, std::optional<std::int32_t> lNumber)
{
    RegistryKey key = 0;
    if (registry_->CreateKey(Root(), GetKeyPath(sSection), key) != kRegSuccess)
        return false;

    const std::string name = ValueName(sKey);
    bool written = false;
    if (!sString.empty()) {
        written = registry_->SetValue(key, name, kRegSz, reinterpret_cast<const std::uint8_t*>(sString.data()),
                                      static_cast<std::uint32_t>(sString.size())) == kRegSuccess;
    } else if (lNumber) {
        auto bits = static_cast<std::uint32_t>(*lNumber);
        const std::uint8_t data[4] = {static_cast<std::uint8_t>(bits), static_cast<std::uint8_t>(bits >> 8),
                                      static_cast<std::uint8_t>(bits >> 16), static_cast<std::uint8_t>(bits >> 24)};
        written = registry_->SetValue(key, name, kRegDword, data, sizeof data) == kRegSuccess;
    }
    registry_->CloseKey(key);
    return written;
}

bool CRegSettings::DeleteSetting(const std::string& sSection, const std::string& sKey)
{
    // Without a value name the section's key goes, deleted from the
    // application key above it.
    const bool wholeSection = sKey.empty();
    RegistryKey key = 0;
    RegistryStatus status = registry_->OpenKey(Root(), GetKeyPath(wholeSection ? std::string() : sSection), key);
    if (status != kRegSuccess)
        return false;
    status = wholeSection ? registry_->DeleteKey(key, sSection) : registry_->DeleteValue(key, ValueName(sKey));
    registry_->CloseKey(key);
    return status == kRegSuccess;
}

}  // namespace kestrun
