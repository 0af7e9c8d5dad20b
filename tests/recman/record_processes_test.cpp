// Several processes on one file: record locks, exclusive opens, a writer holding the file,
// and a transaction cut short by kill -9.
#include <gtest/gtest.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <string>

#include "record_file_fixture.h"

namespace {

constexpr int ReplyTimeoutMs = 60000;

// A child process running `body`; it talks to the parent through two pipes.
class Child {
 public:
  explicit Child(const std::function<void(Child&)>& body) {
    if (::pipe(toParent_) != 0 || ::pipe(toChild_) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      body(*this);
      for (;;) ::pause();  // stays until killed
    }
  }
  ~Child() { kill(); }
  void kill() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }
  // Exit code of a child that ends by itself.
  int wait() {
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void tellParent(char c) { (void)!::write(toParent_[1], &c, 1); }
  void tellChild(char c) { (void)!::write(toChild_[1], &c, 1); }
  char fromChild() { return readWithin(toParent_[0]); }
  char fromParent() { return readWithin(toChild_[0]); }

 private:
  static char readWithin(int fd) {
    pollfd p{fd, POLLIN, 0};
    char c = 0;
    if (::poll(&p, 1, ReplyTimeoutMs) == 1 && ::read(fd, &c, 1) == 1) return c;
    return 0;
  }
  pid_t pid_ = -1;
  int toParent_[2] = {-1, -1};
  int toChild_[2] = {-1, -1};
};

class RecordProcesses : public RecordFileTest<Backend> {
 protected:
  void SetUp() override {
    RecordFileTest::SetUp();
    if (HasFatalFailure()) return;
    path = dir.file("shared.dat");
    ASSERT_EQ(createFile(path, creationData(8, {{{1, 2, 0}}})), 0);
    RecordFile file;
    ASSERT_EQ(file.open(path), 0);
    for (const char* record : {"10......", "20......", "30......"})
      ASSERT_EQ(file.insert(record), 0);
    ASSERT_EQ(resetRecordManager(), 0);  // nothing open when children are made
  }
  std::string path;
};

TEST_P(RecordProcesses, RecordLockHoldsUntilItsHolderDies) {
  Child holder([&](Child& self) {
    RecordFile file;
    bool ok =
        file.open(path) == 0 && file.read(RecordOp::GetEqual + RecordOp::LockNoWait, 0, "20") == 0;
    self.tellParent(ok ? 'L' : 'E');
    if (self.fromParent() == 'D') ::_exit(0);
  });
  ASSERT_EQ(holder.fromChild(), 'L');

  RecordFile file;
  ASSERT_EQ(file.open(path), 0);
  file.data = "untouched";
  EXPECT_EQ(file.read(RecordOp::GetEqual + RecordOp::LockNoWait, 0, "20"),
            RecordStatus::RecordLocked);
  EXPECT_EQ(file.data, "untouched");
  EXPECT_EQ(file.read(RecordOp::GetEqual + RecordOp::LockNoWait, 0, "30"), 0);  // others free
  ASSERT_EQ(file.read(RecordOp::GetEqual, 0, "20"), 0);  // reading without a lock is allowed
  EXPECT_EQ(file.update("20 new.."), RecordStatus::RecordLocked);
  EXPECT_EQ(file.remove(), RecordStatus::RecordLocked);

  // A waiting lock is granted once the holder is gone.
  holder.tellChild('D');
  EXPECT_EQ(file.read(RecordOp::GetEqual + RecordOp::LockWait, 0, "20"), 0);
  EXPECT_EQ(holder.wait(), 0);
  EXPECT_EQ(file.update("20 new.."), 0);
}

// A child the holder made (and that never touched the record manager) does not keep the
// holder's locks alive once the holder is gone.
TEST_P(RecordProcesses, LocksGoWithTheirHolderWhileAChildOfItLivesOn) {
  std::string pidFile = dir.root() + "/grandchild";
  Child holder([&](Child& self) {
    RecordFile file;
    bool ok =
        file.open(path) == 0 && file.read(RecordOp::GetEqual + RecordOp::LockNoWait, 0, "20") == 0;
    pid_t child = ::fork();
    if (child == 0)
      for (;;) ::pause();
    std::ofstream(pidFile) << child;
    self.tellParent(ok && child > 0 ? 'L' : 'E');
  });
  ASSERT_EQ(holder.fromChild(), 'L');
  pid_t grandchild = 0;
  std::ifstream(pidFile) >> grandchild;
  ASSERT_GT(grandchild, 0);
  holder.kill();

  RecordFile file;
  ASSERT_EQ(file.open(path), 0);
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  int16_t status;
  while ((status = file.read(RecordOp::GetEqual + RecordOp::LockNoWait, 0, "20")) ==
             RecordStatus::RecordLocked &&
         std::chrono::steady_clock::now() < deadline)
    ::usleep(20000);
  EXPECT_EQ(status, 0);
  ::kill(grandchild, SIGKILL);
}

TEST_P(RecordProcesses, OwnLockIsKeptUntilUnlockAndIsSingle) {
  RecordFile file;
  ASSERT_EQ(file.open(path), 0);
  ASSERT_EQ(file.read(RecordOp::GetEqual + RecordOp::LockNoWait, 0, "10"), 0);
  auto lockedInChild = [&](const char* key) {
    Child probe([&](Child&) {
      RecordFile other;
      if (other.open(path) != 0) ::_exit(2);
      ::_exit(other.read(RecordOp::GetEqual + RecordOp::LockNoWait, 0, key) ==
                      RecordStatus::RecordLocked
                  ? 1
                  : 0);
    });
    return probe.wait() == 1;
  };
  EXPECT_TRUE(lockedInChild("10"));
  ASSERT_EQ(file.read(RecordOp::GetEqual + RecordOp::LockNoWait, 0, "30"), 0);
  EXPECT_FALSE(lockedInChild("10"));  // one record lock at a time
  EXPECT_TRUE(lockedInChild("30"));
  ASSERT_EQ(file.unlock(), 0);
  EXPECT_FALSE(lockedInChild("30"));
}

TEST_P(RecordProcesses, ExclusiveOpenShutsOthersOutBothWays) {
  {
    Child owner([&](Child& self) {
      RecordFile file;
      self.tellParent(file.open(path, RecordOpenMode::Exclusive) == 0 ? 'X' : 'E');
    });
    ASSERT_EQ(owner.fromChild(), 'X');
    RecordFile file;
    EXPECT_EQ(file.open(path), RecordStatus::FileLocked);
    EXPECT_EQ(file.open(path, RecordOpenMode::ReadOnly), RecordStatus::FileLocked);
    EXPECT_EQ(file.open(path, RecordOpenMode::Exclusive), RecordStatus::FileLocked);
    owner.kill();
    EXPECT_EQ(file.open(path), 0);
  }
  ASSERT_EQ(resetRecordManager(), 0);
  Child user([&](Child& self) {
    RecordFile file;
    self.tellParent(file.open(path) == 0 ? 'O' : 'E');
  });
  ASSERT_EQ(user.fromChild(), 'O');
  RecordFile file;
  EXPECT_EQ(file.open(path, RecordOpenMode::Exclusive), RecordStatus::FileLocked);
  EXPECT_EQ(file.open(path), 0);
}

TEST_P(RecordProcesses, WriterHoldingTheFileGivesFileLockedToWritersNotToReaders) {
  Child writer([&](Child& self) {
    RecordFile file;
    bool ok = file.open(path) == 0 && transaction(RecordOp::BeginTransaction) == 0 &&
              file.insert("40......") == 0;
    self.tellParent(ok ? 'W' : 'E');
  });
  ASSERT_EQ(writer.fromChild(), 'W');
  RecordFile file;
  ASSERT_EQ(file.open(path), 0);
  EXPECT_EQ(file.insert("50......"), RecordStatus::FileLocked);
  EXPECT_EQ(walk(file, 0, true, 0, 2), (std::vector<std::string>{"10", "20", "30"}));
  writer.kill();
  endReadSnapshot();
  EXPECT_EQ(file.insert("50......"), 0);
  EXPECT_EQ(walk(file, 0, true, 0, 2), (std::vector<std::string>{"10", "20", "30", "50"}));
}

// Reads share one snapshot, so a scan sees one state; ending it (or its age) lets other
// processes' writes in.
TEST_P(RecordProcesses, ReadsShareOneSnapshotUntilItEnds) {
  Child writer([&](Child& self) {
    RecordFile file;
    if (file.open(path) != 0) ::_exit(1);
    for (const char* record : {"40......", "50......"}) {
      if (self.fromParent() != 'G') ::_exit(0);
      self.tellParent(file.insert(record) == 0 ? 'W' : 'E');
    }
  });
  RecordFile file;
  ASSERT_EQ(file.open(path), 0);
  auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(file.read(RecordOp::GetFirst, 0), 0);
  writer.tellChild('G');
  ASSERT_EQ(writer.fromChild(), 'W');
  size_t seen = walk(file, 0, true, 0, 2).size();
  if (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(90)) {
    EXPECT_EQ(seen, 3u);  // still the snapshot of the first read
  }
  endReadSnapshot();
  EXPECT_EQ(walk(file, 0, true, 0, 2).size(), 4u);

  // Without an explicit end the snapshot still gives way once it is old enough.
  writer.tellChild('G');
  ASSERT_EQ(writer.fromChild(), 'W');
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (walk(file, 0, true, 0, 2).size() != 5u && std::chrono::steady_clock::now() < deadline) {
  }
  EXPECT_EQ(walk(file, 0, true, 0, 2).size(), 5u);
}

TEST_P(RecordProcesses, KilledTransactionLeavesAllOrNone) {
  for (bool ended : {false, true}) {
    Child loader([&](Child& self) {
      RecordFile file;
      if (file.open(path) != 0 || transaction(RecordOp::BeginTransaction) != 0) ::_exit(1);
      char record[9];
      for (int i = 0; i < 400; ++i) {
        std::snprintf(record, sizeof record, "%c%c......", 'A' + i / 26, 'a' + i % 26);
        if (file.insert(record) != 0) ::_exit(1);
      }
      if (ended && transaction(RecordOp::EndTransaction) != 0) ::_exit(1);
      // Killed in the middle of the transaction, or of a second one after the first ended.
      if (ended && transaction(RecordOp::BeginTransaction) != 0) ::_exit(1);
      self.tellParent('K');
      for (int i = 400;; ++i) {
        std::snprintf(record, sizeof record, "%c%c......", 'a' + i / 26 % 26, 'a' + i % 26);
        file.insert(record);
      }
    });
    ASSERT_EQ(loader.fromChild(), 'K');
    loader.kill();
    RecordFile file;
    ASSERT_EQ(file.open(path), 0);
    uint32_t expected = ended ? 403 : 3;
    EXPECT_EQ(file.recordCount(), expected) << ended;
    EXPECT_EQ(walk(file, 0, true, 0, 2).size(), expected) << ended;
    ASSERT_EQ(resetRecordManager(), 0);
  }
}

TEST_P(RecordProcesses, ExitWithFilesOpenIsCleanAndDropsTheOpenTransaction) {
  Child leaver([&](Child&) {
    RecordFile reader, writer;
    if (reader.open(path) != 0 || reader.read(RecordOp::GetFirst, 0) != 0) ::_exit(1);
    if (writer.open(path) != 0 || transaction(RecordOp::BeginTransaction) != 0 ||
        writer.insert("40......") != 0 || reader.read(RecordOp::GetFirst, 0) != 0)
      ::_exit(1);
    std::exit(7);  // static destructors run with a snapshot and a transaction open
  });
  EXPECT_EQ(leaver.wait(), 7);
  RecordFile file;
  ASSERT_EQ(file.open(path), 0);
  EXPECT_EQ(file.recordCount(), 3u);
  EXPECT_EQ(walk(file, 0, true, 0, 2).size(), 3u);
}

TEST_P(RecordProcesses, ChildOfAnOpenFileLeavesTheParentsFileAndLocksAlone) {
  RecordFile file;
  ASSERT_EQ(file.open(path), 0);
  ASSERT_EQ(file.read(RecordOp::GetEqual + RecordOp::LockNoWait, 0, "20"), 0);
  Child careless([&](Child&) { ::_exit(resetRecordManager()); });
  EXPECT_EQ(careless.wait(), 0);
  Child probe([&](Child&) {
    RecordFile other;
    ::_exit(other.open(path) == 0 && other.read(RecordOp::GetEqual + RecordOp::LockNoWait, 0,
                                                "20") == RecordStatus::RecordLocked
                ? 1
                : 0);
  });
  EXPECT_EQ(probe.wait(), 1);
  EXPECT_EQ(file.read(RecordOp::GetNext, 0), 0);
  EXPECT_EQ(file.data.substr(0, 2), "30");
}

INSTANTIATE_TEST_SUITE_P(Backends, RecordProcesses, BOTH_BACKENDS);

}  // namespace

