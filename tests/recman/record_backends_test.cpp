// What the back ends add: long scans across the batches the server back end fetches, reads
// after writes with rows kept from before, the installation's choice of back end, a server
// that cannot be reached, and copying record files from one back end to the other.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/files.h"
#include "recman/record_file_server.h"
#include "record_file_fixture.h"

namespace {

std::string le32(uint32_t v) {
  return {char(v & 0xff), char(v >> 8 & 0xff), char(v >> 16 & 0xff), char(v >> 24)};
}

// 12-byte records: key 0 a unique 4-byte binary number (bytes 1-4), key 1 one letter with
// duplicates (byte 5), the rest a tag.
struct Row {
  uint32_t number;
  char letter;
  uint32_t position = 0;
};

std::string recordOf(const Row& row) {
  return le32(row.number) + std::string(1, row.letter) + "-" + std::to_string(row.number % 1000000);
}

std::string padded(std::string record) {
  record.resize(12, '.');
  return record;
}

class BackEnds : public RecordFileTest<Backend> {
 protected:
  // `count` rows in a made-up order, inserted in one transaction.
  void fill(RecordFile& file, int count) {
    path = dir.file("many.dat");
    ASSERT_EQ(createFile(path, creationData(12, {{{1, 4, SegmentFlag::Binary}},
                                                 {{5, 1, SegmentFlag::Duplicates}}})),
              0);
    ASSERT_EQ(file.open(path), 0);
    std::mt19937 random(7);
    ASSERT_EQ(transaction(RecordOp::BeginTransaction), 0);
    for (int i = 0; i < count; ++i) {
      Row row{uint32_t(random() % 100000000), char('a' + random() % 5)};
      if (std::any_of(rows.begin(), rows.end(),
                      [&](const Row& r) { return r.number == row.number; }))
        continue;
      ASSERT_EQ(file.insert(padded(recordOf(row))), 0);
      row.position = file.position();
      rows.push_back(row);
    }
    ASSERT_EQ(transaction(RecordOp::EndTransaction), 0);
  }
  // The rows in the order of a key.
  std::vector<std::string> inOrder(int key) const {
    std::vector<Row> sorted = rows;
    std::sort(sorted.begin(), sorted.end(), [&](const Row& a, const Row& b) {
      if (key == 0) return a.number < b.number;
      return a.letter != b.letter ? a.letter < b.letter : a.position < b.position;
    });
    std::vector<std::string> records;
    for (const Row& row : sorted) records.push_back(padded(recordOf(row)));
    return records;
  }
  std::string path;
  std::vector<Row> rows;
};

// Walks both ways along both keys, turning back and searching on the way: every record comes
// in the order a sorted list of the same rows gives, whatever batches the reads were served
// from (and however often the snapshot ended during the walk).
TEST_P(BackEnds, LongWalksAndTurnsFollowKeyOrder) {
  RecordFile file;
  fill(file, 1300);
  for (int key : {0, 1}) {
    std::vector<std::string> expected = inOrder(key);
    std::vector<std::string> seen = walk(file, int8_t(key), true, 0, 12);
    EXPECT_EQ(seen, expected) << key;
    seen = walk(file, int8_t(key), false, 0, 12);
    std::reverse(seen.begin(), seen.end());
    EXPECT_EQ(seen, expected) << key;

    // Forward 700, back 400, forward 100: each record where the list says.
    ASSERT_EQ(file.read(RecordOp::GetFirst, int8_t(key)), 0);
    size_t at = 0;
    for (auto [steps, operation] :
         {std::pair{700, RecordOp::GetNext}, std::pair{400, RecordOp::GetPrevious},
          std::pair{100, RecordOp::GetNext}}) {
      for (int i = 0; i < steps; ++i) {
        ASSERT_EQ(file.read(operation, int8_t(key)), 0) << key << " " << at;
        at = operation == RecordOp::GetNext ? at + 1 : at - 1;
        ASSERT_EQ(file.data, expected[at]) << key << " " << at;
      }
    }
  }
  // From the first of each letter to the end: duplicates of later letters at lower positions
  // than the one searched for are not skipped.
  std::vector<std::string> byLetter = inOrder(1);
  for (char letter : {'b', 'c', 'd'}) {
    ASSERT_EQ(file.read(RecordOp::GetGreaterOrEqual, 1, std::string(1, letter)), 0);
    std::vector<std::string> seen = {file.data};
    while (file.read(RecordOp::GetNext, 1) == 0) seen.push_back(file.data);
    auto first = std::find_if(byLetter.begin(), byLetter.end(),
                              [&](const std::string& record) { return record[4] == letter; });
    EXPECT_EQ(seen, std::vector<std::string>(first, byLetter.end())) << letter;
  }
  // Placed by position far from the rows read so far (a fresh open has read none), then
  // stepping, and searching in between.
  std::vector<std::string> byNumber0 = inOrder(0);
  RecordFile fresh;
  ASSERT_EQ(fresh.open(path), 0);
  ASSERT_EQ(fresh.read(RecordOp::GetFirst, 0), 0);
  auto far = std::find_if(rows.begin(), rows.end(),
                          [&](const Row& row) { return padded(recordOf(row)) == byNumber0[900]; });
  ASSERT_EQ(fresh.getDirect(far->position, 0), 0);
  ASSERT_EQ(fresh.read(RecordOp::GetNext, 0), 0);
  EXPECT_EQ(fresh.data, byNumber0[901]);
  ASSERT_EQ(fresh.read(RecordOp::GetEqual, 0, byNumber0[100].substr(0, 4)), 0);
  EXPECT_EQ(fresh.data, byNumber0[100]);
  ASSERT_EQ(fresh.read(RecordOp::GetNext, 0), 0);
  EXPECT_EQ(fresh.data, byNumber0[101]);
  // Searches for every 37th number and between numbers, after a long scan.
  std::vector<std::string> byNumber = inOrder(0);
  std::vector<uint32_t> numbers;
  for (const Row& row : rows) numbers.push_back(row.number);
  std::sort(numbers.begin(), numbers.end());
  for (size_t i = 0; i < numbers.size(); i += 37) {
    ASSERT_EQ(file.read(RecordOp::GetEqual, 0, le32(numbers[i])), 0);
    EXPECT_EQ(file.data, byNumber[i]);
    ASSERT_EQ(file.read(RecordOp::GetGreater, 0, le32(numbers[i])), i + 1 < numbers.size() ? 0 : 9);
    if (i + 1 < numbers.size()) {
      EXPECT_EQ(file.data, byNumber[i + 1]);
    }
    EXPECT_EQ(file.read(RecordOp::GetEqual, 0, le32(numbers[i] + 1)),
              i + 1 < numbers.size() && numbers[i + 1] == numbers[i] + 1 ? 0 : 4);
    ASSERT_EQ(file.read(RecordOp::GetLessOrEqual, 0, le32(numbers[i] + 1)), 0);
    EXPECT_EQ(
        file.data.substr(0, 4),
        le32(numbers[i + 1 < numbers.size() && numbers[i + 1] == numbers[i] + 1 ? i + 1 : i]));
  }
}

// Rows kept from a read never hide what this process wrote since, in or out of a transaction.
TEST_P(BackEnds, ReadsAfterWritesSeeTheWrites) {
  RecordFile file;
  fill(file, 40);
  uint32_t lowest = std::min_element(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
                      return a.number < b.number;
                    })->number;
  std::string second = inOrder(0)[1];
  for (bool inTransaction : {false, true}) {
    ASSERT_EQ(file.read(RecordOp::GetFirst, 0), 0);  // the first rows are read and kept
    // Written between the first two records and after the last one: by another open of the
    // file in this process, or by this one inside a transaction.
    Row between{lowest + 1 + inTransaction, 'z'}, last{200000000u + inTransaction, 'z'};
    RecordFile writer;
    if (inTransaction) {
      ASSERT_EQ(transaction(RecordOp::BeginTransaction), 0);
    } else {
      ASSERT_EQ(writer.open(path), 0);
    }
    RecordFile& by = inTransaction ? file : writer;
    ASSERT_EQ(by.insert(padded(recordOf(between))), 0);
    ASSERT_EQ(by.insert(padded(recordOf(last))), 0);
    ASSERT_EQ(file.read(RecordOp::GetFirst, 0), 0);
    ASSERT_EQ(file.read(RecordOp::GetNext, 0), 0);
    EXPECT_EQ(file.data, padded(recordOf(between))) << inTransaction;
    ASSERT_EQ(file.read(RecordOp::GetLast, 0), 0);
    EXPECT_EQ(file.data, padded(recordOf(last))) << inTransaction;
    ASSERT_EQ(file.read(RecordOp::GetEqual, 0, le32(between.number)), 0);
    ASSERT_EQ(file.remove(), 0);
    ASSERT_EQ(file.read(RecordOp::GetFirst, 0), 0);
    ASSERT_EQ(file.read(RecordOp::GetNext, 0), 0);
    EXPECT_EQ(file.data, second) << inTransaction;
    if (inTransaction) {
      ASSERT_EQ(transaction(RecordOp::EndTransaction), 0);
    }
    writer.close();
  }
}

