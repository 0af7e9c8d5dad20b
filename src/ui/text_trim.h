// Blanks cut from the ends of a text, as fields and screen lines hold it.
#pragma once

#include <string>

// The text without its trailing blanks; "" for a blank text.
std::string withoutTrailingBlanks(const std::string& text);
// The text without its leading and trailing blanks; "" for a blank text.
std::string withoutOuterBlanks(const std::string& text);
