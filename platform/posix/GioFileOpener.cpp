#include "platform/posix/GioFileOpener.h"

#include <gio/gio.h>

namespace kestrun {

bool GioFileOpener::Open(const std::string& path)
{
    if (path.empty())
        return false;
    GFile* file = g_file_new_for_path(path.c_str());
    gchar* uri = g_file_get_uri(file);
    GError* error = nullptr;
    const gboolean opened = g_app_info_launch_default_for_uri(uri, nullptr, &error);
    if (error)
        g_error_free(error);
    g_free(uri);
    g_object_unref(file);
    return opened;
}

}  // namespace kestrun
