// Translations of the module's Catalan texts into the session language.
#pragma once

#include <string>

// The translation of a Catalan text into sessionSettings.languageCode, read from
// rootDir + "LOCALE\" + moduleName + ".LNG"; the text itself when there is none.
std::string translateText(const std::string& catalanText);
