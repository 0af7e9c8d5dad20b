#include "installed_system.h"

#include <fcntl.h>
#include <libpq-fe.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "paths.h"
#include "platform/files.h"

namespace {

// The rows an administrator would import: UTF-8 CSV with a header row. Property 12 lists
// its apartments with their own address (flag P); property 1234 lies beyond every range the
// tests confirm; apartment 3/2 has a tenant.
const char* const kProperties =
    "code,address,address_flag\n"
    "3,C/ ANTIC 3,\n"
    "5,\"C/ DE PROVEN\xC3\x87"
    "A, 12\",\n"
    "7,C/ DE L'\xC3\x80NGEL 3 BIS,\n"
    "12,RDA. SANT PERE 20,P\n"
    "1234,PL. MAJOR 1,\n";
const char* const kApartments =
    "property,apartment,designation,own_address,tenant,amount1,amount2,extra1_code,"
    "extra1_amount\n"
    "3,1,BAIXOS,,0,1000,0,0,0\n"
    "3,2,1r 1a,,45,50000,0,0,0\n"
    "5,2,1r 2a,,0,69200,2000,2,950\n"
    "5,3,BAIXOS,,0,0,0,0,0\n"
    "7,1,\xC3\x80TIC 1a,,0,10050,2500,0,0\n"
    "12,1,2n 1a,C/ DEL MAR 8,0,-123456,-105,0,0\n"
    "1234,5,LOCAL,,0,100,0,0,0\n";
// Concept 1 is rent (kind 1); concept 2 and the extra concept 2 (key byte 130) are not.
const char* const kConcepts =
    "code,name,kind\n"
    "1,LLOGUER,1\n"
    "2,AIGUA,2\n"
    "130,ESCALA,2\n";

struct Installed {
  Installed() {
    const std::string into = dir.file("prefix");
    ProgramRun run = runProgram({"cmake", "--install", binaryDir(), "--prefix", into});
    if (run.exitCode == 0) {
      prefix = into;
    } else {
      problem = "cmake --install " + binaryDir() + " --prefix " + into + " ended with " +
                std::to_string(run.exitCode) + ":\n" + run.output + run.errors;
    }
  }
  TempDir dir;
  std::string prefix, problem;
};

Installed& installed() {
  static Installed state;
  return state;
}

std::vector<char*> argvOf(std::vector<std::string>& words) {
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  return argv;
}

// Replaces the one line `from` of an INI text (lines end in CR LF) by `to`.
bool replaceLine(std::string& text, const std::string& from, const std::string& to) {
  const std::string line = "\r\n" + from + "\r\n";
  const size_t at = text.find(line);
  if (at == std::string::npos) return false;
  text.replace(at, line.size(), "\r\n" + to + "\r\n");
  return true;
}

// A connection string's value, quoted where it has to be.
std::string connectionValue(const std::string& value) {
  if (!value.empty() && value.find_first_of(" '\\") == std::string::npos) return value;
  std::string quoted = "'";
  for (char c : value) {
    if (c == '\'' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "'";
}

// The server of `conninfo` (key=value words or a URI) with the database `database`, as
// key=value words.
std::string withDatabase(const std::string& conninfo, const std::string& database) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(conninfo.c_str(), &error);
  if (!options) {
    PQfreemem(error);
    return conninfo + " dbname=" + database;
  }
  std::string words;
  for (const PQconninfoOption* option = options; option->keyword; ++option)
    if (option->val && std::string(option->keyword) != "dbname")
      words += std::string(option->keyword) + "=" + connectionValue(option->val) + " ";
  PQconninfoFree(options);
  return words + "dbname=" + database;
}

}  // namespace

const std::string& installedPrefix() { return installed().prefix; }
const std::string& installProblem() { return installed().problem; }
std::string installedProgram(const std::string& name) {
  return installedPrefix() + "/bin/" + name;
}

ProgramRun runProgram(const std::vector<std::string>& argv) {
  ProgramRun run;
  TempDir capture;
  const std::string out = capture.file("out"), err = capture.file("err");
  const pid_t pid = fork();
  if (pid < 0) return run;
  if (pid == 0) {
    if (!freopen("/dev/null", "r", stdin) || !freopen(out.c_str(), "w", stdout) ||
        !freopen(err.c_str(), "w", stderr))
      _exit(127);
    std::vector<std::string> words = argv;
    execvp(words[0].c_str(), argvOf(words).data());
    _exit(127);
  }
  int status = 0;
  if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  run.output = readFileBytes(out).value_or("");
  run.errors = readFileBytes(err).value_or("");
  return run;
}

ProgramRun runKivdata(const std::vector<std::string>& arguments) {
  std::vector<std::string> argv = {installedProgram("kivdata")};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  return runProgram(argv);
}

// ---- BackgroundProgram ----

BackgroundProgram::~BackgroundProgram() { stop(SIGKILL); }

bool BackgroundProgram::startAndWaitForLine(const std::vector<std::string>& argv,
                                            const std::string& line, int timeoutMs) {
  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return false;
  pid_ = fork();
  if (pid_ == 0) {
    dup2(pipeFds[1], 1);
    if (!freopen("/dev/null", "r", stdin)) _exit(127);
    std::vector<std::string> words = argv;
    execvp(words[0].c_str(), argvOf(words).data());
    _exit(127);
  }
  close(pipeFds[1]);
  output_ = pipeFds[0];
  if (pid_ < 0) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string text;
  while (std::chrono::steady_clock::now() < deadline) {
    if (text.rfind(line, 0) == 0 || text.find("\n" + line) != std::string::npos) return true;
    pollfd ready{output_, POLLIN, 0};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (poll(&ready, 1, int(std::max<long>(left.count(), 0))) <= 0) break;
    char buffer[512];
    const ssize_t n = read(output_, buffer, sizeof buffer);
    if (n <= 0) break;  // the program ended without the line
    text.append(buffer, size_t(n));
  }
  return text.rfind(line, 0) == 0 || text.find("\n" + line) != std::string::npos;
}

bool BackgroundProgram::running() {
  if (pid_ <= 0) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == 0) return true;
  pid_ = -1;
  return false;
}

