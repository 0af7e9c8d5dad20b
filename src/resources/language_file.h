// Translations of the module's Catalan texts into the session language.
#pragma once

#include <cstdio>
#include <string>

// The translation of a Catalan text into sessionSettings.languageCode, read from
// rootDir + "LOCALE\" + moduleName + ".LNG"; the text itself when there is none.
std::string translateText(const std::string& catalanText);

// Reads the comma-separated text fields of a language file. Fields are separated by commas
// or line ends (a carriage return; a line feed after it is skipped), blanks before a field
// are skipped, a field in double quotes holds everything up to the next double quote, and
// outside quotes byte 0x1A ends the data. The file stays open; the caller closes it.
class LanguageFieldReader {
 public:
  explicit LanguageFieldReader(FILE* file) : file_(file) {}
  // True when no data is left: the end of the file, or byte 0x1A where a field would go on.
  bool atEnd();
  // The next field; empty once the data has ended.
  std::string nextField();

 private:
  int peek();
  std::string quotedField();
  std::string unquotedField();
  void skipLineFeedAfterReturn();

  FILE* file_;
  bool ended_ = false;
};
