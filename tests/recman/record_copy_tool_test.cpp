// kivdata copy: an installation's record files from a directory onto the server and back.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "record_file_fixture.h"

namespace {

// kivdata with its arguments: what it wrote (both streams) and "exit=N".
std::string kivdata(const std::vector<std::string>& arguments) {
  std::string command = shellQuoted(programPath("kivdata"));
  for (const std::string& argument : arguments) command += " " + shellQuoted(argument);
  return shell(command + " 2>&1; echo exit=$?");
}

class CopyTool : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(server.ready()) << server.problem(); }
  void TearDown() override { EXPECT_EQ(resetRecordManager(), 0); }

  // A record file of `records` 8-byte records "NN......" in directory `dir`.
  void makeFile(const std::string& path, int records) {
    ASSERT_EQ(createFile(path, creationData(8, {{{1, 2, 0}}})), 0);
    RecordFile file;
    ASSERT_EQ(file.open(path), 0);
    for (int i = 10; i < 10 + records; ++i) ASSERT_EQ(file.insert(std::to_string(i) + "......"), 0);
    ASSERT_EQ(file.close(), 0);
  }
  std::vector<std::string> records(const std::string& path) {
    RecordFile file;
    EXPECT_EQ(file.open(path), 0) << path;
    std::vector<std::string> all = walk(file, 0, true, 0, 8);
    file.close();
    return all;
  }

  TestInstallation server{Backend::Server};
  TestInstallation files{Backend::Files};
};

TEST_F(CopyTool, MovesEveryRecordFileOntoTheServerAndBack) {
  makeFile(files.file("DepartaV.dat"), 5);
  makeFile(files.file("TVRebut.dat"), 2);
  std::ofstream(files.file("notes.dat")) << "not a record file";
  std::string dades = files.root() + "/DADES";

  EXPECT_EQ(kivdata({"copy", dades, server.server()}),
            "copied DepartaV: 5 records\ncopied TVRebut: 2 records\nskipped " + dades +
                "/notes.dat: not a record file\ncopied 2 record files\nexit=0\n");
  EXPECT_EQ(records(server.file("DepartaV")), records(files.file("DepartaV.dat")));
  EXPECT_EQ(records(server.file("TVRebut")).size(), 2u);

  // What the server holds already stops the copy, unless it may be replaced.
  std::string again = kivdata({"copy", dades, server.server()});
  EXPECT_NE(again.find("file already exists (status 59); nothing was copied"), std::string::npos)
      << again;
  EXPECT_NE(again.find("exit=1"), std::string::npos);
  EXPECT_NE(kivdata({"copy", dades, server.server(), "--existing", "replace"}).find("exit=0"),
            std::string::npos);

  TempDir back;
  EXPECT_EQ(
      kivdata({"copy", server.server(), back.path()}),
      "copied DepartaV: 5 records\ncopied TVRebut: 2 records\ncopied 2 record files\nexit=0\n");
  EXPECT_EQ(records(back.file("DepartaV.dat")), records(files.file("DepartaV.dat")));
}

TEST_F(CopyTool, SaysWhatIsWrongWithItsArguments) {
  struct Case {
    std::vector<std::string> arguments;
    std::string said;
  } cases[] = {
      {{"copy", files.root()}, "exit=2"},
      {{"copy", files.root(), files.root() + "/none"}, "is neither a directory nor a connection"},
      {{"copy", files.root(), files.root(), "--existing", "sometimes"}, "must be keep or replace"},
      {{"copy", "host=127.0.0.1 port=1 dbname=kiv", files.root()},
       "database server unreachable (status 20)"},
      {{"copy", files.root(), files.root() + "/."}, "FROM and TO are the same record files"},
  };
  for (const Case& c : cases) {
    std::string said = kivdata(c.arguments);
    EXPECT_NE(said.find(c.said), std::string::npos) << said;
    EXPECT_EQ(said.find("exit=0"), std::string::npos) << said;
  }
}

}  // namespace
