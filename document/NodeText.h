#pragma once

#include <pugixml.hpp>

#include <cstddef>
#include <string>

namespace kestrun {

/// The first child element of `parent` with this name (what the relative
/// path "name" selects), or null.
pugi::xml_node ChildElement(pugi::xml_node parent, const char* name);

/// Like ChildElement, but a missing element is the failure "node not found".
pugi::xml_node RequireChild(pugi::xml_node parent, const char* name);

/// The text of a node: all its text and CDATA content in document order.
std::string TextOf(pugi::xml_node node);

/// The first node, in document order, that lies more than `limit` levels
/// below `root`, or null.
pugi::xml_node NodeDeeperThan(pugi::xml_node root, std::size_t limit);

/// Turns every carriage return in the text below `root` into a line feed.
/// The parser keeps one written as a reference (`&#xD;`), and a save would
/// write it back as a raw one that reads as a line feed: the value would
/// change on its way through the file.
void CarriageReturnsToLineFeeds(pugi::xml_node root);

/// Replaces everything inside the element by one text node.
void SetTextOf(pugi::xml_node element, const std::string& text);

/// "True" or "False".
const char* BooleanText(bool value);

}  // namespace kestrun
