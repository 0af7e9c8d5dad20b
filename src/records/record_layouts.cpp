#include "records/record_layouts.h"

#include <cstddef>

PropertyRecord propertyRecord;
ApartmentRecord apartmentRecord;
ReceiptConceptRecord conceptRecord;

namespace {

template <size_t N>
std::string textAt(const std::array<uint8_t, N>& bytes, size_t offset, size_t width) {
  return std::string(reinterpret_cast<const char*>(bytes.data()) + offset, width);
}

template <size_t N>
int16_t int16At(const std::array<uint8_t, N>& bytes, size_t offset) {
  return static_cast<int16_t>(bytes[offset] | (bytes[offset + 1] << 8));
}

template <size_t N>
int32_t int32At(const std::array<uint8_t, N>& bytes, size_t offset) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) value |= uint32_t{bytes[offset + i]} << (8 * i);
  return static_cast<int32_t>(value);
}

}  // namespace

void resetRecordVariables() {
  propertyRecord = {};
  apartmentRecord = {};
  conceptRecord = {};
}

std::string propertyCode(const PropertyRecord& record) { return textAt(record.bytes, 0, 2); }
std::string propertyAddress(const PropertyRecord& record) {
  return textAt(record.bytes, 8, 30);
}
char addressFlag(const PropertyRecord& record) { return static_cast<char>(record.bytes[141]); }

std::string apartmentKey(const ApartmentRecord& record) { return textAt(record.bytes, 0, 4); }
std::string apartmentPropertyCode(const ApartmentRecord& record) {
  return textAt(record.bytes, 0, 2);
}
std::string unitDesignation(const ApartmentRecord& record) {
  return textAt(record.bytes, 38, 10);
}
std::string ownAddress(const ApartmentRecord& record) { return textAt(record.bytes, 98, 30); }
std::string tenantCode(const ApartmentRecord& record) { return textAt(record.bytes, 189, 4); }
bool isVacant(const ApartmentRecord& record) { return tenantCode(record) == "\x80\x80\x80\x80"; }

int32_t fixedAmount(const ApartmentRecord& record, int k) {
  if (k < 1 || k > FixedAmountCount) return 0;
  return int32At(record.bytes, 277 + 4 * (k - 1));
}
int16_t extraAmountCode(const ApartmentRecord& record, int m) {
  if (m < 0 || m >= ExtraAmountCount) return 0;
  return int16At(record.bytes, 317 + 6 * m);
}
int32_t extraAmount(const ApartmentRecord& record, int m) {
  if (m < 0 || m >= ExtraAmountCount) return 0;
  return int32At(record.bytes, 319 + 6 * m);
}
int16_t lastExtraAmountCode(const ApartmentRecord& record) { return int16At(record.bytes, 335); }
int32_t lastExtraAmount(const ApartmentRecord& record) { return int32At(record.bytes, 339); }

int16_t conceptKind(const ReceiptConceptRecord& record) { return int16At(record.bytes, 24); }
void setConceptKind(ReceiptConceptRecord& record, int16_t kind) {
  record.bytes[24] = static_cast<uint8_t>(kind & 0xFF);
  record.bytes[25] = static_cast<uint8_t>((kind >> 8) & 0xFF);
}
bool isRentConcept(const ReceiptConceptRecord& record) {
  int16_t kind = conceptKind(record);
  return kind == 0 || kind == 1;
}
