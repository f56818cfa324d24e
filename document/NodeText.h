#pragma once

#include <pugixml.hpp>

#include <string>

namespace kestrun {

/// The first child element of `parent` with this name (what the relative
/// path "name" selects), or null.
pugi::xml_node ChildElement(pugi::xml_node parent, const char* name);

/// Like ChildElement, but a missing element is the failure "node not found".
pugi::xml_node RequireChild(pugi::xml_node parent, const char* name);

/// The text of a node: all its text and CDATA content in document order.
std::string TextOf(pugi::xml_node node);

/// Replaces everything inside the element by one text node.
void SetTextOf(pugi::xml_node element, const std::string& text);

/// "True" or "False".
const char* BooleanText(bool value);

}  // namespace kestrun
