#include "demo_data.h"

#include <algorithm>
#include <numeric>
#include <string>

namespace {

// Streets of a Catalan town, with their kind as written on addresses (UTF-8).
const char* const kStreets[] = {
    "C/ Major",            "C/ de Sant Pere",     "C/ de la Riera",      "C/ Gran de Gr\xC3\xA0" "cia",
    "C/ del Carme",        "C/ de Balmes",        "C/ d'Arag\xC3\xB3",   "C/ de Val\xC3\xA8ncia",
    "C/ de Mallorca",      "C/ del Rossell\xC3\xB3", "C/ de Proven\xC3\xA7" "a", "C/ de Girona",
    "C/ de Lleida",        "C/ Nou de la Rambla", "C/ de l'Hospital",    "C/ de Verdi",
    "C/ de la Ind\xC3\xBAstria", "C/ de Pau Claris", "C/ de Sant Antoni", "C/ del Pi",
    "Av. Diagonal",        "Av. de Gaud\xC3\xAD", "Av. Meridiana",       "Av. de Rius i Taulet",
    "Pg. de Gr\xC3\xA0" "cia", "Pg. de Sant Joan", "Pg. del Born",       "Rbla. de Catalunya",
    "Rbla. del Poblenou",  "Pl. del Sol",         "Pl. de la Vila",      "Pl. de Sant Jaume",
    "Ptge. de Permanyer",  "Rda. de Sant Pau",    "Trav. de Gr\xC3\xA0" "cia", "C/ de Cervantes",
};
constexpr int kStreetCount = sizeof kStreets / sizeof kStreets[0];


struct DemoConcept {
  int code;  // the key byte
  const char* name;
  int kind;  // 0 or 1: rent; anything else: the rest
};

// Fixed concepts 1 to 10 are read by their plain number; extra concepts by 0x80 + code.
const DemoConcept kConcepts[] = {
    {1, "Lloguer", 0},
    {2, "Actualitzaci\xC3\xB3 IPC", 1},
    {3, "Aigua", 2},
    {4, "Escombraries", 2},
    {5, "Comunitat", 3},
    {6, "IBI", 2},
    {7, "Ascensor", 3},
    {8, "Calefacci\xC3\xB3", 2},
    {9, "Asseguran\xC3\xA7" "a", 4},
    {10, "Endarreriments", 5},
    {0x80 + 11, "Pla\xC3\xA7" "a d'aparcament", 0},
    {0x80 + 12, "Traster", 1},
    {0x80 + 20, "Obres", 2},
    {0x80 + 21, "IVA", 6},
    {0x80 + 30, "Bonificaci\xC3\xB3", 2},
};

std::string text(long long number) { return std::to_string(number); }

// A whole amount in hundredths, rounded to `step` hundredths.
long long amount(DemoRandom& random, long long low, long long high, long long step) {
  return random.between(low / step, high / step) * step;
}

std::string address(int street, long long number, const std::string& suffix = "") {
  std::string result = std::string(kStreets[street]) + ", " + text(number) + suffix;
  return result;
}

std::string designation(int floor, int door, int floors) {
  std::string doorText = text(door) + "a";
  if (floor == 0) return "Baixos " + doorText;
  if (floor == floors - 1 && floors > 3) return "\xC3\x80tic " + doorText;
  // Floor ordinals as written on doors: 1r, 2n, 3r, 4t, then the number and a grave e.
  static const char* const suffixes[] = {"r", "n", "r", "t"};
  std::string ordinal = text(floor) + (floor <= 4 ? suffixes[floor - 1] : "\xC3\xA8");
  return ordinal + " " + doorText;
}

FieldValues apartmentRow(DemoRandom& random, int property, int number, const std::string& flat,
                         const std::string& ownAddress, long long tenant) {
  FieldValues row = {text(property), text(number), flat, ownAddress, text(tenant)};
  long long rent = amount(random, 35000, 140000, 500);
  long long fixed[10] = {
      rent,
      random.chance(40) ? amount(random, 500, 4000, 1) : 0,
      amount(random, 1000, 3500, 1),
      amount(random, 800, 1800, 1),
      amount(random, 3000, 9000, 500),
      amount(random, 1500, 6000, 1),
      random.chance(60) ? amount(random, 800, 2500, 100) : 0,
      random.chance(20) ? amount(random, 2000, 6000, 100) : 0,
      amount(random, 600, 1500, 1),
      random.chance(5) ? amount(random, 5000, 30000, 100) : 0,
  };
  for (long long value : fixed) row.push_back(text(value));
  // Extra entries: parking and store room (rent), works; the last one a discount.
  struct Extra { int code; long long amount; };
  Extra extras[3] = {{0, 0}, {0, 0}, {0, 0}};
  if (random.chance(30)) extras[0] = {11, amount(random, 6000, 12000, 500)};
  if (random.chance(15)) extras[1] = {12, amount(random, 2000, 4000, 500)};
  if (random.chance(10)) extras[2] = {random.chance(50) ? 20 : 21, amount(random, 1000, 5000, 1)};
  for (const Extra& extra : extras) {
    row.push_back(text(extra.code));
    row.push_back(text(extra.amount));
  }
  bool discount = random.chance(8);
  row.push_back(text(discount ? 30 : 0));
  row.push_back(text(discount ? -amount(random, 1000, 5000, 500) : 0));
  return row;
}

}  // namespace

