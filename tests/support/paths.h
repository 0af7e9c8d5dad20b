// Where the tests find the source tree, the built programs and a scratch directory.
#pragma once
#include <string>

std::string sourceDir();
std::string binaryDir();
// A program built from apps/, e.g. programPath("kivdata").
std::string programPath(const std::string& name);

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};
