#include "paths.h"

#include <cstdlib>
#include <filesystem>
#include <string>

std::string sourceDir() { return KIV_SOURCE_DIR; }
std::string binaryDir() { return KIV_BINARY_DIR; }
std::string programPath(const std::string& name) { return binaryDir() + "/" + name; }

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kivtest-XXXXXX").string();
  char* made = mkdtemp(pattern.data());
  path_ = made ? made : "";
}

TempDir::~TempDir() {
  std::error_code ignored;
  if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
}
