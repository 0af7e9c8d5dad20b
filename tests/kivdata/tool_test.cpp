// The kivdata program as administrators and scripts run it, on record files in temporary
// directories.
#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "csv.h"
#include "demo_data.h"
#include "core/ini_file.h"
#include "paths.h"
#include "tool_runner.h"

namespace {

namespace fs = std::filesystem;

std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string fixture(const std::string& name) {
  return readFile(sourceDir() + "/tests/fixtures/kivdata/" + name);
}

std::string hex(const std::string& bytes) {
  std::string text;
  char pair[3];
  for (char c : bytes) {
    std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned char>(c));
    text += pair;
  }
  return text;
}

void put16(std::string& bytes, size_t at, int value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>((value >> 8) & 0xFF);
}

struct Segment {
  int position, length, flags;  // 1-based position
};

// A description file: the length of the creation data, then a 16-byte file specification
// (record length, page size, number of keys) and one 16-byte specification per key segment
// (position, length, flags: 0x04 binary, 0x10 more segments follow, 0x01 duplicates).
std::string descriptionFile(int recordLength, int keys, const std::vector<Segment>& segments) {
  std::string data(16 + 16 * segments.size(), '\0');
  put16(data, 0, recordLength);
  put16(data, 2, 4096);
  put16(data, 4, keys);
  for (size_t i = 0; i < segments.size(); ++i) {
    put16(data, 16 + 16 * i, segments[i].position);
    put16(data, 18 + 16 * i, segments[i].length);
    put16(data, 20 + 16 * i, segments[i].flags);
  }
  std::string file(2, '\0');
  put16(file, 0, static_cast<int>(data.size()));
  return file + data;
}

// A scratch directory with the description files of the three tables (packed codes sort as
// plain bytes: string keys) and of "pairs", a file of 8-byte records with a unique binary key 0
// (bytes 0-1) and a binary key 1 (bytes 4-5) allowing duplicates.
class KivdataTool : public testing::Test {
 protected:
  void SetUp() override {
    writeFile(dir.file("FinquesV.xdf"), descriptionFile(204, 1, {{1, 2, 0}}));
    writeFile(dir.file("DepartaV.xdf"), descriptionFile(448, 1, {{1, 4, 0}}));
    writeFile(dir.file("TVRebut.xdf"), descriptionFile(32, 1, {{1, 1, 0}}));
    writeFile(dir.file("pairs.xdf"), descriptionFile(8, 2, {{1, 2, 0x04}, {5, 2, 0x05}}));
  }

  ToolRun run(const std::vector<std::string>& arguments, const std::string& input = "") {
    return runTool(arguments, dir.path(), input);
  }

  void create(const std::string& name) {
    ToolRun created = run({"create", name, name + ".xdf"});
    ASSERT_EQ(created.exitCode, 0) << created.err;
  }

  std::string dump(const std::string& name, const std::vector<std::string>& options = {}) {
    std::vector<std::string> arguments = {"dump", name};
    arguments.insert(arguments.end(), options.begin(), options.end());
    ToolRun dumped = run(arguments);
    EXPECT_EQ(dumped.exitCode, 0) << dumped.err;
    return dumped.out;
  }

  TempDir dir;
};

const char* const kTables[][2] = {
    {"properties", "FinquesV"}, {"apartments", "DepartaV"}, {"concepts", "TVRebut"}};

TEST_F(KivdataTool, EveryCommandHasHelp) {
  std::string overview = run({"--help"}).out;
  for (const char* command : {"create", "stat", "load", "dump", "import", "export", "lock", "demo"}) {
    ToolRun help = run({command, "--help"});
    EXPECT_EQ(help.exitCode, 0) << command;
    EXPECT_EQ(help.out.rfind(std::string("usage: kivdata ") + command + " ", 0), 0u) << help.out;
    EXPECT_NE(overview.find(std::string("kivdata ") + command + " "), std::string::npos);
  }
}

