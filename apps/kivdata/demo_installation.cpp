// demo: a whole installation ready for the module, with made-up data.
#include <ctime>
#include <filesystem>
#include <system_error>

#include "code_page_text.h"
#include "commands.h"
#include "demo_data.h"
#include "installation_tree.h"
#include "platform/files.h"
#include "record_file.h"

namespace fs = std::filesystem;

namespace {

const char* const kCompanyName = "Administraci\xC3\xB3 de Finques Hortal, S.L.";
const char* const kMenuTitle = "LLISTAT DE DEPARTAMENTS BUITS";
// Colour scheme: white on blue, yellow on blue, black on grey, white on red, black on cyan.
const char* const kColours = "15011401000715040003";

bool validDate(const std::string& text) {
  long long number;
  if (text.size() != 8 || !parseInteger(text, 0, 99999999, number) || text[0] == '-' ||
      text[0] == '+')
    return false;
  int year = static_cast<int>(number / 10000), month = static_cast<int>(number / 100 % 100),
      day = static_cast<int>(number % 100);
  static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (year < 1900 || month < 1 || month > 12 || day < 1) return false;
  return day <= days[month - 1] && !(month == 2 && day == 29 && !leap);
}

std::string today() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[16];
  std::strftime(text, sizeof text, "%Y%m%d", &local);
  return text;
}

// An INI file as the application writes them: code page 850, CR LF.
bool writeIniFile(const fs::path& path, const std::vector<std::string>& utf8Lines,
                  std::string& problem) {
  std::string bytes;
  for (const std::string& line : utf8Lines) {
    std::string converted;
    if (!utf8ToCodePage850(line, converted, problem)) return false;
    bytes += converted + "\r\n";
  }
  if (writeFileBytes(path.string(), bytes)) return true;
  problem = "cannot write " + path.string();
  return false;
}

// The help topic of the menu entry: the module's own help document when dist/ has one.
std::string menuName(const fs::path& dir) {
  std::string help = resolvePath((dir / "AJUDA").string());
  std::error_code error;
  std::string found;
  for (const auto& entry : fs::directory_iterator(help, error)) {
    std::string stem = entry.path().stem().string();
    if (entry.path().extension() != ".HLP" && entry.path().extension() != ".hlp") continue;
    if (stem == "HORTELIX" || stem == "hortelix") return stem;
    if (found.empty() || stem < found) found = stem;
  }
  return found.empty() ? "HORTELIX" : found;
}

bool writeSettings(const fs::path& dir, const std::string& date, std::string& problem) {
  std::error_code error;
  fs::create_directories(dir / "SESSIO", error);
  return writeIniFile(dir / "Quon.ini",
                      {"[Usuari]", "Idioma=CAT", "DatCaracter=/", "DatOrdre=DMA",
                       "DecCaracter=,", "MilCaracter=.", "[Empresa]",
                       std::string("Nom=") + kCompanyName},
                      problem) &&
         writeIniFile(dir / "SESSIO" / "Sessio.ini",
                      {"[Menu]", std::string("Titol=") + kMenuTitle, "NomMenu=" + menuName(dir),
                       "[Terminal]", "Dir=SESSIO\\"},
                      problem) &&
         writeIniFile(dir / "SESSIO" / "QuonTerm.ini",
                      {"[Pantalla]", "Seleccio=0", std::string("Col0=") + kColours, "[Sistema]",
                       "Data=" + date, "Sortida=", "Idioma=CAT"},
                      problem);
}

