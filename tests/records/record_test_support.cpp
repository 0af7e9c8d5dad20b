#include "record_test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "core/session_settings.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "records/record_file_table.h"
#include "records/record_layouts.h"
#include "recman/record_manager.h"
#include "ui/keyboard.h"
#include "ui/window_stack.h"

FileLayout makeLayout(uint16_t recordLength, std::vector<std::vector<KeySegment>> keys,
                      const std::string& collatingTable) {
  FileLayout layout;
  layout.recordLength = recordLength;
  layout.pageSize = DefaultPageSize;
  for (auto& segments : keys) {
    KeyDefinition key;
    for (size_t i = 0; i < segments.size(); ++i) {
      KeySegment segment = segments[i];
      if (i + 1 < segments.size()) segment.flags |= SegmentFlag::Continues;
      key.length += segment.length;
      key.collated = key.collated || (segment.flags & SegmentFlag::Collated);
      key.duplicates = key.duplicates || (segment.flags & SegmentFlag::Duplicates);
      key.segments.push_back(segment);
    }
    layout.keys.push_back(key);
  }
  if (!collatingTable.empty()) {
    layout.hasCollation = true;
    std::memcpy(layout.collationName.data(), "UPPER   ", 8);
    std::memcpy(layout.collationTable.data(), collatingTable.data(), 256);
  }
  return layout;
}

std::string descriptionBytes(const FileLayout& layout) {
  std::string data = encodeFileLayout(layout);
  std::string bytes(2, '\0');
  bytes[0] = static_cast<char>(data.size() & 0xFF);
  bytes[1] = static_cast<char>(data.size() >> 8);
  return bytes + data;
}

void RecordFilesTest::SetUp() {
  ASSERT_FALSE(root.path().empty());
  std::filesystem::create_directories(root.path() + "/ddf");
  std::filesystem::create_directories(root.path() + "/DADES");
  resetSessionSettings();
  sessionSettings.rootDir = rootDir();
  sessionSettings.tempDir = rootDir();
  setConsole(&screen);
  resetWindowStack();
  resetKeyboardState();
  clearRecordFileTable();
  resetRecordVariables();
  setSleeper([this](int milliseconds) { sleeps.push_back(milliseconds); });
  setRandomSource([this] { return randomValue; });
}

void RecordFilesTest::TearDown() {
  int16_t status = 0;
  resetRecordFiles(status);
  clearRecordFileTable();
  setSleeper({});
  setRandomSource({});
  setConsole(nullptr);
  resetWindowStack();
  resetSessionSettings();
}

void RecordFilesTest::writeDescription(const std::string& baseName, const std::string& bytes) {
  ASSERT_TRUE(writeFileBytes(rootDir() + "ddf/" + baseName + ".xdf", bytes));
}

void RecordFilesTest::copyInstalledDescription(const std::string& baseName) {
  auto bytes = readFileBytes(sourceDir() + "/dist/ddf/" + baseName + ".xdf");
  ASSERT_TRUE(bytes.has_value()) << baseName;
  writeDescription(baseName, *bytes);
}

int16_t RecordFilesTest::open(int16_t fileId, const std::string& baseName,
                              std::span<uint8_t> buffer) {
  int16_t status = -1;
  openRecordFile(fileId, rootDir() + "DADES\\" + baseName, buffer, status);
  return status;
}

void RecordFilesTest::insert(int16_t fileId, const std::string& record) {
  int16_t slot = findRecordFile(fileId);
  ASSERT_GT(slot, 0);
  std::string data = record;
  std::array<char, 256> key{};
  int32_t length = static_cast<int32_t>(data.size());
  int16_t status = recordManagerCall(RecordOp::Insert,
                                     recordFileTable.slots[slot].positionBlock.data(),
                                     data.data(), &length, key.data(), 255, 0);
  ASSERT_EQ(status, 0) << "insert into " << fileId;
}

void writeAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

namespace {

// Reads until end of file or the deadline; false on time-out.
bool readUntilEnd(int fd, std::string& out, std::chrono::seconds limit) {
  auto deadline = std::chrono::steady_clock::now() + limit;
  char buffer[4096];
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) return true;
    out.append(buffer, static_cast<size_t>(n));
  }
}

}  // namespace

ChildOutcome runInChild(const std::function<void(int outputFd)>& body) {
  ChildOutcome outcome;
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return outcome;
  std::fflush(nullptr);  // nothing buffered is written twice
  pid_t pid = ::fork();
  if (pid == 0) {
    ::close(pipeFds[0]);
    body(pipeFds[1]);
    ::_exit(99);  // the body was expected to end the process itself
  }
  ::close(pipeFds[1]);
  bool ended = readUntilEnd(pipeFds[0], outcome.output, std::chrono::seconds(120));
  ::close(pipeFds[0]);
  if (!ended) ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (ended && WIFEXITED(status)) outcome.exitCode = WEXITSTATUS(status);
  return outcome;
}

bool LockHolder::start(const std::vector<std::string>& arguments) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return false;
  pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(pipeFds[1], 1);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    std::string program = programPath("kivdata");
    std::vector<char*> argv{program.data(), const_cast<char*>("lock")};
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  pid_ = pid;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  char c;
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{pipeFds[0], POLLIN, 0};
    if (::poll(&p, 1, 1000) <= 0) continue;
    if (::read(pipeFds[0], &c, 1) != 1) break;
    if (c == '\n') {
      ::close(pipeFds[0]);
      return true;
    }
    line_ += c;
  }
  ::close(pipeFds[0]);
  return false;
}

void LockHolder::stop() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  int status = 0;
  ::waitpid(pid_, &status, 0);
  pid_ = -1;
}
