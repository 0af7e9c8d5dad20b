#include <gtest/gtest.h>

#include <cstring>

#include "records/record_layouts.h"

namespace {

template <size_t N>
void put(std::array<uint8_t, N>& bytes, size_t offset, const std::string& value) {
  std::memcpy(bytes.data() + offset, value.data(), value.size());
}

TEST(RecordLayouts, VariablesHaveTheirFilesSizes) {
  EXPECT_EQ(sizeof propertyRecord.bytes, 204u);
  EXPECT_EQ(sizeof apartmentRecord.bytes, 448u);
  EXPECT_EQ(sizeof conceptRecord.bytes, 32u);
}

TEST(RecordLayouts, PropertyFieldsAtTheirOffsets) {
  PropertyRecord record;
  record.bytes.fill('#');
  put(record.bytes, 0, "\x80\x8B");
  put(record.bytes, 8, "CARRER MAJOR 1                ");
  put(record.bytes, 141, "P");
  EXPECT_EQ(propertyCode(record), "\x80\x8B");
  EXPECT_EQ(propertyAddress(record), "CARRER MAJOR 1                ");
  EXPECT_EQ(addressFlag(record), 'P');
}

TEST(RecordLayouts, ApartmentFieldsAtTheirOffsets) {
  ApartmentRecord record;
  record.bytes.fill('#');
  put(record.bytes, 0, "\x80\x8B\x80\x83");
  put(record.bytes, 38, "1r 2a     ");
  put(record.bytes, 98, "PLA\x80" "A NOVA 3                  ");
  put(record.bytes, 189, "\x80\x80\x80\x80");
  EXPECT_EQ(apartmentKey(record), "\x80\x8B\x80\x83");
  EXPECT_EQ(apartmentPropertyCode(record), "\x80\x8B");
  EXPECT_EQ(unitDesignation(record), "1r 2a     ");
  EXPECT_EQ(ownAddress(record), "PLA\x80" "A NOVA 3                  ");
  EXPECT_TRUE(isVacant(record));
}

TEST(RecordLayouts, OnlyThePackedZeroTenantIsVacant) {
  const struct {
    const char* tenant;
    bool vacant;
  } cases[] = {
      {"\x80\x80\x80\x80", true},
      {"\x80\x80\x80\x81", false},
      {"\x81\x80\x80\x80", false},
  };
  for (const auto& c : cases) {
    ApartmentRecord record;
    put(record.bytes, 189, std::string(c.tenant, 4));
    EXPECT_EQ(isVacant(record), c.vacant) << c.tenant;
  }
  ApartmentRecord zeros;  // four zero bytes are not the packed zero
  EXPECT_FALSE(isVacant(zeros));
}

TEST(RecordLayouts, AmountBlockLittleEndianWithTheShiftedLastEntry) {
  ApartmentRecord record;
  for (int k = 1; k <= 10; ++k) {
    int32_t amount = k == 10 ? -250 : k * 100000 + k;
    std::memcpy(record.bytes.data() + 277 + 4 * (k - 1), &amount, 4);
  }
  const int16_t codes[] = {7, 42, 99};
  const int32_t amounts[] = {1234, -5, 2000000000};
  for (int m = 0; m < 3; ++m) {
    std::memcpy(record.bytes.data() + 317 + 6 * m, &codes[m], 2);
    std::memcpy(record.bytes.data() + 319 + 6 * m, &amounts[m], 4);
  }
  int16_t lastCode = 12;
  int32_t lastAmount = 98765;
  std::memcpy(record.bytes.data() + 335, &lastCode, 2);
  put(record.bytes, 337, "\xFF\xFF");  // not read
  std::memcpy(record.bytes.data() + 339, &lastAmount, 4);

  EXPECT_EQ(fixedAmount(record, 1), 100001);
  EXPECT_EQ(fixedAmount(record, 9), 900009);
  EXPECT_EQ(fixedAmount(record, 10), -250);
  for (int m = 0; m < 3; ++m) {
    EXPECT_EQ(extraAmountCode(record, m), codes[m]);
    EXPECT_EQ(extraAmount(record, m), amounts[m]);
  }
  EXPECT_EQ(lastExtraAmountCode(record), 12);
  EXPECT_EQ(lastExtraAmount(record), 98765);
}

TEST(RecordLayouts, ConceptKindZeroAndOneAreRent) {
  const struct {
    int16_t kind;
    bool rent;
  } cases[] = {{0, true}, {1, true}, {2, false}, {-1, false}, {256, false}};
  for (const auto& c : cases) {
    ReceiptConceptRecord record;
    setConceptKind(record, c.kind);
    EXPECT_EQ(record.bytes[24], static_cast<uint8_t>(c.kind & 0xFF));
    EXPECT_EQ(conceptKind(record), c.kind);
    EXPECT_EQ(isRentConcept(record), c.rent) << c.kind;
  }
}

}  // namespace
