// Shared by the fuzz targets: a scratch directory for the files a target writes its input
// into, made once per process (in memory when /dev/shm exists, so a run does not wear the
// disk) and removed at its end, and the session's directories pointed at it.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "core/session_settings.h"
#include "platform/files.h"

namespace fuzz {

// The process's scratch directory, ending in "/".
inline const std::string& scratchDir() {
  // Never destroyed, so that the exit handler below can still read it.
  static const std::string* dir = [] {
    std::string base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    std::string pattern = base + "/kiv-fuzz-XXXXXX";
    char* made = ::mkdtemp(pattern.data());
    if (!made) std::abort();
    std::atexit([] { std::filesystem::remove_all(scratchDir()); });
    return new std::string(std::string(made) + "/");
  }();
  return *dir;
}

// sessionSettings at its start state with every directory in the scratch directory.
inline void resetSessionInScratch() {
  resetSessionSettings();
  sessionSettings.rootDir = scratchDir();
  sessionSettings.tempDir = scratchDir();
  sessionSettings.terminalDir = scratchDir();
  sessionSettings.moduleName = "HORTELIX";
  sessionSettings.languageCode = "CAT";
  sessionSettings.colourTable = {{{15, 0}, {7, 0}, {0, 7}, {0, 7}, {0, 7}}};
}

// Writes the bytes as scratchDir() + name (one folder level made when missing); aborts when it cannot, since every later
// result would be meaningless.
inline std::string writeScratchFile(const std::string& name, const uint8_t* data, size_t size) {
  const std::string path = scratchDir() + name;
  const size_t slash = name.rfind('/');
  if (slash != std::string::npos) ::mkdir((scratchDir() + name.substr(0, slash)).c_str(), 0777);
  if (!writeFileBytes(path, std::string(reinterpret_cast<const char*>(data), size))) std::abort();
  return path;
}

// Stops the run with a message when a property the target checks does not hold, so that
// libFuzzer keeps the input as a crash.
#define FUZZ_CHECK(condition)                                                          \
  do {                                                                                 \
    if (!(condition)) {                                                                \
      __builtin_fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                    \
    }                                                                                  \
  } while (0)

}  // namespace fuzz
