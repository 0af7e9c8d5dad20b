#include "commands.h"

#include <cstdio>
#include <iostream>

namespace {

const char* const kFileNote =
    "FILE is a record file; \".dat\" is added when its last component has no extension\n"
    "(DADES/FinquesV is DADES/FinquesV.dat).\n";

std::vector<Command> buildCommands() {
  std::string file = kFileNote;
  return {
      {"create", "FILE DESCRIPTION",
       "Creates the empty record file FILE from the description file DESCRIPTION (a 2-byte\n"
       "little-endian length N, then N bytes of creation data, as the files under ddf/).\n"
       "An existing FILE is never replaced.\n" + file,
       {2, 0, {}}, runCreate},
      {"stat", "FILE",
       "Shows the record length, the number of records and the keys of FILE.\n" + file,
       {1, 0, {}}, runStat},
      {"load", "FILE [--format hex|seq] [INPUT]",
       "Inserts the records read from INPUT (standard input when absent or \"-\") into FILE,\n"
       "in one transaction: when any record is malformed or refused, none is stored.\n"
       "  --format hex  one record per line, two hexadecimal digits a byte (the default)\n"
       "  --format seq  the record length in decimal, a comma, the record bytes, CR LF;\n"
       "                a final end-of-file byte 0x1A is accepted\n" + file,
       {1, 1, {"format"}}, runLoad},
      {"dump", "FILE [--key N] [--format hex|seq]",
       "Writes every record of FILE to standard output in the order of key N (0 when not\n"
       "given), in the form that `load` reads.\n"
       "  --key N        the key whose order is followed\n"
       "  --format       hex (the default) or seq, as for `load`\n" + file,
       {1, 0, {"key", "format"}}, runDump},
      {"import", "properties|apartments|concepts FILE CSV",
       "Inserts the rows of the UTF-8 CSV file CSV (\"-\": standard input) into the record\n"
       "file FILE, in one transaction. The first row names the columns, in any order:\n"
       "  properties  code, address, address_flag\n"
       "  apartments  property, apartment, designation, own_address, tenant,\n"
       "              amount1 .. amount10, extra1_code, extra1_amount, extra2_code,\n"
       "              extra2_amount, extra3_code, extra3_amount, last_code, last_amount\n"
       "  concepts    code, name, kind\n"
       "The key columns (code; property and apartment) are required, a missing column is\n"
       "blank or zero. Numbers are whole decimal numbers; amounts are in hundredths. A\n"
       "tenant of 0 or empty marks a vacant apartment. A concept code is its key byte:\n"
       "1 to 10 for the fixed concepts, 128 + n for the extra concept n. Text is stored in\n"
       "code page 850. A character the code page lacks, a text too long, a number out of\n"
       "range or a duplicate key stops the import with its line and column, and nothing of\n"
       "the import is stored.\n" + file,
       {3, 0, {}}, runImport},
      {"export", "properties|apartments|concepts FILE [CSV]",
       "Writes the records of FILE in key order as a UTF-8 CSV file with the columns that\n"
       "`import` reads, to CSV or to standard output.\n" + file,
       {2, 1, {}}, runExport},
      {"lock", "FILE [--record POSITION] --seconds N",
       "Holds an exclusive lock on FILE, or with --record the lock of the record at\n"
       "POSITION, for N seconds, then lets it go. Prints one line once the lock is held.\n"
       "For tests and drills of the programs that wait on locks.\n" + file,
       {1, 0, {"record", "seconds"}}, runLock},
      {"copy", "FROM TO [--existing keep|replace]",
       "Copies every record file of FROM into TO, each in one transaction: the same creation\n"
       "data and every record at its position. FROM and TO are each a directory of record\n"
       "files (the SQLite files *.dat, such as DADES of an installation) or the connection\n"
       "string of a PostgreSQL database (\"host=db dbname=kiv\", \"postgresql://db/kiv\"), as\n"
       "Servidor in section Dades of Quon.ini names it. FROM is never changed; a file of a\n"
       "directory that is not a record file is skipped. A file that TO already holds stops the\n"
       "copy (the files copied before it stay) unless --existing replace: then it is replaced,\n"
       "when nobody has it open.\n"
       "  --existing keep|replace   what to do with a file TO already holds (default keep)\n"
       "To move an installation onto a server: kivdata copy DADES \"host=db dbname=kiv\", then\n"
       "add \"Servidor=host=db dbname=kiv\" to section [Dades] of its Quon.ini.\n",
       {2, 0, {"existing"}}, runCopy},
      {"demo", "DIR [--properties N] [--apartments-per-property N] [--vacant PERCENT] "
               "[--seed S] [--date YYYYMMDD]",
       "Makes a whole demo installation in DIR (a new or empty directory): the files of the\n"
       "dist/ tree (forms, locale, help, description files), the record files\n"
       "DADES/FinquesV.dat, DepartaV.dat and TVRebut.dat filled with made-up properties,\n"
       "apartments and receipt concepts, Quon.ini, and the session directory SESSIO with\n"
       "Sessio.ini and QuonTerm.ini. The same options always give the same data.\n"
       "  --properties N               number of properties (default 40)\n"
       "  --apartments-per-property N  apartments of each property (default 8)\n"
       "  --vacant PERCENT             share of vacant apartments (default 12)\n"
       "  --seed S                     seed of the made-up data (default 1)\n"
       "  --date YYYYMMDD              the session date (default today)\n"
       "Start the module on it with KIVROOT=DIR/ KIVTMP=DIR/SESSIO/ (see scripts/run-demo).\n",
       {1, 0, {"properties", "apartments-per-property", "vacant", "seed", "date"}}, runDemo},
      {"init", "DIR",
       "Makes an empty installation in DIR (a new or empty directory): the files of the\n"
       "dist/ tree (forms, locale, help, description files), an empty record file\n"
       "DADES/NAME.dat for every description file ddf/NAME.xdf, and Quon.ini with every\n"
       "key commented out at its default. Fill the record files with `import` or `load`;\n"
       "each session needs its own directory (KIVTMP) with QuonTerm.ini and Sessio.ini.\n",
       {1, 0, {}}, runInit},
  };
}

std::string usageLine(const Command& command) {
  return "usage: kivdata " + command.name + " " + command.synopsis + "\n";
}

std::string overview() {
  std::string text =
      "kivdata: the record-file tool of the installation.\n"
      "usage: kivdata COMMAND [ARGUMENTS]   (kivdata COMMAND --help for its help)\n\n";
  for (const Command& command : kivdataCommands())
    text += "  kivdata " + command.name + " " + command.synopsis + "\n";
  text += "\nExit codes: 0 success, 1 failure, 2 wrong usage.\n";
  return text;
}

const Command* findCommand(const std::string& name) {
  for (const Command& command : kivdataCommands())
    if (command.name == name) return &command;
  return nullptr;
}

}  // namespace

