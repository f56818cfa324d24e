#include "platform/wayland/KeyboardLayouts.h"

#include "core/AsciiText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <sstream>

namespace kestrun {

namespace {

QJsonDocument Parse(const std::string& json)
{
    return QJsonDocument::fromJson(QByteArray::fromStdString(json));
}

// A line of the list without its blanks; one written on Windows ends with a
// carriage return as well.
std::string Trimmed(std::string_view text)
{
    return std::string(Trim(text.substr(0, text.find_last_not_of(" \t\r") + 1), " \t"));
}

}  // namespace

std::vector<CompositorKeyboard> SwayKeyboards(const std::string& json)
{
    std::vector<CompositorKeyboard> keyboards;
    for (const QJsonValue& value : Parse(json).array()) {
        const QJsonObject input = value.toObject();
        if (input.value("type").toString() != "keyboard")
            continue;
        CompositorKeyboard keyboard;
        // wlroots names every virtual keyboard so and gives it no vendor or product.
        keyboard.isVirtual = input.value("identifier").toString().endsWith(":virtual_keyboard");
        keyboard.description = input.value("xkb_active_layout_name").toString().toStdString();
        keyboards.push_back(keyboard);
    }
    return keyboards;
}

std::vector<CompositorKeyboard> HyprlandKeyboards(const std::string& json)
{
    std::vector<CompositorKeyboard> keyboards;
    for (const QJsonValue& value : Parse(json).object().value("keyboards").toArray()) {
        const QJsonObject device = value.toObject();
        CompositorKeyboard keyboard;
        keyboard.isVirtual = device.value("name").toString().contains("virtual", Qt::CaseInsensitive);
        keyboard.description = device.value("active_keymap").toString().toStdString();
        // Hyprland names the layouts and says which is active by its description only.
        const QStringList layouts = device.value("layout").toString().split(',');
        const QStringList variants = device.value("variant").toString().split(',');
        if (layouts.size() == 1 && !layouts.front().isEmpty())
            keyboard.name = LayoutName{layouts.front().trimmed().toStdString(),
                                       variants.front().trimmed().toStdString()};
        keyboards.push_back(keyboard);
    }
    return keyboards;
}

LayoutList::LayoutList(const std::string& text)
{
    std::istringstream lines(text);
    std::string line, section;
    while (std::getline(lines, line)) {
        if (line.rfind("! ", 0) == 0) {
            section = Trimmed(line.substr(2));
            continue;
        }
        const std::string entry = Trimmed(line);
        const std::size_t gap = entry.find_first_of(" \t");
        if (gap == std::string::npos)
            continue;
        const std::string key = entry.substr(0, gap);
        std::string description = Trimmed(entry.substr(gap));
        if (section == "layout") {
            entries_.push_back({{key, ""}, description});
        } else if (section == "variant") {
            // "  nodeadkeys      de: German (no dead keys)"
            const std::size_t colon = description.find(':');
            if (colon == std::string::npos)
                continue;
            entries_.push_back({{description.substr(0, colon), key}, Trimmed(description.substr(colon + 1))});
        }
    }
}

std::optional<LayoutName> LayoutList::Find(const std::string& description) const
{
    for (const Entry& entry : entries_)
        if (entry.description == description)
            return entry.name;
    return std::nullopt;
}

std::string LayoutList::Describe(const LayoutName& name) const
{
    for (const Entry& entry : entries_)
        if (entry.name == name)
            return entry.description;
    return "";
}

std::optional<LayoutName> UserLayout(const std::vector<CompositorKeyboard>& keyboards, const LayoutList& list)
{
    for (const bool devices : {true, false})
        for (const CompositorKeyboard& keyboard : keyboards) {
            if (keyboard.isVirtual == devices)
                continue;
            if (keyboard.name && !list.Describe(*keyboard.name).empty())
                return keyboard.name;
            if (const auto found = list.Find(keyboard.description))
                return found;
        }
    return std::nullopt;
}

}  // namespace kestrun