namespace {

// Runs in a child with its own mount table, on a tiny file system made for it.
TEST(RecordDiskFull, FullFileSystemGivesDiskFullAndKeepsWhatWasWritten) {
  TempDir dir;
  std::string mountPoint = dir.file("small");
  ASSERT_EQ(::mkdir(mountPoint.c_str(), 0700), 0);
  Child writer([&](Child&) {
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=96k") != 0)
      ::_exit(77);
    std::string path = mountPoint + "/full.dat";
    if (createFile(path, creationData(1536, {{{1, 4, 0}}})) != 0) ::_exit(2);
    RecordFile file;
    if (file.open(path) != 0) ::_exit(3);
    int16_t status = 0;
    uint32_t written = 0;
    char key[5];
    while (status == 0 && written < 1000) {
      std::snprintf(key, sizeof key, "%04u", written);
      status = file.insert(recordWith(1536, {{0, key}}));
      if (status == 0) ++written;
    }
    if (status != RecordStatus::DiskFull) ::_exit(4);
    if (written == 0 || file.recordCount() != written) ::_exit(5);
    ::_exit(walk(file, 0, true, 0, 4).size() == written ? 0 : 6);
  });
  int code = writer.wait();
  if (code == 77) GTEST_SKIP() << "no private mount of a small file system here";
  EXPECT_EQ(code, 0);
}

}  // namespace
