// The language file: every field of a damaged file is read, and texts are translated
// through it in the three languages that read it.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "resources/language_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::writeScratchFile("LOCALE/HORTELIX.LNG", data, size);

  std::vector<std::string> fields;
  FILE* file = openFile(path, "rb");
  FUZZ_CHECK(file != nullptr);
  LanguageFieldReader reader(file);
  while (!reader.atEnd() && fields.size() <= size) fields.push_back(reader.nextField());
  std::fclose(file);
  // Every field but the last takes at least one byte of the file.
  FUZZ_CHECK(fields.size() <= size + 1);

  fuzz::resetSessionInScratch();
  const std::string texts[] = {fields.empty() ? std::string("RENDA") : fields.front(),
                               fields.size() > 4 ? fields[4] : std::string("RESTA"),
                               "LLISTAT DE DEPARTAMENTS BUITS A"};
  for (const char* language : {"SPA", "GLG", "OCI"}) {
    sessionSettings.languageCode = language;
    for (const std::string& text : texts) (void)translateText(text);
  }
  resetSessionSettings();
  return 0;
}
