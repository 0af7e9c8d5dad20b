#include "platform/files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "paths.h"

namespace fs = std::filesystem;

TEST(ResolvePath, TurnsBackslashesIntoSlashesAndFindsComponentsWithoutRegardToCase) {
  TempDir dir;
  fs::create_directories(dir.file("forms/sub"));
  writeFileBytes(dir.file("forms/sub/hortelix.kpn"), "x");

  struct Case {
    std::string name, expected;
  } cases[] = {
      {dir.path() + "\\FORMS\\SUB\\HORTELIX.KPN", dir.file("forms/sub/hortelix.kpn")},
      {dir.path() + "/forms/sub/hortelix.kpn", dir.file("forms/sub/hortelix.kpn")},
      // Missing components are kept as written, so new files get the caller's name.
      {dir.path() + "\\Forms\\New.TMP", dir.file("forms/New.TMP")},
      {dir.path() + "\\NoDir\\x", dir.file("NoDir/x")},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(resolvePath(c.name), c.expected) << c.name;
}

TEST(ResolvePath, PrefersTheExactNameWhenSeveralMatch) {
  TempDir dir;
  // Made without the path layer, which would find "Data" for "data" as Windows does.
  std::ofstream(dir.file("Data")) << "upper";
  std::ofstream(dir.file("data")) << "lower";
  EXPECT_EQ(*readFileBytes(dir.path() + "\\data"), "lower");
  EXPECT_EQ(*readFileBytes(dir.path() + "\\Data"), "upper");
}

TEST(Files, ReadWriteAndRemove) {
  TempDir dir;
  std::string name = dir.path() + "\\f.bin";
  EXPECT_FALSE(readFileBytes(name).has_value());
  std::string bytes("a\0b\r\n\xff", 6);
  ASSERT_TRUE(writeFileBytes(name, bytes));
  EXPECT_EQ(*readFileBytes(name), bytes);
  EXPECT_TRUE(removeFile(name));
  EXPECT_FALSE(fileExists(name));
  EXPECT_FALSE(removeFile(name));
}
