// Record fields as CSV values, and the made-up data of the demo installation.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "demo_data.h"
#include "field_layouts.h"

namespace {

using namespace std::string_literals;

const TableLayout& layout(const std::string& name) { return *findTableLayout(name); }

// The values of a row given by column name; the others empty.
FieldValues row(const TableLayout& table, const std::map<std::string, std::string>& cells) {
  FieldValues values(table.fields.size());
  for (const auto& [column, text] : cells) {
    int index = table.columnIndex(column);
    EXPECT_GE(index, 0) << column;
    values.at(index) = text;
  }
  return values;
}

std::string bytesAt(const std::string& record, int offset, int width) {
  return record.substr(offset, width);
}

TEST(FieldLayouts, PackedDigits) {
  EXPECT_EQ(packDecimal(1234, 2), "\x8C\xA2");
  EXPECT_EQ(packDecimal(0, 4), "\x80\x80\x80\x80");
  EXPECT_EQ(packDecimal(99999999, 4), "\xE3\xE3\xE3\xE3");
  long long number = -1;
  EXPECT_TRUE(unpackDecimal("\x80\x87", number));
  EXPECT_EQ(number, 7);
  EXPECT_FALSE(unpackDecimal(std::string("\x80\0", 2), number));
  EXPECT_FALSE(unpackDecimal("\xE4", number));  // 0x80 + 100
}

TEST(FieldLayouts, ApartmentFieldsLandAtTheirOffsets) {
  const TableLayout& apartments = layout("apartments");
  FieldValues values = row(apartments, {{"property", "12"}, {"apartment", "305"},
                                        {"designation", "\xC3\x80tic 1a"},
                                        {"own_address", "C/ Major, 3"},
                                        {"tenant", "1234567"},
                                        {"amount1", "65000"}, {"amount10", "-1"},
                                        {"extra1_code", "11"}, {"extra1_amount", "2147483647"},
                                        {"extra3_code", "-32768"}, {"extra3_amount", "-2147483648"},
                                        {"last_code", "30"}, {"last_amount", "-2500"}});
  std::string record, problem;
  int failed = -1;
  ASSERT_TRUE(encodeRecord(apartments, values, 448, record, failed, problem)) << problem;
  ASSERT_EQ(record.size(), 448u);
  EXPECT_EQ(bytesAt(record, 0, 4), "\x80\x8C\x83\x85");
  EXPECT_EQ(bytesAt(record, 38, 10), "\xB7tic 1a   ");
  EXPECT_EQ(bytesAt(record, 98, 30), "C/ Major, 3                   ");
  EXPECT_EQ(bytesAt(record, 189, 4), "\x81\x97\xAD\xC3");
  EXPECT_EQ(bytesAt(record, 277, 4), std::string("\xE8\xFD\0\0", 4));
  EXPECT_EQ(bytesAt(record, 313, 4), "\xFF\xFF\xFF\xFF");
  EXPECT_EQ(bytesAt(record, 317, 6), "\x0B\0\xFF\xFF\xFF\x7F"s);
  EXPECT_EQ(bytesAt(record, 329, 6), "\0\x80\0\0\0\x80"s);
  // The last entry: code, two unused bytes, then the amount.
  EXPECT_EQ(bytesAt(record, 335, 8), "\x1E\0\0\0\x3C\xF6\xFF\xFF"s);
  EXPECT_EQ(bytesAt(record, 343, 105), std::string(105, '\0'));

  FieldValues back;
  ASSERT_TRUE(decodeRecord(apartments, record, back, problem)) << problem;
  FieldValues expected = values;
  for (std::string& value : expected)
    if (value.empty()) value = "0";
  expected[apartments.columnIndex("designation")] = "\xC3\x80tic 1a";
  EXPECT_EQ(back, expected);
}

TEST(FieldLayouts, EmptyValuesAreBlanksZeroAndTheVacantTenant) {
  const TableLayout& apartments = layout("apartments");
  std::string record, problem;
  int failed = -1;
  ASSERT_TRUE(encodeRecord(apartments, row(apartments, {{"property", "1"}, {"apartment", "2"}}),
                           448, record, failed, problem));
  EXPECT_EQ(bytesAt(record, 38, 10), std::string(10, ' '));
  EXPECT_EQ(bytesAt(record, 189, 4), "\x80\x80\x80\x80");
  EXPECT_EQ(bytesAt(record, 277, 66), std::string(66, '\0'));
}

TEST(FieldLayouts, ConceptCodeFollowsTheFileKey) {
  const TableLayout placed = layout("concepts").placedFor(0);
  std::string record, problem;
  int failed = -1;
  ASSERT_TRUE(encodeRecord(placed, {"139", "Traster", "-2"}, 32, record, failed, problem));
  EXPECT_EQ(record[0], '\x8B');
  EXPECT_EQ(bytesAt(record, 24, 2), "\xFE\xFF");
  EXPECT_EQ(layout("concepts").placedFor(28).fields[0].offset, 28);
}

TEST(FieldLayouts, RefusesValuesThatDoNotFit) {
  struct Case {
    std::string table;
    std::map<std::string, std::string> cells;
    std::string failedColumn, problem;
  } cases[] = {
      {"properties", {{"code", "1"}, {"address", std::string(31, 'x')}}, "address",
       "text too long (31 characters, at most 30)"},
      {"properties", {{"code", "1"}, {"address", std::string(15, '\xC3') + std::string(1, '\xA7')}},
       "address", "not valid UTF-8 at character 1"},
      {"properties", {{"code", "1"}, {"address", "Pla\xC3\xA7" "a 10 \xE2\x82\xAC"}}, "address",
       "character 10 \"\xE2\x82\xAC\" (U+20AC) has no code in code page 850"},
      {"properties", {{"code", "1"}, {"address_flag", "PP"}}, "address_flag",
       "text too long (2 characters, at most 1)"},
      {"properties", {{"code", "10000"}}, "code", "number 10000 out of range (0 to 9999)"},
      {"properties", {{"code", ""}}, "code", "empty (it is part of the key)"},
      {"properties", {{"code", "12a"}}, "code", "\"12a\" is not a whole number"},
      {"apartments", {{"property", "1"}, {"apartment", "-1"}}, "apartment",
       "number -1 out of range (0 to 9999)"},
      {"apartments", {{"property", "1"}, {"apartment", "1"}, {"tenant", "100000000"}}, "tenant",
       "number 100000000 out of range (0 to 99999999)"},
      {"apartments", {{"property", "1"}, {"apartment", "1"}, {"amount3", "2147483648"}}, "amount3",
       "number 2147483648 out of range (-2147483648 to 2147483647)"},
      {"apartments", {{"property", "1"}, {"apartment", "1"}, {"last_code", "32768"}}, "last_code",
       "number 32768 out of range (-32768 to 32767)"},
      {"apartments", {{"property", "1"}, {"apartment", "1"}, {"amount1", "12.50"}}, "amount1",
       "\"12.50\" is not a whole number"},
      {"concepts", {{"code", "256"}}, "code", "number 256 out of range (0 to 255)"},
      {"concepts", {{"code", "1"}, {"name", std::string(21, 'n')}}, "name",
       "text too long (21 characters, at most 20)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failedColumn + " " + c.problem);
    const TableLayout placed = layout(c.table).placedFor(0);
    std::string record, problem;
    int failed = -1;
    EXPECT_FALSE(encodeRecord(placed, row(placed, c.cells), 448, record, failed, problem));
    EXPECT_EQ(failed, placed.columnIndex(c.failedColumn));
    EXPECT_EQ(problem, c.problem);
  }
}

TEST(FieldLayouts, DecodingNamesAFieldThatIsNotPacked) {
  std::string record(204, ' ');
  record[0] = '\x81';
  record[1] = '\x00';
  FieldValues values;
  std::string problem;
  EXPECT_FALSE(decodeRecord(layout("properties"), record, values, problem));
  EXPECT_EQ(problem, "field code does not hold packed digits");
  record[1] = '\x81';
  EXPECT_FALSE(decodeRecord(layout("properties"), record.substr(0, 100), values, problem));
  EXPECT_EQ(problem, "record of 100 bytes has no field address_flag");
}

TEST(FieldLayouts, RecordsNeedRoomForEveryField) {
  EXPECT_EQ(layout("properties").minimumRecordLength(), 142);
  EXPECT_EQ(layout("apartments").minimumRecordLength(), 343);
  EXPECT_EQ(layout("concepts").placedFor(0).minimumRecordLength(), 26);
}

// Column values of the rows of a demo table.
std::vector<std::string> column(const std::vector<FieldValues>& rows, const std::string& table,
                                const std::string& name) {
  int index = layout(table).columnIndex(name);
  std::vector<std::string> values;
  for (const FieldValues& values_row : rows) values.push_back(values_row.at(index));
  return values;
}

TEST(DemoData, SameOptionsGiveTheSameData) {
  DemoOptions options;
  DemoTables a = makeDemoTables(options), b = makeDemoTables(options);
  EXPECT_EQ(a.properties, b.properties);
  EXPECT_EQ(a.apartments, b.apartments);
  options.seed = 2;
  EXPECT_NE(makeDemoTables(options).apartments, a.apartments);
}

TEST(DemoData, EveryRowFitsItsRecord) {
  for (uint64_t seed : {1, 2, 3}) {
    DemoTables tables = makeDemoTables({1000, 12, 30, seed});
    const std::vector<FieldValues>* rows[] = {&tables.properties, &tables.apartments,
                                              &tables.concepts};
    for (size_t t = 0; t < 3; ++t) {
      const TableLayout placed = tableLayouts()[t].placedFor(0);
      for (const FieldValues& values : *rows[t]) {
        std::string record, problem;
        int failed = -1;
        ASSERT_TRUE(encodeRecord(placed, values, 448, record, failed, problem))
            << placed.name << " " << placed.fields[failed].column << ": " << problem;
      }
    }
  }
}

TEST(DemoData, KeysAscendAndStayWithinFourDigits) {
  DemoTables tables = makeDemoTables({kDemoMaxProperties, 3, 10, 5});
  ASSERT_EQ(tables.properties.size(), static_cast<size_t>(kDemoMaxProperties));
  long long previous = 0;
  for (const std::string& code : column(tables.properties, "properties", "code")) {
    long long value = std::stoll(code);
    EXPECT_GT(value, previous);
    previous = value;
  }
  EXPECT_LE(previous, 9999);
  std::set<std::pair<std::string, std::string>> keys;
  std::vector<std::string> property = column(tables.apartments, "apartments", "property");
  std::vector<std::string> apartment = column(tables.apartments, "apartments", "apartment");
  for (size_t i = 0; i < property.size(); ++i) keys.insert({property[i], apartment[i]});
  EXPECT_EQ(keys.size(), tables.apartments.size());
}

TEST(DemoData, VacanciesFollowThePercentageAndSpreadOverProperties) {
  struct Case {
    int properties, perProperty, percent;
    size_t vacant;
  } cases[] = {{40, 8, 12, 38}, {10, 5, 0, 0}, {10, 5, 100, 50}, {3, 3, 50, 5}};
  for (const Case& c : cases) {
    DemoTables tables = makeDemoTables({c.properties, c.perProperty, c.percent, 1});
    ASSERT_EQ(tables.apartments.size(), static_cast<size_t>(c.properties * c.perProperty));
    std::vector<std::string> tenants = column(tables.apartments, "apartments", "tenant");
    std::vector<std::string> property = column(tables.apartments, "apartments", "property");
    std::set<std::string> withVacancy, occupiedTenants;
    size_t vacant = 0;
    for (size_t i = 0; i < tenants.size(); ++i) {
      if (tenants[i] == "0") {
        ++vacant;
        withVacancy.insert(property[i]);
      } else {
        EXPECT_TRUE(occupiedTenants.insert(tenants[i]).second) << "tenant twice: " << tenants[i];
      }
    }
    EXPECT_EQ(vacant, c.vacant);
    if (c.vacant == 38) {
      EXPECT_GE(withVacancy.size(), 15u);
    }
  }
}

TEST(DemoData, ConceptsCoverEveryAmountWithBothKinds) {
  DemoTables tables = makeDemoTables({});
  std::map<int, int> kindOf;
  for (const FieldValues& concept_row : tables.concepts)
    kindOf[std::stoi(concept_row[0])] = std::stoi(concept_row[2]);
  for (int k = 1; k <= 10; ++k) EXPECT_TRUE(kindOf.count(k)) << "fixed concept " << k;
  std::set<bool> kinds;
  for (const auto& [code, kind] : kindOf) kinds.insert(kind == 0 || kind == 1);
  EXPECT_EQ(kinds.size(), 2u) << "rent and non-rent concepts";

  // Extra entries are looked up as 0x80 + code: the demo holds every code it uses.
  std::set<std::string> extraCodes;
  for (const char* name : {"extra1_code", "extra2_code", "extra3_code", "last_code"})
    for (const std::string& code : column(tables.apartments, "apartments", name))
      if (code != "0") extraCodes.insert(code);
  EXPECT_GE(extraCodes.size(), 3u);
  for (const std::string& code : extraCodes)
    EXPECT_TRUE(kindOf.count(0x80 + std::stoi(code))) << "extra concept " << code;
}

TEST(DemoData, SomePropertiesCarryApartmentAddresses) {
  DemoTables tables = makeDemoTables({});
  std::vector<std::string> flags = column(tables.properties, "properties", "address_flag");
  std::vector<std::string> codes = column(tables.properties, "properties", "code");
  std::set<std::string> flagged;
  for (size_t i = 0; i < flags.size(); ++i)
    if (flags[i] == "P") flagged.insert(codes[i]);
  EXPECT_GE(flagged.size(), 1u);
  EXPECT_LT(flagged.size(), flags.size());
  std::vector<std::string> property = column(tables.apartments, "apartments", "property");
  std::vector<std::string> own = column(tables.apartments, "apartments", "own_address");
  for (size_t i = 0; i < own.size(); ++i)
    EXPECT_EQ(own[i].empty(), flagged.count(property[i]) == 0) << "apartment row " << i;
}

}  // namespace