INSTANTIATE_TEST_SUITE_P(Backends, BackEnds, BOTH_BACKENDS);

// ---- the installation's choice ----

struct ChoiceCase {
  const char* name;
  std::string quonIni;  // "" = no Quon.ini
  std::string server;   // what the engine should take
};

class InstallationChoice : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(InstallationChoice, QuonIniNamesTheServer) {
  const ChoiceCase& c = GetParam();
  TempDir root;
  if (!c.quonIni.empty()) std::ofstream(root.file("Quon.ini"), std::ios::binary) << c.quonIni;
  EXPECT_EQ(recordFileServer(root.file("DADES/FinquesV.dat")), c.server);
  // The root is the parent of the directory that holds the file, however the path is written.
  EXPECT_EQ(recordFileServer(root.path() + "/DADES/./x/../FinquesV"), c.server);
  EXPECT_EQ(recordFileServer(root.file("FinquesV.dat")), "");  // its parent has no Quon.ini
}

INSTANTIATE_TEST_SUITE_P(
    Cases, InstallationChoice,
    ::testing::Values(
        ChoiceCase{"NoQuonIni", "", ""},
        ChoiceCase{"NoDadesSection", "[Usuari]\r\nIdioma=CAT\r\n", ""},
        ChoiceCase{"Plain", "[Usuari]\r\nIdioma=CAT\r\n[Dades]\r\nServidor=host=db dbname=kiv\r\n",
                   "host=db dbname=kiv"},
        ChoiceCase{"NamesWithoutRegardToCase", "[dades]\r\nSERVIDOR = dbname=kiv \r\n",
                   "dbname=kiv"},
        ChoiceCase{"QuotedAndCommented",
                   "[Dades] ; the database\r\nServidor=\"dbname=kiv\" ; here\r\n", "dbname=kiv"},
        ChoiceCase{"LineFeedsOnly", "[Dades]\nServidor=postgresql://db/kiv\n",
                   "postgresql://db/kiv"},
        ChoiceCase{"KeyInAnotherSection", "[Dades]\r\n[Usuari]\r\nServidor=dbname=kiv\r\n", ""},
        ChoiceCase{"EmptyValue", "[Dades]\r\nServidor=\r\n", ""}),
    [](const auto& caseInfo) { return std::string(caseInfo.param.name); });