TEST_F(KivdataTool, ImportThenExportGivesTheSameTable) {
  for (const auto& [table, file] : kTables) {
    SCOPED_TRACE(table);
    create(file);
    std::string csv = fixture(std::string(table) + ".csv");
    ToolRun imported = run({"import", table, file, "-"}, csv);
    ASSERT_EQ(imported.exitCode, 0) << imported.err;
    EXPECT_NE(imported.out.find("imported"), std::string::npos);
    ToolRun exported = run({"export", table, file});
    EXPECT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_EQ(exported.out, csv);
    ASSERT_EQ(run({"export", table, file, "out.csv"}).exitCode, 0);
    EXPECT_EQ(readFile(dir.file("out.csv")), csv);
  }
  // Text is stored in code page 850, blank-padded: the first property's address.
  std::string address = "C/ de Proven\x87" "a, 12";
  address.resize(30, ' ');
  EXPECT_EQ(dump("FinquesV").substr(0, 2 * 38), "8081000000000000" + hex(address));
}

TEST_F(KivdataTool, ImportTakesColumnsInAnyOrderAndLeavesMissingOnesEmpty) {
  create("DepartaV");
  ASSERT_EQ(run({"import", "apartments", "DepartaV", "-"},
                "amount2, apartment ,property\r\n-5,3,12\r\n")
                .exitCode,
            0);
  EXPECT_EQ(run({"export", "apartments", "DepartaV"}).out,
            fixture("apartments.csv").substr(0, fixture("apartments.csv").find('\n') + 1) +
                "12,3,,,0,0,-5,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0\n");
}

TEST_F(KivdataTool, LoadThenDumpInBothForms) {
  create("pairs");
  // Key 0 in bytes 0-1, key 1 in bytes 4-5.
  std::string hex = "0002AAAA0001BBBB\n0001CCCC0003DDDD\n0003EEEE0001FFFF\n";
  ToolRun loaded = run({"load", "pairs"}, hex);
  ASSERT_EQ(loaded.exitCode, 0) << loaded.err;
  EXPECT_EQ(loaded.out, "loaded 3 records into pairs.dat\n");
  EXPECT_EQ(dump("pairs"), "0001CCCC0003DDDD\n0002AAAA0001BBBB\n0003EEEE0001FFFF\n");
  EXPECT_EQ(dump("pairs", {"--key", "1"}), "0002AAAA0001BBBB\n0003EEEE0001FFFF\n0001CCCC0003DDDD\n");

  std::string seq = dump("pairs", {"--format", "seq"});
  EXPECT_EQ(seq.substr(0, 12), std::string("8,\0\x01\xCC\xCC\0\x03\xDD\xDD\r\n", 12));
  ASSERT_EQ(run({"create", "copy", "pairs.xdf"}).exitCode, 0);
  writeFile(dir.file("saved.seq"), seq + "\x1A");
  ToolRun reloaded = run({"load", "copy", "--format", "seq", "saved.seq"});
  ASSERT_EQ(reloaded.exitCode, 0) << reloaded.err;
  EXPECT_EQ(dump("copy"), dump("pairs"));
  ToolRun stat = run({"stat", "copy"});
  EXPECT_EQ(stat.out,
            "file: copy.dat\nrecord length: 8\nrecords: 3\nkeys: 2\n"
            "key 0: offset 0 length 2 binary, unique\n"
            "key 1: offset 4 length 2 binary, duplicates allowed\n");
}

