// Files and paths as the module names them.
//
// The module builds Windows-style names ("C:\KIV\" + "DADES\FinquesV"). Every name goes through
// resolvePath before the system sees it: backslashes become "/", and when the exact name does
// not exist each component is looked up without regard to case, so "FORMS\HORTELIX.KPN" finds
// "forms/hortelix.kpn". A component that does not exist at all is kept as written, so a file
// about to be created gets the name the caller gave it.
#pragma once

#include <cstdio>
#include <cstdint>
#include <optional>
#include <string>

// The name the system should use for a name built by the module.
std::string resolvePath(const std::string& name);

// Value of an environment variable; empty when it is not set.
std::string environmentValue(const char* variable);

bool fileExists(const std::string& name);
bool isDirectory(const std::string& name);

// The whole file, or nothing when it cannot be opened or read (errno says why; EFBIG when it
// holds more than `limit` bytes, so that a device or pipe without end cannot take all memory).
std::optional<std::string> readFileBytes(const std::string& name, size_t limit = SIZE_MAX);

// Writes the whole file (replacing it). False when it cannot be written.
bool writeFileBytes(const std::string& name, const std::string& bytes);

// fopen on the resolved name; the caller closes it.
FILE* openFile(const std::string& name, const char* mode);

// open(2) on the resolved name, with O_CLOEXEC added; -1 on failure (errno set).
int openFileDescriptor(const std::string& name, int flags, int permissions = 0666);

// Removes the file; false when it did not exist or could not be removed.
bool removeFile(const std::string& name);

// Makes the directory the process's current directory; false on failure.
bool changeDirectory(const std::string& name);
