// init: an empty installation, ready for data from `import` or `load`.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>
#include <vector>

#include "commands.h"
#include "installation_tree.h"
#include "platform/files.h"
#include "record_file.h"

namespace fs = std::filesystem;

namespace {

// Every key the programs read from Quon.ini, commented out with the value that applies while
// it stays so. Explanations stand on lines of their own: a comment after a value would leave
// the blanks before it in the value.
const char* const kQuonIni[] = {
    "; Quon.ini: the settings of the installation, shared by every session.",
    "; A line starting with \";\" is a comment. Each key below is commented out and shows",
    "; the value that applies while it is; remove the \";\" in front of it to set it.",
    "; Names are compared without regard to case; a value runs from \"=\" to the line end.",
    "",
    "[Usuari]",
    "; The language of a session whose QuonTerm.ini [Sistema] Idioma is empty: CAT, SPA,",
    "; GLG or OCI, in capitals. Empty: the Catalan texts.",
    ";Idioma=",
    "; Dates: the separator (first character) and the order of day D, month M, year A.",
    ";DatCaracter=/",
    ";DatOrdre=DMA",
    "; Amounts: the decimal character and the thousands character (first character each).",
    ";DecCaracter='",
    ";MilCaracter=.",
    "",
    "[Empresa]",
    "; The company name at the top of every page of a listing. Empty: none.",
    ";Nom=",
    "",
    "[Dades]",
    "; The PostgreSQL database that keeps the record files, as a libpq connection string",
    "; (host=... dbname=... user=...). Empty: each record file is an SQLite file under DADES.",
    ";Servidor=",
};

bool writeQuonIni(const fs::path& dir, std::string& problem) {
  std::string bytes;
  for (const char* line : kQuonIni) bytes += std::string(line) + "\r\n";
  std::string path = (dir / "Quon.ini").string();
  if (writeFileBytes(path, bytes)) return true;
  problem = "cannot write " + path;
  return false;
}

bool hasExtension(const fs::path& path, const std::string& lowerExtension) {
  std::string extension = path.extension().string();
  for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == lowerExtension;
}

// DADES/<name>.dat for every ddf/<name>.xdf of the tree, each empty.
bool createRecordFiles(const fs::path& dir, std::vector<std::string>& made,
                       std::string& problem) {
  std::error_code error;
  fs::create_directories(dir / "DADES", error);
  if (error) {
    problem = "cannot make " + (dir / "DADES").string() + ": " + error.message();
    return false;
  }
  std::vector<fs::path> descriptions;
  for (const auto& entry : fs::directory_iterator(resolvePath((dir / "ddf").string()), error))
    if (entry.is_regular_file() && hasExtension(entry.path(), ".xdf"))
      descriptions.push_back(entry.path());
  std::sort(descriptions.begin(), descriptions.end());
  if (descriptions.empty()) {
    problem = "the template holds no description file (ddf/*.xdf)";
    return false;
  }
  for (const fs::path& description : descriptions) {
    std::string creationData;
    if (!readDescriptionFile(description.string(), creationData, problem)) return false;
    std::string path = (dir / "DADES" / (description.stem().string() + ".dat")).string();
    int16_t status = createRecordFile(path, creationData);
    if (status != RecordStatus::Success) {
      problem = "cannot create " + path + " from " + description.string() + ": " +
                describeStatus(status);
      return false;
    }
    made.push_back(description.stem().string());
  }
  return true;
}

}  // namespace

int runInit(const ParsedArguments& arguments) {
  fs::path dir = arguments.positional[0];
  bool existed = false;
  std::string problem;
  if (!prepareTargetDirectory(dir, existed, problem)) return commandFailed("init", problem);
  std::vector<std::string> files;
  if (!copyDistTree(dir, problem) || !createRecordFiles(dir, files, problem) ||
      !writeQuonIni(dir, problem)) {
    removeUnfinishedTree(dir, existed);
    return commandFailed("init", problem);
  }
  std::string names;
  for (const std::string& name : files) names += (names.empty() ? "" : ", ") + name;
  commandDone("made the installation " + dir.string() + ": empty record files " + names +
              ", Quon.ini");
  return kExitSuccess;
}
