// Damaged and foreign files, faulty creation data, the description files of the demo data,
// and the highest position: always the documented status, never a crash.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>

#include "platform/files.h"
#include "record_file_fixture.h"

namespace {

class RecordBadInput : public RecordFileTest<Backend> {};

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void writeAll(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

int runSqlite(const std::string& path, const std::string& sql) {
  return std::system(("sqlite3 '" + path + "' \"" + sql + "\" >/dev/null 2>&1").c_str());
}

// Whether a record file is there: it opens (and is closed again).
bool opens(const std::string& path) {
  RecordFile file;
  bool opened = file.open(path) == RecordStatus::Success;
  if (opened) file.close();
  return opened;
}

std::string le16(uint16_t v) {
  return {char(v & 0xff), char(v >> 8)};
}

// A good file holding two records, to be damaged by each case.
std::string goodFile(const TestInstallation& dir, const std::string& name) {
  std::string path = dir.file(name);
  EXPECT_EQ(createFile(path, creationData(8, {{{1, 2, 0}}})), 0);
  RecordFile file;
  EXPECT_EQ(file.open(path), 0);
  EXPECT_EQ(file.insert("10......"), 0);
  EXPECT_EQ(file.insert("20......"), 0);
  EXPECT_EQ(file.close(), 0);
  return path;
}

TEST_P(RecordBadInput, ForeignOrDamagedFilesAreNotRecordFiles) {
  struct Case {
    const char* name;
    std::function<void(const std::string&)> damage;
  };
  Case onFiles[] = {
      {"empty", [](const std::string& p) { writeAll(p, ""); }},
      {"text", [](const std::string& p) { writeAll(p, std::string(5000, 'x')); }},
      {"headerOnly", [](const std::string& p) { writeAll(p, readAll(p).substr(0, 100)); }},
      {"foreignSqlite",
       [](const std::string& p) {
         std::remove(p.c_str());
         runSqlite(p, "CREATE TABLE records(position INTEGER PRIMARY KEY, data BLOB)");
       }},
      {"keyTableDropped", [](const std::string& p) { runSqlite(p, "DROP TABLE key_0"); }},
      {"recordsRenamed",
       [](const std::string& p) { runSqlite(p, "ALTER TABLE records RENAME TO x"); }},
      {"magicChanged",
       [](const std::string& p) { runSqlite(p, "UPDATE record_file SET magic='x'"); }},
      {"layoutCut",
       [](const std::string& p) { runSqlite(p, "UPDATE record_file SET layout=x'0800'"); }},
      {"secondFileRow",
       [](const std::string& p) {
         runSqlite(p, "INSERT INTO record_file SELECT * FROM record_file");
       }},
      {"keyStatsMissing", [](const std::string& p) { runSqlite(p, "DELETE FROM key_stats"); }},
      {"pagesOverwritten",
       [](const std::string& p) {
         std::string bytes = readAll(p);
         for (size_t i = 100; i < bytes.size(); ++i) bytes[i] = char(i * 7);
         writeAll(p, bytes);
       }},
  };
  // On the server the table is named after the case, and its row of the file list too.
  auto sql = [&](const std::string& statements) {
    return [&, statements](const std::string& p) {
      std::string table = "\"" + p.substr(p.rfind('/') + 1, p.rfind('.') - p.rfind('/') - 1) + "\"";
      std::string text = statements;
      for (size_t at; (at = text.find("@T")) != std::string::npos;) text.replace(at, 2, table);
      for (size_t at; (at = text.find("@N")) != std::string::npos;)
        text.replace(at, 2, "'" + table.substr(1, table.size() - 2) + "'");
      EXPECT_NE(dir.psql(text), "ERROR") << text;
    };
  };
  Case onServer[] = {
      {"unlisted", sql("DELETE FROM kiv_record_files WHERE name = @N")},
      {"foreignTable",
       sql("DELETE FROM kiv_record_files WHERE name = @N; DROP TABLE @T; CREATE TABLE @T(a int)")},
      {"tableDropped", sql("DROP TABLE @T")},
      {"tableIsAView", sql("DROP TABLE @T; CREATE VIEW @T AS SELECT 1 AS position")},
      {"keyColumnDropped", sql("ALTER TABLE @T DROP COLUMN key_0")},
      {"dataRetyped", sql("ALTER TABLE @T ALTER COLUMN data TYPE text")},
      {"columnAdded", sql("ALTER TABLE @T ADD COLUMN extra integer")},
      {"magicChanged", sql("UPDATE kiv_record_files SET magic = 'x' WHERE name = @N")},
      {"formatChanged", sql("UPDATE kiv_record_files SET format = 2 WHERE name = @N")},
      {"layoutCut", sql("UPDATE kiv_record_files SET layout = '\\x0800' WHERE name = @N")},
  };
  bool files = dir.backend() == Backend::Files;
  for (const Case& c : files ? std::vector<Case>(std::begin(onFiles), std::end(onFiles))
                             : std::vector<Case>(std::begin(onServer), std::end(onServer))) {
    std::string path = goodFile(dir, std::string(c.name) + ".dat");
    c.damage(path);
    RecordFile file;
    EXPECT_EQ(file.open(path), RecordStatus::NotARecordFile) << c.name;
    EXPECT_EQ(file.open(path, RecordOpenMode::ReadOnly), RecordStatus::NotARecordFile) << c.name;
    // Never replaced behind the user's back, and never taken for a new file.
    EXPECT_NE(createFile(path, creationData(8, {{{1, 2, 0}}})), 0) << c.name;
  }
  if (files) {
    RecordFile file;
    EXPECT_EQ(file.open(dir.root()), RecordStatus::NotARecordFile);  // a directory
  }
}

TEST_P(RecordBadInput, DamagedRecordDataGivesIoErrorOnRead) {
  std::string path = goodFile(dir, "data.dat");
  if (dir.backend() == Backend::Files)
    runSqlite(path, "UPDATE records SET data=x'00' WHERE position=2");
  else
    EXPECT_EQ(dir.psql("UPDATE data SET data = '\\x00' WHERE position = 2"), "");
  RecordFile file;
  ASSERT_EQ(file.open(path), 0);
  ASSERT_EQ(file.read(RecordOp::GetFirst, 0), 0);
  EXPECT_EQ(file.read(RecordOp::GetNext, 0), RecordStatus::IoError);
  EXPECT_EQ(file.getDirect(2, 0), RecordStatus::IoError);
}

TEST_P(RecordBadInput, FaultyCreationDataIsRefused) {
  std::string key1 = le16(1) + le16(2) + std::string(12, '\0');  // one segment at 1, length 2
  std::string head = le16(8) + le16(4096) + le16(1) + std::string(10, '\0');
  auto segment = [](uint16_t position, uint16_t length, uint16_t flags) {
    return le16(position) + le16(length) + le16(flags) + std::string(10, '\0');
  };
  struct Case {
    const char* name;
    std::string creation;
    int16_t status;
  } cases[] = {
      {"empty", "", RecordStatus::InvalidOperation},
      {"shortFileSpec", head.substr(0, 15), RecordStatus::InvalidOperation},
      {"recordLengthZero", le16(0) + head.substr(2) + key1, RecordStatus::InvalidRecordLength},
      {"recordLengthTooLong", le16(1537) + head.substr(2) + key1,
       RecordStatus::InvalidRecordLength},
      {"allSpaces", std::string(1536, ' '), RecordStatus::InvalidRecordLength},
      {"pageSizeOdd", le16(8) + le16(1000) + head.substr(4) + key1, RecordStatus::InvalidOperation},
      {"noKeys", le16(8) + le16(4096) + le16(0) + head.substr(6), RecordStatus::InvalidOperation},
      {"segmentMissing", head, RecordStatus::InvalidOperation},
      {"segmentCut", head + key1.substr(0, 8), RecordStatus::InvalidOperation},
      {"segmentOutsideRecord", head + segment(8, 2, 0), RecordStatus::InvalidOperation},
      {"segmentAtZero", head + segment(0, 2, 0), RecordStatus::InvalidOperation},
      {"segmentEmpty", head + segment(1, 0, 0), RecordStatus::InvalidOperation},
      {"unknownFlag", head + segment(1, 2, 0x0002), RecordStatus::InvalidOperation},
      {"binaryAndCollated", head + segment(1, 2, SegmentFlag::Binary | SegmentFlag::Collated),
       RecordStatus::InvalidOperation},
      {"lastSegmentSaysMore", head + segment(1, 2, SegmentFlag::Continues),
       RecordStatus::InvalidOperation},
      {"duplicatesDisagree",
       head + segment(1, 2, SegmentFlag::Continues | SegmentFlag::Duplicates) + segment(3, 2, 0),
       RecordStatus::InvalidOperation},
      {"keyTooLong",
       le16(400) + head.substr(2) + segment(1, 200, SegmentFlag::Continues) + segment(201, 56, 0),
       RecordStatus::InvalidOperation},
      {"collationMissing", head + segment(1, 2, SegmentFlag::Collated),
       RecordStatus::InvalidOperation},
      {"collationSignatureWrong",
       head + segment(1, 2, SegmentFlag::Collated) + "\xAB" + std::string(264, 'x'),
       RecordStatus::InvalidOperation},
      {"collationCut", head + segment(1, 2, SegmentFlag::Collated) + "\xAC" + std::string(200, 'x'),
       RecordStatus::InvalidOperation},
      {"longestKeyAndRecord",
       le16(1536) + head.substr(2) + segment(1, 200, SegmentFlag::Continues) + segment(1281, 55, 0),
       RecordStatus::Success},
  };
  for (const Case& c : cases) {
    std::string path = dir.file(std::string(c.name) + ".dat");
    uint8_t block[RecordManagerPositionBlockSize] = {};
    std::string data = c.creation;
    int32_t length = int32_t(data.size());
    std::string key = path + '\0';
    EXPECT_EQ(recordManagerCall(RecordOp::Create, block, data.data(), &length, key.data(),
                                uint8_t(path.size()), RecordCreateMode::KeepExisting),
              c.status)
        << c.name;
    EXPECT_EQ(opens(path), c.status == RecordStatus::Success) << c.name;
  }
}

// The description files of the demo data, read as the module reads them: N, then N bytes of
// creation data passed space-filled to 1536 bytes.
struct DescriptionCase {
  const char* name;
  uint16_t recordLength;
  std::vector<std::vector<uint16_t>> segments;  // position, length, flags of each segment
};

TEST_P(RecordBadInput, DescriptionFilesCreateTheDemoFiles) {
  DescriptionCase cases[] = {
      {"FinquesV", 204, {{1, 2, 0}, {9, 30, SegmentFlag::Duplicates | SegmentFlag::Collated}}},
      {"DepartaV", 448, {{1, 4, 0}}},
      {"TVRebut", 32, {{1, 1, 0}}},
  };
  for (const DescriptionCase& c : cases) {
    std::string description = readAll(sourceDir() + "/dist/ddf/" + c.name + ".xdf");
    ASSERT_GE(description.size(), 2u) << c.name;
    size_t n = uint8_t(description[0]) | uint8_t(description[1]) << 8;
    ASSERT_EQ(description.size(), n + 2) << c.name;
    std::string path = dir.file(std::string(c.name) + ".dat");
    ASSERT_EQ(createFile(path, description.substr(2)), 0) << c.name;
    RecordFile file;
    ASSERT_EQ(file.open(path), 0);
    std::string stat;
    ASSERT_EQ(file.stat(stat), 0);
    EXPECT_EQ(stat, description.substr(2)) << c.name;
    EXPECT_EQ(stat.substr(0, 2), le16(c.recordLength)) << c.name;
    EXPECT_EQ(stat.substr(4, 2), le16(uint16_t(c.segments.size()))) << c.name;
    for (size_t s = 0; s < c.segments.size(); ++s)
      EXPECT_EQ(stat.substr(16 + 16 * s, 6),
                le16(c.segments[s][0]) + le16(c.segments[s][1]) + le16(c.segments[s][2]))
          << c.name << s;

    // Cut short inside what its headers announce (the module fills the rest with blanks),
    // the same description gives a status and no file.
    std::vector<size_t> cuts = {0, 10, 20};
    if (c.segments.size() > 1) cuts.insert(cuts.end(), {36, 48});  // second segment, collation
    for (size_t cut : cuts) {
      std::string truncated = dir.file(std::string(c.name) + "Cut.dat");
      EXPECT_NE(createFile(truncated, description.substr(2, cut)), 0) << c.name << cut;
      EXPECT_FALSE(opens(truncated)) << c.name << cut;
    }
  }
}

TEST_P(RecordBadInput, AddressKeyCollatesAccentsAndSmallLettersWithCapitals) {
  std::string description = readAll(sourceDir() + "/dist/ddf/FinquesV.xdf");
  std::string path = dir.file("FinquesV.dat");
  ASSERT_EQ(createFile(path, description.substr(2)), 0);
  RecordFile file;
  ASSERT_EQ(file.open(path), 0);
  // code page 850: \x85 a grave, \xB5 A acute, \x82 e acute, \xA4 n tilde, \x80 C cedilla
  const char* addresses[] = {"CAMI",
                             "\x85vila",
                             "avinguda",
                             "ESPANYA",
                             "Espa\xA4"
                             "a",
                             "\x80"
                             "ENTRE",
                             "Avila",
                             "\xB5vila",
                             "espanya"};
  for (size_t i = 0; i < std::size(addresses); ++i)
    ASSERT_EQ(file.insert(recordWith(
                  204, {{0, std::string{char(0x80), char(0x81 + i)}}, {8, addresses[i]}})),
              0);
  std::vector<std::string> order;
  for (const std::string& address : walk(file, 1, true, 8, 30))
    order.push_back(address.substr(0, address.find_last_not_of(' ') + 1));
  EXPECT_EQ(order, (std::vector<std::string>{"\x85vila", "Avila", "\xB5vila", "avinguda", "CAMI",
                                             "\x80"
                                             "ENTRE",
                                             "Espa\xA4"
                                             "a",  // ESPANA
                                             "ESPANYA", "espanya"}));
  ASSERT_EQ(file.read(RecordOp::GetEqual, 1, "AVILA" + std::string(25, ' ')), 0);
  EXPECT_EQ(file.data.substr(8, 5), "\x85vila");  // first of the equal keys
  EXPECT_EQ(file.key.substr(0, 5), "\x85vila");   // the key as stored, not its sort form
}

TEST_P(RecordBadInput, HighestPositionTakenUsesTheLowestFreeOne) {
  std::string path = goodFile(dir, "top.dat");
  if (dir.backend() == Backend::Files) {
    ASSERT_EQ(runSqlite(path,
                        "UPDATE records SET position=2147483647 WHERE position=2;"
                        " UPDATE key_0 SET position=2147483647 WHERE position=2"),
              0);
  } else {  // the position's sequence at its end
    ASSERT_EQ(dir.psql("UPDATE top SET position = 2147483647 WHERE position = 2;"
                       " SELECT setval(pg_get_serial_sequence('top', 'position'), 2147483647)"),
              "2147483647\n");
  }
  RecordFile file;
  ASSERT_EQ(file.open(path), 0);
  ASSERT_EQ(file.insert("30......"), 0);
  EXPECT_EQ(file.position(), 2u);
  ASSERT_EQ(file.getDirect(2147483647u, 0), 0);
  EXPECT_EQ(file.data, "20......");
  EXPECT_EQ(walk(file, 0, true, 0, 2), (std::vector<std::string>{"10", "20", "30"}));
}

INSTANTIATE_TEST_SUITE_P(Backends, RecordBadInput, BOTH_BACKENDS);

}  // namespace