TEST_F(KivdataTool, BadInputStopsWithItsPlaceAndStoresNothing) {
  for (const auto& [table, file] : kTables) create(file);
  create("pairs");
  ASSERT_EQ(run({"import", "properties", "FinquesV", "-"}, "code,address\n5,Existing\n").exitCode, 0);
  ASSERT_EQ(run({"load", "pairs"}, "0001000000000000\n").exitCode, 0);
  std::string long31(31, 'x');
  struct Case {
    std::vector<std::string> arguments;
    std::string input, message;
  } cases[] = {
      {{"import", "properties", "FinquesV", "in.csv"}, "code,address\n1,ok\n2," + long31 + "\n",
       "in.csv line 3, column 2 (address): text too long (31 characters, at most 30); nothing "
       "was imported into FinquesV.dat"},
      {{"import", "properties", "FinquesV", "in.csv"}, "code,address\n1,\"Pre\xC3\xA7:\n9 \xE2\x82\xAC\"\n",
       "in.csv line 2, column 2 (address): character 9 \"\xE2\x82\xAC\" (U+20AC) has no code in "
       "code page 850"},
      {{"import", "properties", "FinquesV", "in.csv"}, "code\n1\n10000\n",
       "in.csv line 3, column 1 (code): number 10000 out of range (0 to 9999)"},
      {{"import", "properties", "FinquesV", "in.csv"}, "address,code\nA,1\nB,2\nC,1\n",
       "in.csv line 4, column 2 (code): duplicate key"},
      {{"import", "properties", "FinquesV", "in.csv"}, "code\n1\n5\n",
       "in.csv line 3, column 1 (code): duplicate key"},
      {{"import", "apartments", "DepartaV", "in.csv"}, "property,apartment,amount1\n1,1,1.5\n",
       "in.csv line 2, column 3 (amount1): \"1.5\" is not a whole number"},
      {{"import", "apartments", "DepartaV", "in.csv"}, "property,apartment,tenant\n1,1,\n1,2,-3\n",
       "in.csv line 3, column 3 (tenant): number -3 out of range (0 to 99999999)"},
      {{"import", "concepts", "TVRebut", "in.csv"}, "code,name\n1,a\n\n2,b,c\n",
       "in.csv line 4: 3 fields, the header has 2"},
      {{"import", "concepts", "TVRebut", "in.csv"}, "code,nom\n1,a\n",
       "in.csv line 1, column 2: unknown column \"nom\"; the columns of concepts are code, name, kind"},
      {{"import", "concepts", "TVRebut", "in.csv"}, "name,kind,name\n",
       "in.csv line 1, column 3: column \"name\" given twice"},
      {{"import", "apartments", "DepartaV", "in.csv"}, "property,tenant\n1,2\n",
       "in.csv line 1: the key column \"apartment\" is missing"},
      {{"import", "concepts", "TVRebut", "in.csv"}, "code,name\n1,\"open\n",
       "in.csv line 2: quoted field not closed"},
      {{"import", "concepts", "TVRebut", "in.csv"}, "code,name\n1,\xC3\n",
       "in.csv line 2, column 2 (name): not valid UTF-8 at character 1"},
      {{"import", "concepts", "TVRebut", "in.csv"}, "", "in.csv is empty: no header row"},
      {{"import", "concepts", "TVRebut", "absent.csv"}, "", "cannot read absent.csv"},
      {{"import", "concepts", "absent", "in.csv"}, "code\n1\n",
       "cannot open absent.dat: file not found (status 12)"},
      {{"import", "apartments", "pairs", "in.csv"}, "property,apartment\n1,1\n",
       "pairs.dat is not a file of apartments: its key 0 has 2 bytes, the key of apartments 4"},
      {{"import", "properties", "pairs", "in.csv"}, "code\n1\n",
       "pairs.dat has records of 8 bytes; properties need at least"},
      {{"export", "properties", "DepartaV", "out.csv"}, "",
       "DepartaV.dat is not a file of properties: its key 0 has 4 bytes, the key of properties 2"},
      {{"load", "pairs", "in.hex"}, "0002000000000000\n\n00030000000000G0\n",
       "in.hex line 3, column 15: \"G\" is not a hexadecimal digit; nothing was loaded into pairs.dat"},
      {{"load", "pairs", "in.hex"}, "0002000000000000\n00030000000000\n",
       "in.hex line 2: invalid record length (status 28)"},
      {{"load", "pairs", "in.hex"}, "0002000000000000\n0001000000000000\n",
       "in.hex line 2: duplicate key (status 5)"},
      {{"load", "pairs", "--format", "seq", "in.hex"}, std::string("8,\0\x02\0\0\0\0\0\0\r\n8,abc", 17),
       "in.hex record 2 (byte 12): the input ends after 3 of 8 bytes"},
      {{"create", "pairs", "pairs.xdf"}, "", "cannot create pairs.dat: file already exists (status 59)"},
      {{"create", "other", "in.hex"}, std::string("\x30\x00\x01", 3), "description file in.hex announces 48 bytes "
                                                      "of creation data but holds 1"},
      {{"dump", "pairs", "--key", "2"}, "", "cannot read pairs.dat by key 2: no such key (status 6)"},
      {{"stat", "nothing/here"}, "", "cannot open nothing/here.dat: file not found (status 12)"},
  };
  std::vector<std::string> before;
  for (const char* file : {"FinquesV", "DepartaV", "TVRebut", "pairs"}) before.push_back(dump(file));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    writeFile(dir.file("in.csv"), c.input);
    writeFile(dir.file("in.hex"), c.input);
    ToolRun failed = run(c.arguments);
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_NE(failed.err.find(c.message), std::string::npos) << failed.err;
    EXPECT_EQ(failed.err.rfind("kivdata " + c.arguments[0] + ": ", 0), 0u) << failed.err;
    std::vector<std::string> after;
    for (const char* file : {"FinquesV", "DepartaV", "TVRebut", "pairs"}) after.push_back(dump(file));
    EXPECT_EQ(after, before);
  }
}

