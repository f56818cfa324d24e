#include "platform/posix/GioWebPageOpener.h"

#include <gio/gio.h>

namespace kestrun {

bool GioWebPageOpener::OpenAddress(const std::string& address)
{
    gchar* scheme = g_uri_parse_scheme(address.c_str());
    if (!scheme)
        return false;
    g_free(scheme);
    GError* error = nullptr;
    const gboolean opened = g_app_info_launch_default_for_uri(address.c_str(), nullptr, &error);
    if (error)
        g_error_free(error);
    return opened;
}

std::unique_ptr<WebPageOpener> MakeWebPageOpener() { return std::make_unique<GioWebPageOpener>(); }

}  // namespace kestrun
