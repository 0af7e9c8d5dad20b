// Reads one value from an INI file: [section] and key=value lines.
#pragma once

#include <string>

// The value of `key` in the first section named `section` of `fileName`; empty when the
// file cannot be opened or holds no such section or key. Names compare without regard to
// case. The file is opened, scanned and closed on every call.
std::string readIniValue(const std::string& fileName, const std::string& section,
                         const std::string& key);
