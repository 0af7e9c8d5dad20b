// The INI reader and the session settings built from it: the input is split at 0xFF bytes
// into Sessio.ini, QuonTerm.ini and Quon.ini, the settings are loaded from them, and the
// session date and an amount are formatted with the date and number characters of Quon.ini.
#include <algorithm>
#include <cstdint>
#include <string>

#include "core/ini_file.h"
#include "fuzz_support.h"
#include "locale/date_text.h"
#include "locale/numeric_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool environment = [] {
    ::setenv("KIVROOT", fuzz::scratchDir().c_str(), 1);
    ::setenv("KIVTMP", fuzz::scratchDir().c_str(), 1);
    ::unsetenv("TERM");
    return true;
  }();
  (void)environment;

  const std::string input(reinterpret_cast<const char*>(data), size);
  const char* const names[] = {"Sessio.ini", "QuonTerm.ini", "Quon.ini"};
  size_t start = 0;
  for (const char* name : names) {
    size_t end = input.find('\xFF', start);
    if (end == std::string::npos) end = input.size();
    const std::string part = start < input.size() ? input.substr(start, end - start) : "";
    fuzz::writeScratchFile(name, reinterpret_cast<const uint8_t*>(part.data()), part.size());
    start = end < input.size() ? end + 1 : input.size();
  }

  resetSessionSettings();
  resetDateSettings();
  resetNumberSettings();
  loadSessionSettings();
  FUZZ_CHECK(sessionSettings.languageCode.size() == 3);

  // A date text has a fixed width for the numeric styles, whatever the date holds.
  FUZZ_CHECK(formatDate(sessionSettings.sessionDate, 0, "DMA").size() == 10);
  FUZZ_CHECK(formatDate(sessionSettings.sessionDate, 1, "DMA").size() == 11);
  (void)formatDate(sessionSettings.sessionDate, 2, "DMA");
  (void)formatDate(sessionSettings.sessionDate, -1, "");

  const std::string picture = "ZZZ,ZZZ,ZZ9.99";
  FUZZ_CHECK(formatPicture(picture, 123456789.0).size() == picture.size());
  FUZZ_CHECK(formatNumber("-ZZZ,ZZ9.99", -4321.5).size() == 11);

  // Any section and key named by the first bytes.
  const std::string section = input.substr(0, std::min<size_t>(size, 8));
  (void)readIniValue(fuzz::scratchDir() + "QuonTerm.ini", section, section);
  resetSessionSettings();
  return 0;
}
