#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "core/session_settings.h"
#include "platform/files.h"
#include "record_test_support.h"
#include "records/module_record_files.h"
#include "records/record_file_messages.h"
#include "records/record_file_table.h"
#include "records/record_layouts.h"
#include "recman/record_manager.h"
#include "ui/window_stack.h"

namespace {

// 40-byte records; key 0 two bytes of text, key 1 a 4-byte binary segment and 6 of text.
FileLayout smallLayout() {
  return makeLayout(40, {{{0, 2, 0}}, {{2, 4, SegmentFlag::Binary}, {10, 6, 0}}});
}

using RecordFileTableTest = RecordFilesTest;

TEST_F(RecordFileTableTest, SlotsAreTakenFromTheTopUntilNoneIsFree) {
  writeDescription("Small", smallLayout());
  std::array<std::array<uint8_t, 40>, 42> buffers{};
  EXPECT_EQ(findRecordFile(0), 1) << "file id 0 matches the first free slot";
  EXPECT_EQ(open(0, "Small", buffers[0]), RecordStatusFileIdInUse);

  for (int16_t id = 1; id <= RecordFileSlotCount; ++id) {
    ASSERT_EQ(open(id, "Small", buffers[id]), 0) << id;
    EXPECT_EQ(findRecordFile(id), RecordFileSlotCount + 1 - id) << id;
  }

  RecordFileSlot before = recordFileTable.slots[40];
  EXPECT_EQ(open(1, "Other", buffers[41]), RecordStatusFileIdInUse);
  const RecordFileSlot& after = recordFileTable.slots[40];
  EXPECT_EQ(after.fileId, 1);
  EXPECT_EQ(after.positionBlock, before.positionBlock);
  EXPECT_EQ(after.recordBuffer.data(), buffers[1].data());
  EXPECT_FALSE(fileExists(rootDir() + "DADES/Other.dat"));

  EXPECT_EQ(findRecordFile(41), 0);
  EXPECT_EQ(open(41, "Small", buffers[41]), RecordStatusNoFreeSlot);
  EXPECT_EQ(findRecordFile(41), 0);

  int16_t status = -1;
  resetRecordFiles(status);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(findRecordFile(1), -RecordFileSlotCount) << "every slot free again";
}

TEST_F(RecordFileTableTest, MissingFileIsCreatedFromTheRootsDescriptionFile) {
  writeDescription("Small", smallLayout());
  std::filesystem::create_directories(root.path() + "/elsewhere/x.y");
  std::array<uint8_t, 40> buffer{};
  int16_t status = -1;
  openRecordFile(9, rootDir() + "elsewhere\\x.y\\Small", buffer, status);
  ASSERT_EQ(status, 0);
  EXPECT_TRUE(fileExists(rootDir() + "elsewhere/x.y/Small.dat"));
  EXPECT_FALSE(fileExists(rootDir() + "DADES/Small.dat"));

  const RecordFileSlot& slot = recordFileTable.slots[40];
  EXPECT_EQ(slot.fileId, 9);
  EXPECT_EQ(slot.recordLength, 40);
  EXPECT_EQ(slot.keyNumber, 0);
  EXPECT_EQ(slot.keyValue, std::string(2, '\0'));
  EXPECT_EQ(slot.lockMode, 0);
  EXPECT_EQ(slot.recordBuffer.data(), buffer.data());

  // A name with its own extension keeps it.
  openRecordFile(10, rootDir() + "elsewhere\\Small.btr", buffer, status);
  EXPECT_EQ(status, 0);
  EXPECT_TRUE(fileExists(rootDir() + "elsewhere/Small.btr"));

  // An existing file is opened as it is: its description file is no longer needed.
  resetRecordFiles(status);
  ASSERT_EQ(status, 0);
  ASSERT_TRUE(removeFile(rootDir() + "ddf/Small.xdf"));
  openRecordFile(9, rootDir() + "elsewhere\\x.y\\Small", buffer, status);
  EXPECT_EQ(status, 0);
}

TEST_F(RecordFileTableTest, StatKeyLengthSumsTheSegmentsOfTheKey) {
  writeDescription("Small", smallLayout());
  std::array<uint8_t, 40> buffer{};
  ASSERT_EQ(open(5, "Small", buffer), 0);
  const struct {
    int16_t fileId, keyNumber, keyLength;
    int32_t recordLength;
  } cases[] = {
      {5, 0, 2, 40}, {5, 1, 10, 40}, {5, 2, 0, 40}, {5, -1, 0, 40}, {6, 0, 0, 0},
  };
  for (const auto& c : cases) {
    int16_t keyLength = -1;
    int32_t recordLength = -1;
    statKeyLength(c.fileId, c.keyNumber, keyLength, recordLength);
    EXPECT_EQ(keyLength, c.keyLength) << c.fileId << " key " << c.keyNumber;
    EXPECT_EQ(recordLength, c.recordLength) << c.fileId << " key " << c.keyNumber;
  }
}

TEST_F(RecordFileTableTest, DescriptionAnnouncingMoreThanTheDataBufferPassesOnlyWhatFits) {
  std::string bytes = descriptionBytes(smallLayout());
  int16_t announced = 20000;
  std::memcpy(bytes.data(), &announced, 2);
  bytes.resize(2 + 20000, 'Z');
  writeDescription("Small", bytes);
  std::array<uint8_t, 40> buffer{};
  EXPECT_EQ(open(5, "Small", buffer), 0);
  EXPECT_EQ(recordFileTable.slots[40].recordLength, 40);
}

TEST_F(RecordFileTableTest, ModuleFilesOpenInOrderFromTheInstalledDescriptions) {
  for (const char* name : {"FinquesV", "DepartaV", "TVRebut"}) copyInstalledDescription(name);
  openModuleRecordFiles();
  const struct {
    int16_t fileId, slot;
    const uint8_t* variable;
    size_t size;
  } files[] = {
      {506, 40, propertyRecord.bytes.data(), propertyRecord.bytes.size()},
      {507, 39, apartmentRecord.bytes.data(), apartmentRecord.bytes.size()},
      {503, 38, conceptRecord.bytes.data(), conceptRecord.bytes.size()},
  };
  for (const auto& f : files) {
    ASSERT_EQ(findRecordFile(f.fileId), f.slot) << f.fileId;
    const RecordFileSlot& slot = recordFileTable.slots[f.slot];
    EXPECT_EQ(slot.recordBuffer.data(), f.variable) << f.fileId;
    EXPECT_GT(slot.recordLength, 0) << f.fileId;
    EXPECT_LE(static_cast<size_t>(slot.recordLength), f.size) << f.fileId;
  }
  EXPECT_TRUE(fileExists(rootDir() + "DADES/FinquesV.dat"));
  EXPECT_TRUE(fileExists(rootDir() + "DADES/DepartaV.dat"));
  EXPECT_TRUE(fileExists(rootDir() + "DADES/TVRebut.dat"));
}

// The fatal path runs in a child: it ends the process.

struct FatalRun {
  int fd = -1;
  MemoryConsole* screen = nullptr;
  bool seen = false;
};
FatalRun fatalRun;

void reportWhatIsLeftAtExit() {
  std::string out = "END suspends=" + std::to_string(fatalRun.screen->suspendCount()) +
                    " slot=" + std::to_string(findRecordFile(507)) + "\n" +
                    fatalRun.screen->screenText() + "\n";
  writeAll(fatalRun.fd, out);
}

// Opens 507 (a good file), then `name` as 506, which must fail; what the screen showed while
// the key was awaited, and what was left at the end, come back through the pipe.
ChildOutcome openFailingFile(MemoryConsole& screen, const std::string& root,
                             const std::string& name) {
  return runInChild([&](int fd) {
    fatalRun = {fd, &screen, false};
    std::array<uint8_t, 40> good{};
    int16_t status = -1;
    openRecordFile(507, root + "DADES\\Small", good, status);
    if (status != 0) return;
    setPlainFileCloser([] { writeAll(fatalRun.fd, "PLAIN FILES CLOSED\n"); });
    screen.pushChars("x");  // typed before the message: must not answer it
    screen.setIdleHandler([](MemoryConsole& console) {
      if (fatalRun.seen) return;
      fatalRun.seen = true;
      writeAll(fatalRun.fd, "WAIT beeps=" + std::to_string(console.beepCount()) +
                                " top=" + std::to_string(windowBox.windowTop) + "\n" +
                                console.screenText() + "\n");
      console.pushKey(13);
    });
    std::atexit(reportWhatIsLeftAtExit);
    openRecordFile(506, name, propertyRecord.bytes, status);
    writeAll(fd, "RETURNED\n");
  });
}

TEST_F(RecordFileTableTest, UnopenableFileShowsItsMessageInTheSessionLanguageAndEndsTheRun) {
  writeDescription("Small", smallLayout());
  ASSERT_TRUE(writeFileBytes(rootDir() + "DADES/FinquesV.dat", "not a record file at all"));
  const std::string name = rootDir() + "DADES\\FinquesV";
  const struct {
    const char* language;
    std::string text;
  } cases[] = {
      {"CAT", "NO ES POT ACCEDIR AL FITXER " + name + " (30)"},
      {"   ", "NO ES POT ACCEDIR AL FITXER " + name + " (30)"},
      {"SPA", "NO SE PUEDE ACCEDER AL FICHERO " + name + " (30)"},
      {"GLG", "NOM SE PODE ACEDER AO FICHEIRO " + name + " (30)"},
      {"OCI", "NON SE P\xE3T ACCEDIR ATH FICH\xD4R " + name + " (30)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.language);
    sessionSettings.languageCode = c.language;
    EXPECT_EQ(recordFileOpenFailureText(name, 30), c.text);

    ChildOutcome outcome = openFailingFile(screen, rootDir(), name);
    EXPECT_EQ(outcome.exitCode, 0);
    const std::string& out = outcome.output;
    // A one-line message window centred on row 12 spans rows 9 to 11.
    size_t wait = out.find("WAIT beeps=1 top=9\n");
    size_t plain = out.find("PLAIN FILES CLOSED\n");
    size_t end = out.find("END suspends=1 slot=-40\n");
    ASSERT_NE(wait, std::string::npos) << out;
    ASSERT_NE(plain, std::string::npos) << out;
    ASSERT_NE(end, std::string::npos) << out;
    EXPECT_LT(wait, plain);
    EXPECT_LT(plain, end);
    // The text stands in the window while the key is awaited; afterwards the window is gone.
    EXPECT_NE(out.substr(wait, plain - wait).find(c.text), std::string::npos) << out;
    EXPECT_EQ(out.substr(end).find("ACCEDIR"), std::string::npos);
    EXPECT_EQ(out.substr(end).find("ACCEDER"), std::string::npos);
    EXPECT_EQ(out.find("RETURNED"), std::string::npos);
  }
}

TEST_F(RecordFileTableTest, OverlongPathIsAnOpenFailureNotAnOverrun) {
  writeDescription("Small", smallLayout());
  std::string directory = rootDir() + "DADES\\";
  // 256 bytes with ".dat": one more than the key buffer holds with its ending zero.
  std::string name = directory + std::string(256 - directory.size() - 4, 'P');
  sessionSettings.languageCode = "CAT";
  ChildOutcome outcome = openFailingFile(screen, rootDir(), name);
  EXPECT_EQ(outcome.exitCode, 0);
  EXPECT_NE(outcome.output.find("WAIT beeps=1"), std::string::npos) << outcome.output;
  EXPECT_NE(outcome.output.find("(1005)"), std::string::npos) << outcome.output;
  EXPECT_EQ(outcome.output.find("RETURNED"), std::string::npos);
}

TEST_F(RecordFileTableTest, PathOfExactlyTheLimitStillOpens) {
  writeDescription("Small", smallLayout());
  std::string directory = rootDir() + "DADES\\";
  // 255 bytes with ".dat": the longest path the key buffer holds with its ending zero.
  std::string base(255 - directory.size() - 4, 'L');
  ASSERT_LT(base.size(), 256u);
  writeDescription(base, smallLayout());
  std::array<uint8_t, 40> buffer{};
  int16_t status = -1;
  openRecordFile(5, directory + base, buffer, status);
  EXPECT_EQ(status, 0);
}

}  // namespace