void BackgroundProgram::stop(int signalNumber) {
  if (pid_ > 0) {
    kill(pid_, signalNumber);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  if (output_ >= 0) close(output_);
  output_ = -1;
}

// ---- languages ----

const std::vector<SessionLanguage>& sessionLanguages() {
  static const std::vector<SessionLanguage> languages = {
      {"CAT", "Primera finca: ", "Darrera finca: ", "Confirmeu el llistat (S/N): ",
       "P\xC3\x80GINA ", "LLISTAT DE DEPARTAMENTS BUITS A ", "REBUT", "ADRE\xC3\x87" "A",
       "        RENDA", "        RESTA", "NO ES POT ACCEDIR AL FITXER "},
      {"SPA", "Primera finca: ", "\xE9ltima finca:  ", "Confirme el listado (S/N): ",
       "P\xC3\x81GINA ", "LISTADO DE DEPARTAMENTOS VAC\xC3\x8DOS A ", "RECIBO",
       "DIRECCI\xC3\x93N", "        RENTA", "        RESTO", "NO SE PUEDE ACCEDER AL FICHERO "},
      {"GLG", "Primeira finca: ", "\xE9ltima finca:   ", "Confirme a listaxe (S/N): ",
       "P\xC3\x81XINA ", "LISTAXE DE DEPARTAMENTOS BALEIROS A ", "RECIBO", "ENDEREZO",
       "        RENDA", "        RESTO", "NOM SE PODE ACEDER AO FICHEIRO "},
      {"OCI", "Prum\x8A" "ra finca: ", "Darr\x8A" "ra finca: ", "Confirmatz eth listat (S/N): ",
       "PAGINA ", "LISTAT DE DEPARTAMENTS LIURES A ", "RECEBUT", "ADRE\xC3\x87" "A",
       "       LOGU\xC3\x88R", "        R\xC3\x88STA", "NON SE P\xE3T ACCEDIR ATH FICH\xD4R "},
  };
  return languages;
}

const SessionLanguage& sessionLanguage(const std::string& code) {
  for (const SessionLanguage& language : sessionLanguages())
    if (language.code == code) return language;
  return sessionLanguages().front();
}

// ---- back ends ----

std::string backEndName(BackEnd backEnd) {
  return backEnd == BackEnd::Files ? "Files" : "Postgres";
}

void PrintTo(BackEnd backEnd, std::ostream* out) { *out << backEndName(backEnd); }

std::string onServer(const std::string& conninfo, const std::string& sql) {
  PGconn* connection = PQconnectdb(conninfo.c_str());
  std::string answer = "ERROR";
  if (PQstatus(connection) == CONNECTION_OK) {
    PGresult* result = PQexec(connection, sql.c_str());
    const ExecStatusType status = PQresultStatus(result);
    if (status == PGRES_TUPLES_OK && PQntuples(result) > 0)
      answer = PQgetvalue(result, 0, 0);
    else if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
      answer = "";
    PQclear(result);
  }
  PQfinish(connection);
  return answer;
}

bool ServerDatabase::make(std::string& problem) {
  const char* given = std::getenv("KIV_TEST_POSTGRES");
  if (!given || !*given) {
    problem =
        "KIV_TEST_POSTGRES is not set, so there is no PostgreSQL server to test on: run the "
        "tests with `make test`, or under scripts/test-postgres-cluster run";
    return false;
  }
  base_ = given;
  static int made = 0;  // ctest runs each test in a process of its own; the pid tells them apart
  const std::string name = "kivaccept_" + std::to_string(::getpid()) + "_" + std::to_string(++made);
  if (onServer(base_, "CREATE DATABASE " + name) != "") {
    problem = "cannot create the database " + name + " on " + base_;
    return false;
  }
  name_ = name;
  server_ = withDatabase(base_, name_);
  return true;
}

ServerDatabase::~ServerDatabase() {
  if (!name_.empty()) onServer(base_, "DROP DATABASE IF EXISTS " + name_ + " WITH (FORCE)");
}

// ---- TestInstallation ----

bool TestInstallation::make(std::string& problem) {
  const std::string csv = root_ + ".csv-";
  if (!writeFileBytes(csv + "properties", kProperties) ||
      !writeFileBytes(csv + "apartments", kApartments) ||
      !writeFileBytes(csv + "concepts", kConcepts)) {
    problem = "cannot write the CSV files";
    return false;
  }
  const std::vector<std::vector<std::string>> steps = {
      {"init", root_},
      {"import", "properties", file("DADES/FinquesV"), csv + "properties"},
      {"import", "apartments", file("DADES/DepartaV"), csv + "apartments"},
      {"import", "concepts", file("DADES/TVRebut"), csv + "concepts"},
  };
  for (const std::vector<std::string>& step : steps) {
    ProgramRun run = runKivdata(step);
    if (run.exitCode != 0) {
      problem = "kivdata " + step[0] + " ended with " + std::to_string(run.exitCode) + ": " +
                run.errors;
      return false;
    }
  }
  // Quon.ini as an administrator sets it: the commented keys taken in with values.
  std::string quon = readFileBytes(file("Quon.ini")).value_or("");
  if (!replaceLine(quon, ";DatCaracter=/", "DatCaracter=/") ||
      !replaceLine(quon, ";DecCaracter='", "DecCaracter=,") ||
      !replaceLine(quon, ";MilCaracter=.", "MilCaracter=.") ||
      !replaceLine(quon, ";Nom=", std::string("Nom=") + kCompanyName) ||
      !writeFileBytes(file("Quon.ini"), quon)) {
    problem = "Quon.ini of kivdata init lacks the commented keys:\n" + quon;
    return false;
  }
  std::error_code error;
  std::filesystem::create_directories(sessionDir(), error);
  if (error ||
      !writeFileBytes(sessionDir() + "/Sessio.ini",
                      "[Menu]\r\nTitol=LLISTAT DE DEPARTAMENTS BUITS\r\nNomMenu=PISBUITS\r\n")) {
    problem = "cannot make the session directory " + sessionDir();
    return false;
  }
  return useSession("CAT", listing());
}

bool TestInstallation::useSession(const std::string& language, const std::string& device) {
  return writeFileBytes(sessionDir() + "/QuonTerm.ini",
                        "[Pantalla]\r\nSeleccio=0\r\n[Sistema]\r\nData=" +
                            std::string(kSessionDate) + "\r\nSortida=" + device +
                            "\r\nIdioma=" + language + "\r\n");
}

bool TestInstallation::nameServer(const std::string& server) {
  std::string quon = readFileBytes(file("Quon.ini")).value_or("");
  const std::string line = "Servidor=" + server + "\r\n";
  const size_t section = quon.find("[Dades]\r\n");
  if (section == std::string::npos)
    quon += "[Dades]\r\n" + line;
  else
    quon.insert(section + 9, line);  // the first of the section's keys of that name counts
  return writeFileBytes(file("Quon.ini"), quon);
}

bool TestInstallation::moveToServer(const std::string& server, std::string& problem) {
  ProgramRun copy = runKivdata({"copy", file("DADES"), server});
  if (copy.exitCode != 0 || copy.output.find("copied 3 record files") == std::string::npos) {
    problem = "kivdata copy " + file("DADES") + " \"" + server + "\" ended with " +
              std::to_string(copy.exitCode) + ":\n" + copy.output + copy.errors;
    return false;
  }
  if (!nameServer(server)) {
    problem = "cannot write " + file("Quon.ini");
    return false;
  }
  std::error_code error;
  std::filesystem::rename(file("DADES"), file("DADES.files"), error);
  if (!error) std::filesystem::create_directory(file("DADES"), error);
  if (error) {
    problem = "cannot put " + file("DADES") + " aside: " + error.message();
    return false;
  }
  return true;
}

std::vector<std::string> TestInstallation::lockCommand(const std::string& name, int position,
                                                       int seconds) const {
  std::vector<std::string> argv = {installedProgram("kivdata"), "lock", file("DADES/" + name)};
  if (position > 0) argv.insert(argv.end(), {"--record", std::to_string(position)});
  argv.insert(argv.end(), {"--seconds", std::to_string(seconds)});
  return argv;
}

std::vector<std::string> TestInstallation::environment() const {
  return {"KIVROOT=" + root_ + "/", "KIVTMP=" + sessionDir() + "/",
          "KIVEXE=" + installedPrefix() + "/bin/"};
}

