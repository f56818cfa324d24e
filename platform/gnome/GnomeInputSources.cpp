#include "platform/gnome/GnomeInputSources.h"

#include <glib.h>

#include <vector>

namespace kestrun {

namespace {

// The first xkb layout of a list of sources as gsettings prints it, in
// GVariant's text format: "[('xkb', 'de+nodeadkeys'), ('ibus', 'anthy')]".
bool FirstLayout(const std::string& printed, InputSourceLayout& out)
{
    GVariant* sources = g_variant_parse(G_VARIANT_TYPE("a(ss)"), printed.c_str(), nullptr, nullptr, nullptr);
    if (!sources)
        return false;
    GVariantIter iter;
    g_variant_iter_init(&iter, sources);
    const gchar* type = nullptr;
    const gchar* id = nullptr;
    bool found = false;
    while (!found && g_variant_iter_next(&iter, "(&s&s)", &type, &id))
        found = ParseInputSource(type, id, out);
    g_variant_unref(sources);
    return found;
}

// What gsettings prints for a key of the input sources; empty when it fails.
std::string Setting(const char* key)
{
    // Read by GNOME's own tool: GSettings in this process would watch the
    // settings over a bus connection of dconf's, which raises SIGTERM in the
    // process when the bus goes away.
    std::vector<gchar*> argv = {const_cast<gchar*>("gsettings"), const_cast<gchar*>("get"),
                                const_cast<gchar*>("org.gnome.desktop.input-sources"), const_cast<gchar*>(key),
                                nullptr};
    gchar* out = nullptr;
    gint status = 0;
    const gboolean ran = g_spawn_sync(nullptr, argv.data(), nullptr,
                                      static_cast<GSpawnFlags>(G_SPAWN_SEARCH_PATH | G_SPAWN_STDERR_TO_DEV_NULL),
                                      nullptr, nullptr, &out, nullptr, &status, nullptr);
    std::string text = ran && g_spawn_check_wait_status(status, nullptr) && out ? out : "";
    g_free(out);
    return text;
}

}  // namespace

bool FirstInputSourceLayout(const std::string& printed, InputSourceLayout& out) { return FirstLayout(printed, out); }

InputSourceLayout GnomeCurrentLayout()
{
    InputSourceLayout layout;
    for (const char* key : {"mru-sources", "sources"})
        if (FirstLayout(Setting(key), layout))
            break;
    return layout;
}

}  // namespace kestrun
