#pragma once

#include <memory>
#include <string>

namespace kestrun {

/// Opens web addresses in the user's browser.
class WebPageOpener {
public:
    virtual ~WebPageOpener() = default;

    /// Opens the address ("http://..."); false when no browser or handler for
    /// its scheme takes it. Returns without waiting for the browser. Windows
    /// asks for a maximised browser window; where the platform has no say in
    /// that, the browser places its window itself.
    virtual bool OpenAddress(const std::string& address) = 0;
};

/// The web page opener of the platform this build is for.
std::unique_ptr<WebPageOpener> MakeWebPageOpener();

}  // namespace kestrun
