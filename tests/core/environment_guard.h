// Sets the configuration's environment variables for one test and puts back the values (and
// the current directory) the process had before.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

class EnvironmentGuard {
 public:
  EnvironmentGuard() {
    for (const char* name : kNames) {
      const char* value = std::getenv(name);
      saved_[name] = value ? std::optional<std::string>(value) : std::nullopt;
      ::unsetenv(name);
    }
    char buffer[4096];
    if (::getcwd(buffer, sizeof buffer)) directory_ = buffer;
  }
  ~EnvironmentGuard() {
    for (const auto& [name, value] : saved_) {
      if (value) ::setenv(name.c_str(), value->c_str(), 1);
      else ::unsetenv(name.c_str());
    }
    if (!directory_.empty() && ::chdir(directory_.c_str()) != 0) std::abort();
  }
  EnvironmentGuard(const EnvironmentGuard&) = delete;
  EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

  void set(const char* name, const std::string& value) { ::setenv(name, value.c_str(), 1); }

 private:
  static constexpr const char* kNames[] = {"KIVROOT", "KIVEXE",      "KIVTMP", "TERM",
                                           "HTTP_USER_AGENT", "HTTP_ACCEPT", "WINDIR",
                                           "SYSTEMROOT"};
  std::map<std::string, std::optional<std::string>> saved_;
  std::string directory_;
};