TEST_F(KivdataTool, WrongUsageExitsWithTwo) {
  struct Case {
    std::vector<std::string> arguments;
    std::string message;
  } cases[] = {
      {{}, "usage: kivdata COMMAND"},
      {{"frobnicate"}, "unknown command \"frobnicate\""},
      {{"create", "x"}, "kivdata create: missing arguments\nusage: kivdata create FILE DESCRIPTION"},
      {{"stat", "a", "b"}, "unexpected argument b"},
      {{"load", "x", "--format", "csv"}, "--format must be hex or seq, not \"csv\""},
      {{"dump", "x", "--key", "one"}, "--key must be a whole number from 0 to 63, not \"one\""},
      {{"import", "tenants", "x", "y"}, "unknown table \"tenants\" (properties, apartments or concepts)"},
      {{"export", "apartments", "x", "--sheet", "1"}, "unknown option --sheet"},
      {{"lock", "x"}, "--seconds is required"},
      {{"lock", "x", "--seconds", "5", "--record", "0"}, "--record must be a whole number from 1"},
      {{"demo", "d", "--date", "20230229"}, "--date must be a date written YYYYMMDD, not \"20230229\""},
      {{"demo", "d", "--vacant", "101"}, "--vacant must be a whole number from 0 to 100"},
  };
  for (const Case& c : cases) {
    ToolRun wrong = run(c.arguments);
    EXPECT_EQ(wrong.exitCode, 2) << c.message;
    EXPECT_NE(wrong.err.find(c.message), std::string::npos) << wrong.err;
  }
  EXPECT_FALSE(fs::exists(dir.file("d")));
}

// Records of the pairs file with keys first .. first + count - 1, in hex.
std::string pairRecords(int first, int count) {
  std::string hex;
  char line[32];
  for (int i = first; i < first + count; ++i) {
    std::snprintf(line, sizeof line, "%04X0000%04X0000\n", i, i % 7);
    hex += line;
  }
  return hex;
}

