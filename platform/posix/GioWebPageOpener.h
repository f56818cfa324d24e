#pragma once

#include "platform/WebPageOpener.h"

namespace kestrun {

/// Opens web addresses through GIO's default handler for their scheme
/// (x-scheme-handler/http in mimeapps.list), which answers at once whether
/// there is one.
class GioWebPageOpener : public WebPageOpener {
public:
    bool OpenAddress(const std::string& address) override;
};

}  // namespace kestrun
