#include "ui/browse_hooks.h"

#include "locale/packed_digits.h"
#include "records/record_layouts.h"
#include "resources/form_definition.h"
#include "ui/form_engine.h"

namespace {

constexpr int16_t PropertyList = 1;

// The property's number as lists show it: the last three of its four digits.
std::string shownPropertyNumber() {
  const std::string digits = unpackDigits(propertyCode(propertyRecord));
  return digits.size() > 3 ? digits.substr(digits.size() - 3) : digits;
}

}  // namespace

int16_t browseKeyRange(int16_t /*listNumber*/, std::string& startKey, std::string& endKey) {
  startKey.clear();
  endKey.clear();
  return 0;
}

std::string browseRowText(int16_t listNumber) {
  if (listNumber != PropertyList) return "";
  return shownPropertyNumber() + "  " + propertyAddress(propertyRecord);
}

void storeBrowsePick(int16_t listNumber, int16_t panel, int16_t field) {
  if (listNumber != PropertyList || formField(panel, field) == nullptr) return;
  checkFieldValue(panel, shownPropertyNumber(), field, 0);
}
