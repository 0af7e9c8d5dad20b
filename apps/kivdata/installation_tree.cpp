#include "installation_tree.h"

#include <system_error>
#include <vector>

#include "platform/files.h"

namespace fs = std::filesystem;

namespace {

std::string executableDirectory() {
  std::error_code error;
  fs::path exe = fs::read_symlink("/proc/self/exe", error);
  return error ? std::string() : exe.parent_path().string();
}

}  // namespace

bool findDistTree(fs::path& dist, std::string& problem) {
  std::vector<fs::path> candidates;
  std::string exeDir = executableDirectory();
  if (!exeDir.empty()) {
    candidates.push_back(fs::path(exeDir) / ".." / "share" / "hortelix" / "dist");
    candidates.push_back(fs::path(exeDir) / "dist");
  }
  candidates.push_back(fs::path(KIV_SOURCE_DIR) / "dist");
  for (const fs::path& candidate : candidates) {
    if (isDirectory(candidate.string() + "/ddf")) {
      dist = candidate.lexically_normal();
      return true;
    }
  }
  problem = "cannot find the dist/ tree with its ddf/ description files; looked in";
  for (const fs::path& candidate : candidates) problem += " " + candidate.lexically_normal().string();
  return false;
}

bool copyDistTree(const fs::path& dir, std::string& problem) {
  fs::path dist;
  if (!findDistTree(dist, problem)) return false;
  std::error_code error;
  fs::copy(dist, dir, fs::copy_options::recursive | fs::copy_options::overwrite_existing, error);
  if (!error) return true;
  problem = "cannot copy " + dist.string() + " to " + dir.string() + ": " + error.message();
  return false;
}

bool prepareTargetDirectory(const fs::path& dir, bool& existed, std::string& problem) {
  std::error_code error;
  existed = fs::exists(dir, error);
  if (existed && (!fs::is_directory(dir, error) || !fs::is_empty(dir, error))) {
    problem = dir.string() + " exists and is not an empty directory";
    return false;
  }
  if (!existed && !fs::create_directories(dir, error)) {
    problem = "cannot make " + dir.string() + ": " + error.message();
    return false;
  }
  return true;
}

void removeUnfinishedTree(const fs::path& dir, bool existed) {
  std::error_code error;
  std::vector<fs::path> made;
  for (const auto& entry : fs::directory_iterator(dir, error)) made.push_back(entry.path());
  for (const fs::path& path : made) fs::remove_all(path, error);
  if (!existed) fs::remove(dir, error);
}