TEST(RecordFileBaseName, IsTheLastComponentUpToItsFirstDot) {
  EXPECT_EQ(recordFileBaseName("C:\\KIV\\DADES\\FinquesV"), "FinquesV");
  EXPECT_EQ(recordFileBaseName("/kiv/DADES/FinquesV.dat"), "FinquesV");
  EXPECT_EQ(recordFileBaseName("A\\b.c.d"), "b");
  EXPECT_EQ(recordFileBaseName("TVRebut"), "TVRebut");
}

// ---- the server ----

class OnServer : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.ready()) << dir.problem(); }
  void TearDown() override { EXPECT_EQ(resetRecordManager(), 0); }
  TestInstallation dir{Backend::Server};
};

TEST_F(OnServer, FilesAreTablesNamedAfterTheBaseNameFoundWithoutRegardToCase) {
  // The module's way of naming a file: backslashes, no extension.
  std::string moduleName = dir.root() + "\\DADES\\FinquesV";
  ASSERT_EQ(createFile(moduleName, creationData(8, {{{1, 2, 0}}})), 0);
  EXPECT_EQ(dir.psql("SELECT name FROM kiv_record_files"), "FinquesV\n");
  EXPECT_FALSE(fileExists(dir.file("FinquesV.dat")));
  RecordFile file;
  ASSERT_EQ(file.open(dir.file("finquesv.DAT")), 0);
  ASSERT_EQ(file.insert("10......"), 0);
  EXPECT_EQ(createFile(dir.file("FINQUESV"), creationData(8, {{{1, 2, 0}}})),
            RecordStatus::FileExists);
  EXPECT_EQ(dir.psql("SELECT count(*) FROM \"FinquesV\""), "1\n");
}

