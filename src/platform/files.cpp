#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

bool exists(const std::string& path) {
  struct stat info;
  return ::lstat(path.c_str(), &info) == 0;
}

bool sameIgnoringCase(const std::string& a, const char* b) {
  return ::strcasecmp(a.c_str(), b) == 0;
}

// The entry of directory `dir` whose name equals `component` without regard to case,
// or `component` itself when there is none.
std::string matchInDirectory(const std::string& dir, const std::string& component) {
  DIR* stream = ::opendir(dir.empty() ? "." : dir.c_str());
  if (!stream) return component;
  std::string found = component;
  while (dirent* entry = ::readdir(stream)) {
    if (sameIgnoringCase(component, entry->d_name)) {
      found = entry->d_name;
      break;
    }
  }
  ::closedir(stream);
  return found;
}

}  // namespace

std::string resolvePath(const std::string& name) {
  std::string path = name;
  for (char& c : path)
    if (c == '\\') c = '/';
  if (path.empty() || exists(path)) return path;

  std::string resolved;
  size_t start = 0;
  if (path[0] == '/') {
    resolved = "/";
    start = 1;
  }
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string component = path.substr(start, end - start);
    if (!component.empty() && component != "." && component != "..") {
      std::string candidate = resolved + component;
      if (!exists(candidate)) component = matchInDirectory(resolved, component);
    }
    resolved += component;
    if (end < path.size()) resolved += '/';
    start = end + 1;
  }
  return resolved;
}

std::string environmentValue(const char* variable) {
  const char* value = std::getenv(variable);
  return value ? value : "";
}

bool fileExists(const std::string& name) {
  struct stat info;
  return ::stat(resolvePath(name).c_str(), &info) == 0;
}

bool isDirectory(const std::string& name) {
  struct stat info;
  return ::stat(resolvePath(name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<std::string> readFileBytes(const std::string& name, size_t limit) {
  int fd = openFileDescriptor(name, O_RDONLY);
  if (fd < 0) return std::nullopt;
  std::string bytes;
  char chunk[65536];
  for (;;) {
    ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got > 0 && static_cast<size_t>(got) > limit - bytes.size()) {
      got = -1;
      errno = EFBIG;
    }
    if (got < 0) {
      const int error = errno;
      ::close(fd);
      errno = error;
      return std::nullopt;
    }
    if (got == 0) break;
    bytes.append(chunk, static_cast<size_t>(got));
  }
  ::close(fd);
  return bytes;
}

bool writeFileBytes(const std::string& name, const std::string& bytes) {
  int fd = openFileDescriptor(name, O_WRONLY | O_CREAT | O_TRUNC);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) {
      ::close(fd);
      return false;
    }
    done += static_cast<size_t>(put);
  }
  return ::close(fd) == 0;
}

FILE* openFile(const std::string& name, const char* mode) {
  std::string withCloseOnExec = std::string(mode) + "e";
  return std::fopen(resolvePath(name).c_str(), withCloseOnExec.c_str());
}

int openFileDescriptor(const std::string& name, int flags, int permissions) {
  int fd;
  do {
    fd = ::open(resolvePath(name).c_str(), flags | O_CLOEXEC, permissions);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

bool removeFile(const std::string& name) { return ::unlink(resolvePath(name).c_str()) == 0; }

bool changeDirectory(const std::string& name) { return ::chdir(resolvePath(name).c_str()) == 0; }