// Creates DADES/<file>.dat from ddf/<file>.xdf and fills it in one transaction.
bool fillRecordFile(const fs::path& dir, const TableLayout& layout,
                    const std::vector<FieldValues>& rows, std::string& problem) {
  std::string creationData;
  std::string description = resolvePath((dir / "ddf" / (layout.fileName + ".xdf")).string());
  if (!readDescriptionFile(description, creationData, problem)) return false;
  std::string path = (dir / "DADES" / (layout.fileName + ".dat")).string();
  int16_t status = createRecordFile(path, creationData);
  if (status != RecordStatus::Success) {
    problem = "cannot create " + path + ": " + describeStatus(status);
    return false;
  }
  RecordFile file;
  status = file.open(path);
  FileLayout fileLayout;
  uint32_t records = 0;
  if (status == RecordStatus::Success) status = file.stat(fileLayout, records);
  if (status != RecordStatus::Success) {
    problem = "cannot open " + path + ": " + describeStatus(status);
    return false;
  }
  TableLayout placed = layout.placedFor(fileLayout.keys.at(0).segments.at(0).offset);
  if (fileLayout.recordLength < placed.minimumRecordLength()) {
    problem = description + " describes records of " + std::to_string(fileLayout.recordLength) +
              " bytes; " + layout.name + " need at least " +
              std::to_string(placed.minimumRecordLength());
    return false;
  }
  return inOneTransaction(
      [&](std::string& failure) {
        for (const FieldValues& row : rows) {
          std::string record, reason;
          int failedField = 0;
          if (!encodeRecord(placed, row, fileLayout.recordLength, record, failedField, reason)) {
            failure = layout.name + " field " + placed.fields[failedField].column + ": " + reason;
            return false;
          }
          int16_t inserted = file.insert(record);
          if (inserted != RecordStatus::Success) {
            failure = "cannot insert into " + path + ": " + describeStatus(inserted);
            return false;
          }
        }
        return true;
      },
      problem);
}

bool makeInstallation(const fs::path& dir, const DemoOptions& options, const std::string& date,
                      std::string& summary, std::string& problem) {
  if (!copyDistTree(dir, problem)) return false;
  std::error_code error;
  fs::create_directories(dir / "DADES", error);
  DemoTables tables = makeDemoTables(options);
  const std::vector<FieldValues>* rows[] = {&tables.properties, &tables.apartments,
                                            &tables.concepts};
  for (size_t t = 0; t < tableLayouts().size(); ++t)
    if (!fillRecordFile(dir, tableLayouts()[t], *rows[t], problem)) return false;
  if (!writeSettings(dir, date, problem)) return false;
  int tenantColumn = findTableLayout("apartments")->columnIndex("tenant");
  long vacant = 0;
  for (const FieldValues& row : tables.apartments) vacant += row[tenantColumn] == "0";
  summary = std::to_string(tables.properties.size()) + " properties, " +
            std::to_string(tables.apartments.size()) + " apartments (" + std::to_string(vacant) +
            " vacant), " + std::to_string(tables.concepts.size()) + " receipt concepts";
  return true;
}

}  // namespace

int runDemo(const ParsedArguments& arguments) {
  DemoOptions options;
  std::string problem;
  long long properties, perProperty, vacant, seed;
  if (!integerOption(arguments, "properties", 0, kDemoMaxProperties, options.properties,
                     properties, problem) ||
      !integerOption(arguments, "apartments-per-property", 0, kDemoMaxApartmentsPerProperty,
                     options.apartmentsPerProperty, perProperty, problem) ||
      !integerOption(arguments, "vacant", 0, 100, options.vacantPercent, vacant, problem) ||
      !integerOption(arguments, "seed", 0, INT64_MAX / 4, 1, seed, problem))
    return commandUsage("demo", problem);
  std::string date = arguments.option("date", today());
  if (!validDate(date))
    return commandUsage("demo", "--date must be a date written YYYYMMDD, not \"" + date + "\"");
  options.properties = static_cast<int>(properties);
  options.apartmentsPerProperty = static_cast<int>(perProperty);
  options.vacantPercent = static_cast<int>(vacant);
  options.seed = static_cast<uint64_t>(seed);

  fs::path dir = arguments.positional[0];
  bool existed = false;
  if (!prepareTargetDirectory(dir, existed, problem)) return commandFailed("demo", problem);

  std::string summary;
  if (!makeInstallation(dir, options, date, summary, problem)) {
    removeUnfinishedTree(dir, existed);
    return commandFailed("demo", problem);
  }
  commandDone("made the demo installation " + dir.string() + ": " + summary);
  return kExitSuccess;
}