// The server ends the module's connections (a restart, an administrator): the calls that need
// the server give 20 at once, a write is not taken for done, and the next open connects anew
// and finds the file as it was.
TEST_F(OnServer, LostConnectionGivesStatus20AndTheNextOpenConnectsAgain) {
  const std::string application = "kivlost" + std::to_string(::getpid());
  std::ofstream(dir.root() + "/Quon.ini", std::ios::binary | std::ios::trunc)
      << "[Dades]\r\nServidor=" << dir.server() << " application_name=" << application << "\r\n";
  const std::string path = dir.file("Lost");
  ASSERT_EQ(createFile(path, creationData(8, {{{1, 4, SegmentFlag::Binary}}})), 0);
  RecordFile file;
  ASSERT_EQ(file.open(path), 0);
  ASSERT_EQ(transaction(RecordOp::BeginTransaction), 0);
  for (uint32_t n = 1; n <= 2000; ++n) ASSERT_EQ(file.insert(le32(n) + "...."), 0);
  ASSERT_EQ(transaction(RecordOp::EndTransaction), 0);
  ASSERT_EQ(file.read(RecordOp::GetFirst, 0), 0);

  EXPECT_EQ(dir.psql("SELECT count(pg_terminate_backend(pid)) > 0 FROM pg_stat_activity"
                     " WHERE application_name = '" + application + "'"),
            "t\n");
  // Rows of the snapshot already fetched may still come; past them the walk stops with 20.
  int16_t status = 0;
  for (int read = 0; read < 2000 && status == 0; ++read) status = file.read(RecordOp::GetNext, 0);
  EXPECT_EQ(status, RecordStatus::ServerUnreachable);
  endReadSnapshot();
  EXPECT_EQ(file.insert(le32(5000) + "...."), RecordStatus::ServerUnreachable);
  EXPECT_EQ(file.read(RecordOp::GetFirst, 0), RecordStatus::ServerUnreachable);
  file.close();

  RecordFile again;
  ASSERT_EQ(again.open(path), 0);
  EXPECT_EQ(again.recordCount(), 2000u);
  EXPECT_EQ(again.read(RecordOp::GetEqual, 0, le32(5000)), RecordStatus::KeyNotFound);
  EXPECT_EQ(again.insert(le32(5000) + "...."), 0);
  EXPECT_EQ(again.close(), 0);
}

// A listener that takes connections and never says a word.
class SilentServer {
 public:
  SilentServer() {
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 && ::listen(fd_, 8) == 0 &&
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
      port_ = ntohs(address.sin_port);
  }
  ~SilentServer() { ::close(fd_); }
  int port() const { return port_; }

 private:
  int fd_ = -1;
  int port_ = 0;
};

TEST(UnreachableServer, OpenAndCreateGiveStatus20WithinSeconds) {
  SilentServer silent;
  ASSERT_NE(silent.port(), 0);
  int closedPort = 0;
  {
    SilentServer gone;  // a port that was free a moment ago and is closed again
    closedPort = gone.port();
  }
  for (std::string server : {"host=127.0.0.1 port=" + std::to_string(closedPort),
                             "host=127.0.0.1 port=" + std::to_string(silent.port())}) {
    TempDir root;
    std::ofstream(root.file("Quon.ini"), std::ios::binary)
        << "[Dades]\r\nServidor=" << server << " user=kiv dbname=kiv\r\n";
    auto start = std::chrono::steady_clock::now();
    RecordFile file;
    EXPECT_EQ(file.open(root.file("DADES/FinquesV")), RecordStatus::ServerUnreachable) << server;
    EXPECT_EQ(createFile(root.file("DADES/FinquesV"), creationData(8, {{{1, 2, 0}}})),
              RecordStatus::ServerUnreachable)
        << server;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30)) << server;
  }
}

