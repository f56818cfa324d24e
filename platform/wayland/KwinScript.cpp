#include "platform/wayland/KwinScript.h"

#include <gio/gio.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace kestrun {

namespace {

constexpr const char* kReplyPath = "/org/kestrun/KwinScript";
constexpr const char* kReplyInterface = "org.kestrun.KwinScript";
constexpr const char* kReplyXml =
    "<node><interface name='org.kestrun.KwinScript'>"
    "<method name='Report'><arg type='s' name='word' direction='in'/></method>"
    "</interface></node>";

struct Reply {
    std::optional<std::string> word;
};

void OnCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method, GVariant* parameters,
            GDBusMethodInvocation* invocation, gpointer data)
{
    auto* reply = static_cast<Reply*>(data);
    if (g_strcmp0(method, "Report") == 0) {
        const gchar* word = nullptr;
        g_variant_get(parameters, "(&s)", &word);
        reply->word = word ? word : "";
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
}

// A bus name as the bus hands them out (":1.42"): nothing that could end a
// string in the script.
bool PlainBusName(const std::string& name)
{
    return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == ':' || c == '.' ||
               c == '_' || c == '-';
    });
}

GVariant* Call(GDBusConnection* bus, const char* path, const char* interface, const char* method, GVariant* arguments,
               const GVariantType* type)
{
    return g_dbus_connection_call_sync(bus, "org.kde.KWin", path, interface, method, arguments, type,
                                       G_DBUS_CALL_FLAGS_NO_AUTO_START, 5000, nullptr, nullptr);
}

std::filesystem::path ScriptFolder()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code error;
    if (runtime && *runtime && std::filesystem::is_directory(runtime, error))
        return runtime;
    return std::filesystem::temp_directory_path(error);
}

}  // namespace

std::optional<std::string> KwinScript::Run(const std::string& body, std::chrono::milliseconds patience)
{
    static std::atomic<unsigned> counter{0};
    GMainContext* context = g_main_context_new();
    g_main_context_push_thread_default(context);
    std::optional<std::string> result;
    GDBusConnection* bus = nullptr;
    if (gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr)) {
        bus = g_dbus_connection_new_for_address_sync(
            address,
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, nullptr);
        g_free(address);
    }
    const std::string self = bus ? g_dbus_connection_get_unique_name(bus) : "";
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kReplyXml, nullptr);
    Reply reply;
    static const GDBusInterfaceVTable vtable = {&OnCall, nullptr, nullptr, {}};
    const guint object = bus && node ? g_dbus_connection_register_object(bus, kReplyPath, node->interfaces[0], &vtable,
                                                                         &reply, nullptr, nullptr)
                                     : 0;
    if (object != 0 && PlainBusName(self)) {
        const std::string plugin =
            "kestrun-" + std::to_string(getpid()) + "-" + std::to_string(counter.fetch_add(1));
        const std::filesystem::path file = ScriptFolder() / (plugin + ".js");
        {
            std::ofstream script(file, std::ios::trunc);
            script << "(function () {\nfunction report(word) { callDBus(\"" << self << "\", \"" << kReplyPath
                   << "\", \"" << kReplyInterface << "\", \"Report\", String(word)); }\n"
                   << body << "\n})();\n";
        }
        GVariant* loaded = Call(bus, "/Scripting", "org.kde.kwin.Scripting", "loadScript",
                                g_variant_new("(ss)", file.c_str(), plugin.c_str()), G_VARIANT_TYPE("(i)"));
        gint id = -1;
        if (loaded) {
            g_variant_get(loaded, "(i)", &id);
            g_variant_unref(loaded);
        }
        if (id >= 0) {
            // KWin 5 puts a loaded script at /<id>, KWin 6 at /Scripting/Script<id>.
            std::string path = "/" + std::to_string(id);
            GVariant* ran = Call(bus, path.c_str(), "org.kde.kwin.Script", "run", nullptr, nullptr);
            if (!ran) {
                path = "/Scripting/Script" + std::to_string(id);
                ran = Call(bus, path.c_str(), "org.kde.kwin.Script", "run", nullptr, nullptr);
            }
            if (ran)
                g_variant_unref(ran);
            const gint64 deadline = g_get_monotonic_time() + patience.count() * 1000;
            while (!reply.word && g_get_monotonic_time() < deadline)
                if (!g_main_context_iteration(context, FALSE))
                    g_usleep(2000);
            if (GVariant* stopped = Call(bus, path.c_str(), "org.kde.kwin.Script", "stop", nullptr, nullptr))
                g_variant_unref(stopped);
        }
        if (GVariant* unloaded = Call(bus, "/Scripting", "org.kde.kwin.Scripting", "unloadScript",
                                      g_variant_new("(s)", plugin.c_str()), G_VARIANT_TYPE("(b)")))
            g_variant_unref(unloaded);
        std::error_code ignored;
        std::filesystem::remove(file, ignored);
        result = reply.word;
    }
    if (object != 0)
        g_dbus_connection_unregister_object(bus, object);
    if (node)
        g_dbus_node_info_unref(node);
    if (bus) {
        g_dbus_connection_close_sync(bus, nullptr, nullptr);
        g_object_unref(bus);
    }
    g_main_context_pop_thread_default(context);
    g_main_context_unref(context);
    return result;
}

}  // namespace kestrun
