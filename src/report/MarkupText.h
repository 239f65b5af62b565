#pragma once

// Text inside HTML and SVG (XML) markup.

#include <string>
#include <string_view>

namespace quendra {

// `text` with &, <, >, " and ' escaped, for element content and quoted attributes alike.
std::string markupText(std::string_view text);

}  // namespace quendra
