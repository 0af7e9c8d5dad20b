// The record variables of the three files the module reads, and named accessors for the
// fields it uses. Every read of a file lands in its variable; the accessors read the bytes
// in place, by offset. Bytes the module does not use are carried along unread.
//
// Encodings: packed digits are returned as their raw bytes (two digits a byte); integers
// are little-endian two's complement; texts are fixed-width code page 850, trailing blanks
// included.
#pragma once

#include <array>
#include <cstdint>
#include <string>

struct PropertyRecord {
  std::array<uint8_t, 204> bytes{};
};

struct ApartmentRecord {
  std::array<uint8_t, 448> bytes{};
};

struct ReceiptConceptRecord {
  std::array<uint8_t, 32> bytes{};
};

extern PropertyRecord propertyRecord;         // FinquesV, file id 506
extern ApartmentRecord apartmentRecord;       // DepartaV, file id 507
extern ReceiptConceptRecord conceptRecord;    // TVRebut, file id 503

// Back to the start state (all zero bytes), for tests.
void resetRecordVariables();

// PropertyRecord
std::string propertyCode(const PropertyRecord& record);     // 2 bytes packed, key 0
std::string propertyAddress(const PropertyRecord& record);  // 30 bytes text
char addressFlag(const PropertyRecord& record);             // "P": apartments carry their own

// ApartmentRecord
std::string apartmentKey(const ApartmentRecord& record);        // 4 bytes packed, key 0
std::string apartmentPropertyCode(const ApartmentRecord& record);  // first 2 bytes of the key
std::string unitDesignation(const ApartmentRecord& record);     // 10 bytes text
std::string ownAddress(const ApartmentRecord& record);          // 30 bytes text
std::string tenantCode(const ApartmentRecord& record);          // 4 bytes packed
// True when tenantCode is the packed zero (four bytes 0x80): the apartment is vacant.
bool isVacant(const ApartmentRecord& record);

constexpr int FixedAmountCount = 10;
constexpr int ExtraAmountCount = 3;
// Amount of concept k (1 to 10) of the fixed amounts.
int32_t fixedAmount(const ApartmentRecord& record, int k);
// Concept code and amount of extra entry m (0 to 2).
int16_t extraAmountCode(const ApartmentRecord& record, int m);
int32_t extraAmount(const ApartmentRecord& record, int m);
// The last extra entry: its amount begins 4 bytes after its code, not 2.
int16_t lastExtraAmountCode(const ApartmentRecord& record);
int32_t lastExtraAmount(const ApartmentRecord& record);

// ReceiptConceptRecord
int16_t conceptKind(const ReceiptConceptRecord& record);  // 0 or 1 rent, otherwise rest
void setConceptKind(ReceiptConceptRecord& record, int16_t kind);
// True for a kind that counts as rent ("RENDA"): 0 or 1.
bool isRentConcept(const ReceiptConceptRecord& record);
