#include "document/NodeText.h"

#include "core/Utf8.h"
#include "document/DocumentError.h"
#include "document/DocumentText.h"

#include <cstring>
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

// Walks the subtree below `root` in document order without recursion, so that
// no document can exhaust the stack.
template <typename Visit>
void ForEachDescendant(pugi::xml_node root, Visit visit)
{
    std::size_t depth = 1;
    for (pugi::xml_node node = root.first_child(); node;) {
        if (!visit(node, depth))
            return;
        if (node.first_child()) {
            node = node.first_child();
            ++depth;
            continue;
        }
        while (!node.next_sibling()) {
            node = node.parent();
            if (--depth == 0)
                return;
        }
        node = node.next_sibling();
    }
}

void AppendText(pugi::xml_node node, std::string& text)
{
    ForEachDescendant(node, [&text](pugi::xml_node child, std::size_t) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata)
            text += child.value();
        return true;
    });
}

}  // namespace

pugi::xml_node NodeDeeperThan(pugi::xml_node root, std::size_t limit)
{
    pugi::xml_node found;
    ForEachDescendant(root, [&found, limit](pugi::xml_node node, std::size_t depth) {
        if (depth > limit)
            found = node;
        return !found;
    });
    return found;
}

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

namespace {

// Line ends as a parser reads them back: each CR LF or lone CR a line feed.
std::string WithLineFeeds(std::string_view given)
{
    std::string text;
    text.reserve(given.size());
    for (std::size_t i = 0; i < given.size(); ++i) {
        if (given[i] == '\r') {
            text += '\n';
            if (i + 1 < given.size() && given[i + 1] == '\n')
                ++i;
            continue;
        }
        text += given[i];
    }
    return text;
}

}  // namespace

void CarriageReturnsToLineFeeds(pugi::xml_node root)
{
    ForEachDescendant(root, [](pugi::xml_node node, std::size_t) {
        if (node.type() == pugi::node_pcdata && std::strchr(node.value(), '\r'))
            node.set_value(WithLineFeeds(node.value()).c_str());
        return true;
    });
}

void SetTextOf(pugi::xml_node element, const std::string& given)
{
    // Store the text as the file will read back: characters XML cannot hold
    // (NUL and most control characters) are dropped rather than written as
    // references the document would then refuse, line ends read back as line
    // feeds, and malformed UTF-8 is made well-formed.
    const std::string text = WithLineFeeds(WithoutForbiddenCharacters(ToValidUtf8(given)));

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