TEST_F(KivdataTool, KilledLoadLeavesAllRecordsOrNone) {
  create("pairs");
  ASSERT_EQ(run({"load", "pairs"}, pairRecords(0, 5)).exitCode, 0);
  const std::string kept = dump("pairs");

  // Killed while the transaction is open: more input than the pipe holds has gone in, so
  // the loader has taken thousands of records and is waiting for the rest.
  {
    BackgroundTool loader({"load", "pairs"}, dir.path());
    ASSERT_TRUE(loader.write(pairRecords(100, 30000)));
    EXPECT_EQ(loader.stop(SIGKILL), -1);
  }
  EXPECT_EQ(dump("pairs"), kept);

  // Killed around the commit: whatever the moment, the file holds all of it or none.
  std::string big = pairRecords(100, 40000);
  for (int delayMs : {0, 20, 60, 150}) {
    BackgroundTool loader({"load", "pairs"}, dir.path());
    ASSERT_TRUE(loader.write(big));
    loader.closeInput();
    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    int exitCode = loader.stop(SIGKILL);
    ToolRun stat = run({"stat", "pairs"});
    ASSERT_EQ(stat.exitCode, 0) << stat.err;
    std::string now = dump("pairs");
    if (exitCode == 0) {
      EXPECT_EQ(now.size(), kept.size() + big.size()) << "finished load before the kill";
      break;
    }
    EXPECT_TRUE(now == kept || now.size() == kept.size() + big.size())
        << "after a kill at " << delayMs << " ms the file holds " << now.size() / 17 << " records";
    if (now != kept) break;
  }
}

TEST_F(KivdataTool, LockHoldsTheFileOrOneRecord) {
  create("pairs");
  ASSERT_EQ(run({"load", "pairs"}, pairRecords(1, 3)).exitCode, 0);
  {
    BackgroundTool holder({"lock", "pairs", "--seconds", "60"}, dir.path());
    ASSERT_TRUE(holder.waitForOutput("locked pairs.dat for 60 seconds\n", 60));
    ToolRun refused = run({"load", "pairs"}, pairRecords(10, 1));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("file locked by another process (status 85)"), std::string::npos)
        << refused.err;
    holder.stop(SIGTERM);
  }
  EXPECT_EQ(run({"load", "pairs"}, pairRecords(10, 1)).exitCode, 0);
  {
    BackgroundTool holder({"lock", "pairs", "--record", "2", "--seconds", "60"}, dir.path());
    ASSERT_TRUE(holder.waitForOutput("locked record 2 of pairs.dat for 60 seconds\n", 60));
    ToolRun same = run({"lock", "pairs", "--record", "2", "--seconds", "0"});
    EXPECT_EQ(same.exitCode, 1);
    EXPECT_NE(same.err.find("record locked by another process (status 84)"), std::string::npos)
        << same.err;
    EXPECT_EQ(run({"lock", "pairs", "--record", "3", "--seconds", "0"}).exitCode, 0);
    EXPECT_EQ(run({"load", "pairs"}, pairRecords(20, 1)).exitCode, 0);
  }
  EXPECT_EQ(run({"lock", "pairs", "--record", "2", "--seconds", "0"}).exitCode, 0);
}

// An installation whose Quon.ini names a database server nobody answers at: every command
// on its record files says so, and stores nothing anywhere.
TEST_F(KivdataTool, UnreachableServerIsNamedAsSuch) {
  fs::create_directory(dir.file("DADES"));
  writeFile(dir.file("Quon.ini"),
            "[Dades]\r\nServidor=host=127.0.0.1 port=1 connect_timeout=2\r\n");
  for (const std::vector<std::string>& command :
       {std::vector<std::string>{"stat", "DADES/pairs"},
        std::vector<std::string>{"create", "DADES/pairs", "pairs.xdf"}}) {
    ToolRun refused = run(command);
    EXPECT_EQ(refused.exitCode, 1) << command[0];
    EXPECT_NE(refused.err.find("database server unreachable (status 20)"), std::string::npos)
        << refused.err;
  }
  EXPECT_TRUE(fs::is_empty(dir.file("DADES")));
}