// ---- copying between the back ends ----

TEST_F(OnServer, CopyMovesEveryRecordAtItsPositionBothWays) {
  // An SQLite file with a gap in its positions, a collated key with duplicates.
  TempDir files;
  std::string original = files.file("FinquesV.dat");
  std::string creation =
      creationData(16, {{{1, 2, 0}}, {{3, 4, SegmentFlag::Duplicates | SegmentFlag::Collated}}},
                   caseFoldingTable());
  ASSERT_EQ(createFile(original, creation), 0);
  {
    RecordFile file;
    ASSERT_EQ(file.open(original), 0);
    for (const char* record : {"01abcd..........", "02ABCD..........", "03zzzz..........",
                               "04Abcd..........", "05mmmm.........."})
      ASSERT_EQ(file.insert(record), 0);
    ASSERT_EQ(file.read(RecordOp::GetEqual, 0, "03"), 0);
    ASSERT_EQ(file.remove(), 0);  // position 3 is free
    ASSERT_EQ(file.close(), 0);
  }
  uint32_t copied = 0;
  ASSERT_EQ(copyRecordFile("", original, dir.server(), "FinquesV", false, copied), 0);
  EXPECT_EQ(copied, 4u);
  EXPECT_EQ(copyRecordFile("", original, dir.server(), "FinquesV", false, copied),
            RecordStatus::FileExists);

  std::string back = files.file("Back.dat");
  ASSERT_EQ(copyRecordFile(dir.server(), "FinquesV", "", back, false, copied), 0);
  for (const std::string& path : {dir.file("FinquesV.dat"), back}) {
    RecordFile file;
    ASSERT_EQ(file.open(path), 0) << path;
    std::string stat;
    ASSERT_EQ(file.stat(stat), 0);
    EXPECT_EQ(stat.substr(0, 4), creation.substr(0, 4));
    EXPECT_EQ(stat.substr(6, 4), le32(4)) << path;       // records
    EXPECT_EQ(stat.substr(32 + 6, 4), le32(2)) << path;  // abcd (3 of them), mmmm
    EXPECT_EQ(walk(file, 1, true, 0, 2), (std::vector<std::string>{"01", "02", "04", "05"}));
    for (uint32_t position : {1u, 2u, 4u, 5u}) {
      ASSERT_EQ(file.getDirect(position, 0), 0) << path << position;
      EXPECT_EQ(file.data.substr(0, 2), "0" + std::to_string(position));
    }
    EXPECT_EQ(file.getDirect(3, 0), RecordStatus::InvalidPositioning);
    ASSERT_EQ(file.insert("06nnnn.........."), 0);
    EXPECT_GT(file.position(), 5u) << path;  // after the highest copied position
  }
  ASSERT_EQ(resetRecordManager(), 0);

  // Replacing: only a file nobody has open.
  RecordFile user;
  ASSERT_EQ(user.open(dir.file("FinquesV")), 0);
  EXPECT_EQ(copyRecordFile("", original, dir.server(), "FinquesV", true, copied),
            RecordStatus::FileLocked);
  ASSERT_EQ(user.close(), 0);
  ASSERT_EQ(copyRecordFile("", original, dir.server(), "FinquesV", true, copied), 0);
  ASSERT_EQ(user.open(dir.file("FinquesV")), 0);
  EXPECT_EQ(user.recordCount(), 4u);
}

TEST_F(OnServer, CopyOfANonRecordFileLeavesNothing) {
  TempDir files;
  std::string foreign = files.file("Foreign.dat");
  std::ofstream(foreign) << "not a record file";
  uint32_t copied = 0;
  EXPECT_EQ(copyRecordFile("", foreign, dir.server(), "Foreign", false, copied),
            RecordStatus::NotARecordFile);
  EXPECT_EQ(copyRecordFile("", files.file("Missing.dat"), dir.server(), "Missing", false, copied),
            RecordStatus::FileNotFound);
  EXPECT_EQ(dir.psql("SELECT count(*) FROM pg_tables WHERE schemaname = current_schema()"), "0\n");
}

}  // namespace