const std::vector<Command>& kivdataCommands() {
  static const std::vector<Command> commands = buildCommands();
  return commands;
}

int commandFailed(const std::string& command, const std::string& message) {
  std::cerr << "kivdata " << command << ": " << message << "\n";
  return kExitFailure;
}

int commandUsage(const std::string& command, const std::string& message) {
  std::cerr << "kivdata " << command << ": " << message << "\n";
  if (const Command* found = findCommand(command)) std::cerr << usageLine(*found);
  std::cerr << "Try 'kivdata " << command << " --help'.\n";
  return kExitUsage;
}

void commandDone(const std::string& message) { std::cout << message << "\n" << std::flush; }

int runKivdata(const std::vector<std::string>& arguments) {
  if (arguments.empty()) {
    std::cerr << overview();
    return kExitUsage;
  }
  const std::string& name = arguments[0];
  if (name == "--help" || name == "-h" || name == "help") {
    std::cout << overview();
    return kExitSuccess;
  }
  const Command* command = findCommand(name);
  if (!command) {
    std::cerr << "kivdata: unknown command \"" << name << "\"\n" << overview();
    return kExitUsage;
  }
  ParsedArguments parsed;
  std::string problem;
  std::vector<std::string> rest(arguments.begin() + 1, arguments.end());
  switch (parseArguments(command->syntax, rest, parsed, problem)) {
    case ParseResult::Help:
      std::cout << usageLine(*command) << "\n" << command->help;
      return kExitSuccess;
    case ParseResult::Usage:
      return commandUsage(command->name, problem);
    case ParseResult::Run:
      break;
  }
  return command->run(parsed);
}