uint64_t DemoRandom::next() {
  uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

long long DemoRandom::between(long long low, long long high) {
  uint64_t span = static_cast<uint64_t>(high - low) + 1;
  return low + static_cast<long long>(next() % span);
}

DemoTables makeDemoTables(const DemoOptions& options) {
  DemoTables tables;
  DemoRandom random(options.seed);
  int propertyCount = std::clamp(options.properties, 0, kDemoMaxProperties);
  int perProperty = std::clamp(options.apartmentsPerProperty, 0, kDemoMaxApartmentsPerProperty);
  int total = propertyCount * perProperty;
  int vacantCount = (total * std::clamp(options.vacantPercent, 0, 100) + 50) / 100;

  // Vacant apartments: the first of a shuffled order, so they fall anywhere.
  std::vector<int> order(total);
  std::iota(order.begin(), order.end(), 0);
  for (int i = total - 1; i > 0; --i) std::swap(order[i], order[random.between(0, i)]);
  std::vector<bool> vacant(total, false);
  for (int i = 0; i < vacantCount; ++i) vacant[order[i]] = true;

  int code = 0;
  long long tenant = 10000;
  for (int p = 0; p < propertyCount; ++p) {
    // Codes rise with small gaps, as properties left the books, while room remains.
    int room = 9999 - code - (propertyCount - p);
    code += 1 + (room > 0 && random.chance(25) ? 1 : 0);
    int street = static_cast<int>(random.between(0, kStreetCount - 1));
    long long number = random.between(1, 240);
    bool ownAddresses = random.chance(15);
    tables.properties.push_back({text(code), address(street, number), ownAddresses ? "P" : ""});

    // A corner building: its apartments open on the property's street or a second one.
    int corner = static_cast<int>((street + random.between(1, kStreetCount - 1)) % kStreetCount);
    long long cornerNumber = random.between(1, 120);
    int doors = static_cast<int>(random.between(2, 4));
    int floors = (perProperty + doors - 1) / doors;
    for (int a = 0; a < perProperty; ++a) {
      int floor = a / doors, door = a % doors + 1;
      std::string ownAddress;
      if (ownAddresses)
        ownAddress = door % 2 ? address(street, number, " bis") : address(corner, cornerNumber);
      tenant += random.between(1, 40);
      long long tenantCode = vacant[p * perProperty + a] ? 0 : tenant;
      tables.apartments.push_back(apartmentRow(random, code, a + 1,
                                               designation(floor, door, floors), ownAddress,
                                               tenantCode));
    }
  }
  for (const DemoConcept& entry : kConcepts)
    tables.concepts.push_back({text(entry.code), entry.name, text(entry.kind)});
  return tables;
}
