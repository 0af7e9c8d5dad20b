// Shared set-up of the record-file tests: an installation root in a temporary directory
// (ddf\ with description files, DADES\ for the record files), the session pointed at it,
// the in-memory console installed and the waits of the record layer recorded instead of
// slept.
#pragma once

#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "paths.h"
#include "platform/memory_console.h"
#include "recman/file_layout.h"

// A key of one or more segments for a test file layout: {offset, length, flags} each.
FileLayout makeLayout(uint16_t recordLength, std::vector<std::vector<KeySegment>> keys,
                      const std::string& collatingTable = "");

// Creation data of a description file: the 16-bit length, then the data.
std::string descriptionBytes(const FileLayout& layout);

class RecordFilesTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // root.path() + "/", the session's rootDir.
  std::string rootDir() const { return root.path() + "/"; }
  // Writes rootDir + "ddf/" + baseName + ".xdf".
  void writeDescription(const std::string& baseName, const std::string& bytes);
  void writeDescription(const std::string& baseName, const FileLayout& layout) {
    writeDescription(baseName, descriptionBytes(layout));
  }
  // Copies one of the installation's description files (dist/ddf) into the root.
  void copyInstalledDescription(const std::string& baseName);

  // Opens rootDir + "DADES\" + baseName as fileId, bound to buffer; the status.
  int16_t open(int16_t fileId, const std::string& baseName, std::span<uint8_t> buffer);
  // Inserts a record into the open file through the record manager.
  void insert(int16_t fileId, const std::string& record);

  TempDir root;
  MemoryConsole screen;
  std::vector<int> sleeps;  // every wait the layer asked for, in milliseconds
  double randomValue = 0.5;
};

// The result of running a function in a forked child: its exit code (-1 when a signal or
// a time-out ended it) and what it wrote to the pipe it was given.
struct ChildOutcome {
  int exitCode = -1;
  std::string output;
};
ChildOutcome runInChild(const std::function<void(int outputFd)>& body);

// A started kivdata holding a lock until stop() or its seconds run out.
class LockHolder {
 public:
  // Waits (generously) for kivdata's line that the lock is held; false when it never came.
  bool start(const std::vector<std::string>& arguments);
  // Ends it and waits for it to be gone.
  void stop();
  ~LockHolder() { stop(); }
  const std::string& line() const { return line_; }

 private:
  pid_t pid_ = -1;
  std::string line_;
};

void writeAll(int fd, const std::string& bytes);
