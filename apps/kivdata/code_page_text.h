// Text of the record files (code page 850 bytes) against the UTF-8 text of CSV files.
#pragma once

#include <string>

// Converts UTF-8 text to code page 850. False when the text is not valid UTF-8 or holds a
// character the code page lacks; `problem` then names it and its place in the text.
bool utf8ToCodePage850(const std::string& utf8, std::string& bytes, std::string& problem);

// Every byte of code page 850 has a character, so this cannot fail.
std::string codePage850ToUtf8(const std::string& bytes);