// The CSV that `export` gives for rows of a table.
std::string csvTable(const std::string& table, const std::vector<FieldValues>& rows) {
  std::string text = csvLine(findTableLayout(table)->columns());
  for (const FieldValues& row : rows) text += csvLine(row);
  return text;
}

TEST_F(KivdataTool, DemoMakesAWholeInstallation) {
  ToolRun made = run({"demo", "inst", "--properties", "12", "--apartments-per-property", "5",
                      "--vacant", "20", "--seed", "7", "--date", "20240229"});
  ASSERT_EQ(made.exitCode, 0) << made.err;
  EXPECT_EQ(made.out, "made the demo installation inst: 12 properties, 60 apartments (12 vacant), "
                      "15 receipt concepts\n");
  std::string root = dir.file("inst") + "/";

  // Every file of dist/ is there as it is.
  const fs::path dist = sourceDir() + "/dist";
  size_t copied = 0;
  for (const auto& entry : fs::recursive_directory_iterator(dist)) {
    if (!entry.is_regular_file()) continue;
    std::string relative = fs::relative(entry.path(), dist).string();
    EXPECT_EQ(readFile(root + relative), readFile(entry.path().string())) << relative;
    ++copied;
  }
  EXPECT_GE(copied, 3u);

  // The record files hold exactly the generated data, in key order.
  DemoTables tables = makeDemoTables({12, 5, 20, 7});
  const std::vector<FieldValues>* rows[] = {&tables.properties, &tables.apartments,
                                            &tables.concepts};
  for (size_t t = 0; t < 3; ++t) {
    ToolRun exported = run({"export", kTables[t][0], std::string("inst/DADES/") + kTables[t][1]});
    EXPECT_EQ(exported.exitCode, 0) << exported.err;
    EXPECT_EQ(exported.out, csvTable(kTables[t][0], *rows[t]));
  }

  struct Setting {
    std::string file, section, key, value;
  } settings[] = {
      {"Quon.ini", "Usuari", "Idioma", "CAT"},
      {"Quon.ini", "Usuari", "DatCaracter", "/"},
      {"Quon.ini", "Usuari", "DatOrdre", "DMA"},
      {"Quon.ini", "Usuari", "DecCaracter", ","},
      {"Quon.ini", "Usuari", "MilCaracter", "."},
      {"Quon.ini", "Empresa", "Nom", "Administraci\xA2 de Finques Hortal, S.L."},
      {"SESSIO/Sessio.ini", "Menu", "Titol", "LLISTAT DE DEPARTAMENTS BUITS"},
      {"SESSIO/Sessio.ini", "Terminal", "Dir", "SESSIO\\"},
      {"SESSIO/QuonTerm.ini", "Pantalla", "Seleccio", "0"},
      {"SESSIO/QuonTerm.ini", "Pantalla", "Col0", "15011401000715040003"},
      {"SESSIO/QuonTerm.ini", "Sistema", "Data", "20240229"},
      {"SESSIO/QuonTerm.ini", "Sistema", "Sortida", ""},
      {"SESSIO/QuonTerm.ini", "Sistema", "Idioma", "CAT"},
  };
  for (const Setting& setting : settings)
    EXPECT_EQ(readIniValue(root + setting.file, setting.section, setting.key), setting.value)
        << setting.file << " " << setting.key;
  EXPECT_NE(readIniValue(root + "SESSIO/Sessio.ini", "Menu", "NomMenu"), "");
  EXPECT_NE(readFile(root + "Quon.ini").find("[Usuari]\r\nIdioma=CAT\r\n"), std::string::npos);

  // A directory that is not empty is left alone.
  ToolRun again = run({"demo", "inst"});
  EXPECT_EQ(again.exitCode, 1);
  EXPECT_NE(again.err.find("inst exists and is not an empty directory"), std::string::npos);
  EXPECT_EQ(run({"export", "concepts", "inst/DADES/TVRebut"}).out,
            csvTable("concepts", tables.concepts));
}

}  // namespace
