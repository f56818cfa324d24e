#include "document/NodeText.h"

#include "document/DocumentError.h"
#include "document/Utf8.h"

#include <string>
#include <string_view>

namespace kestrun {

pugi::xml_node ChildElement(pugi::xml_node parent, const char* name)
{
    for (pugi::xml_node child = parent.first_child(); child; child = child.next_sibling())
        if (child.type() == pugi::node_element && std::string_view(child.name()) == name)
            return child;
    return {};
}

pugi::xml_node RequireChild(pugi::xml_node parent, const char* name)
{
    pugi::xml_node child = ChildElement(parent, name);
    if (!child)
        throw DocumentError::NodeNotFound();
    return child;
}

namespace {

void AppendText(pugi::xml_node node, std::string& text)
{
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            text += child.value();
        else if (child.type() == pugi::node_element)
            AppendText(child, text);
    }
}

}  // namespace

std::string TextOf(pugi::xml_node node)
{
    // The common case, one text child, without building up a string.
    pugi::xml_node only = node.first_child();
    if (only && !only.next_sibling() &&
        (only.type() == pugi::node_pcdata || only.type() == pugi::node_cdata))
        return only.value();
    std::string text;
    AppendText(node, text);
    return text;
}

void SetTextOf(pugi::xml_node element, const std::string& given)
{
    // Store the text as the file will read back: XML cannot hold a NUL (it is
    // dropped rather than cutting the text), line ends read back as line feeds,
    // and malformed UTF-8 is made well-formed.
    std::string text;
    text.reserve(given.size());
    const std::string valid = ToValidUtf8(given);
    for (std::size_t i = 0; i < valid.size(); ++i) {
        if (valid[i] == '\0')
            continue;
        if (valid[i] == '\r') {
            text += '\n';
            if (i + 1 < valid.size() && valid[i + 1] == '\n')
                ++i;
            continue;
        }
        text += valid[i];
    }

    pugi::xml_node only = element.first_child();
    if (!text.empty() && only && !only.next_sibling() && only.type() == pugi::node_pcdata) {
        only.set_value(text.c_str());
        return;
    }
    while (pugi::xml_node child = element.first_child())
        element.remove_child(child);
    // An empty text is no text node at all, as a parser would read it back.
    if (!text.empty())
        element.append_child(pugi::node_pcdata).set_value(text.c_str());
}

const char* BooleanText(bool value)
{
    return value ? "True" : "False";
}

}  // namespace kestrun
