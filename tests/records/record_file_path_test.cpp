#include <gtest/gtest.h>

#include "core/session_settings.h"
#include "records/record_file_table.h"

namespace {

struct PathCase {
  const char* name;
  const char* path;
  const char* baseName;
};

TEST(RecordFilePath, ExtensionDirectoryAndBaseName) {
  const PathCase cases[] = {
      {"C:\\APP\\DADES\\FinquesV", "C:\\APP\\DADES\\FinquesV.dat", "FinquesV"},
      {"FinquesV", "FinquesV.dat", "FinquesV"},
      {"DADES\\x.y\\FinquesV", "DADES\\x.y\\FinquesV.dat", "FinquesV"},
      {"A\\b.c.d", "A\\b.c.d", "b"},
      {"DADES/Finques.BTR", "DADES/Finques.BTR", "Finques"},
      {"C:FinquesV", "C:FinquesV.dat", "FinquesV"},
      {"DADES\\", "DADES\\.dat", ""},
      {".hidden", ".hidden", ""},
  };
  for (const PathCase& c : cases) {
    RecordFilePath split = splitRecordFilePath(c.name);
    EXPECT_EQ(split.path(), c.path) << c.name;
    EXPECT_EQ(split.baseName, c.baseName) << c.name;
  }
}

TEST(RecordFilePath, DescriptionFileLiesUnderTheRootWhateverTheFilesDirectory) {
  resetSessionSettings();
  sessionSettings.rootDir = "C:\\KIV\\";
  EXPECT_EQ(descriptionFilePath("C:\\KIV\\DADES\\FinquesV"), "C:\\KIV\\ddf\\FinquesV.xdf");
  EXPECT_EQ(descriptionFilePath("D:\\OTHER\\PLACE\\DepartaV.dat"), "C:\\KIV\\ddf\\DepartaV.xdf");
  sessionSettings.rootDir = "";
  EXPECT_EQ(descriptionFilePath("TVRebut"), "ddf\\TVRebut.xdf");
  resetSessionSettings();
}

}  // namespace
