// The system as an administrator gets it: the programs installed by `cmake --install` into
// a temporary prefix, and installations made by the installed kivdata, with a small set of
// properties, apartments and receipt concepts imported from CSV.
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <ostream>
#include <string>
#include <vector>

#include "listing_text.h"
#include "terminal_settings.h"

// The prefix this build was installed into (once per test program, removed at its end);
// empty when the install failed, with installProblem() saying why.
const std::string& installedPrefix();
const std::string& installProblem();
// prefix + "/bin/" + name
std::string installedProgram(const std::string& name);

struct ProgramRun {
  int exitCode = -1;  // -1: it did not start or end normally
  std::string output, errors;
};
// Runs a program to its end with its standard input from /dev/null.
ProgramRun runProgram(const std::vector<std::string>& argv);
// The installed kivdata with these arguments.
ProgramRun runKivdata(const std::vector<std::string>& arguments);

// A program left running in the background, ended (SIGKILL) and reaped at the latest when
// this is destroyed.
class BackgroundProgram {
 public:
  BackgroundProgram() = default;
  ~BackgroundProgram();
  BackgroundProgram(const BackgroundProgram&) = delete;
  BackgroundProgram& operator=(const BackgroundProgram&) = delete;
  // Starts argv and waits up to timeoutMs for `line` at the start of a line of its standard
  // output; false (the program ended) when it does not come.
  bool startAndWaitForLine(const std::vector<std::string>& argv, const std::string& line,
                           int timeoutMs);
  bool running();
  // Sends the signal and reaps the program.
  void stop(int signalNumber);

 private:
  pid_t pid_ = -1;
  int output_ = -1;
};

// Session languages with what the form shows (code page 850) and what the listing's
// headings read as text output (UTF-8).
struct SessionLanguage {
  std::string code;
  std::string fromLabel, toLabel, answerLabel;
  std::string pageWord, title, numberHeading, addressHeading, rentHeading, restHeading;
  std::string openFailure;  // the fatal message's text before the file name
};
const std::vector<SessionLanguage>& sessionLanguages();
const SessionLanguage& sessionLanguage(const std::string& code);

// The listing's session date, as the listing writes it with the settings of Quon.ini.
constexpr const char* kSessionDate = "20240305";
constexpr const char* kListedDate = "5/3/2024";
constexpr const char* kCompanyName = "Finques Hortal, S.L.";

// Where an installation's record files are: the SQLite files of its DADES, or a database on
// a PostgreSQL server named in its Quon.ini.
enum class BackEnd { Files, Postgres };
// "Files", "Postgres": the back end's part of a test's name.
std::string backEndName(BackEnd backEnd);
void PrintTo(BackEnd backEnd, std::ostream* out);

// Runs one statement on the server of `conninfo`: the first column of its first row, "" when
// it gives no row, "ERROR" when it cannot be run.
std::string onServer(const std::string& conninfo, const std::string& sql);

// A database of a test's own on the PostgreSQL server the tests are given (the connection
// string in KIV_TEST_POSTGRES), dropped with its sessions when this is destroyed.
class ServerDatabase {
 public:
  ServerDatabase() = default;
  ~ServerDatabase();
  ServerDatabase(const ServerDatabase&) = delete;
  ServerDatabase& operator=(const ServerDatabase&) = delete;
  // Creates the database; false with the reason when KIV_TEST_POSTGRES is not set (the tests
  // on the server then fail, they are not skipped) or the server refuses.
  bool make(std::string& problem);
  // The server as KIV_TEST_POSTGRES names it.
  const std::string& base() const { return base_; }
  const std::string& name() const { return name_; }
  // The connection string of this database.
  const std::string& server() const { return server_; }

 private:
  std::string base_, name_, server_;
};

class TestInstallation {
 public:
  explicit TestInstallation(const std::string& root) : root_(root) {}
  // kivdata init, the properties, apartments and concepts imported, Quon.ini's keys for
  // dates, amounts and the company set, and a session directory SESSIO in Catalan whose
  // listings go to the text file listing().
  bool make(std::string& problem);
  // Rewrites the session's QuonTerm.ini for this language and output device.
  bool useSession(const std::string& language, const std::string& device);
  // Quon.ini names `server` (Servidor in section Dades): the record files are there.
  bool nameServer(const std::string& server);
  // The record files copied onto `server` with the installed kivdata, Quon.ini naming it,
  // and DADES put aside (as DADES.files, an empty DADES in its place) so that nothing can be
  // read from the SQLite files any more.
  bool moveToServer(const std::string& server, std::string& problem);
  // The installed kivdata holding the lock of the record at `position` of record file
  // DADES/`name` (position 0: the whole file) for `seconds`.
  std::vector<std::string> lockCommand(const std::string& name, int position,
                                       int seconds) const;

  const std::string& root() const { return root_; }
  std::string file(const std::string& name) const { return root_ + "/" + name; }
  std::string sessionDir() const { return root_ + "/SESSIO"; }
  std::string printFile() const { return sessionDir() + "/zideruva.tmp"; }
  std::string listing() const { return root_ + "/listing.txt"; }
  // KIVROOT, KIVTMP and KIVEXE for the installed programs.
  std::vector<std::string> environment() const;

 private:
  std::string root_;
};
