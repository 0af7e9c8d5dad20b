// The records of a demo installation: properties on Catalan streets, their apartments with
// tenants, vacancies and receipt amounts, and the receipt concepts. The same options always
// give the same data.
#pragma once

#include <cstdint>
#include <vector>

#include "field_layouts.h"

struct DemoOptions {
  int properties = 40;
  int apartmentsPerProperty = 8;
  int vacantPercent = 12;
  uint64_t seed = 1;
};

// Rows in the column order of the layouts of field_layouts.h, in key order.
struct DemoTables {
  std::vector<FieldValues> properties;
  std::vector<FieldValues> apartments;
  std::vector<FieldValues> concepts;
};

constexpr int kDemoMaxProperties = 5000;
constexpr int kDemoMaxApartmentsPerProperty = 99;

// Property codes stay within 4 digits; options beyond the maxima above are cut to them.
DemoTables makeDemoTables(const DemoOptions& options);

// Random numbers of a fixed algorithm (splitmix64), so the data do not depend on the
// standard library.
class DemoRandom {
 public:
  explicit DemoRandom(uint64_t seed) : state_(seed) {}
  uint64_t next();
  // Uniform in [low, high].
  long long between(long long low, long long high);
  bool chance(int percent) { return between(1, 100) <= percent; }

 private:
  uint64_t state_;
};
