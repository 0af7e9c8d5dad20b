// copy: every record file of an installation from one back end to the other (or to another
// directory or database of the same kind), one transaction per file.
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "commands.h"
#include "recman/record_file_server.h"
#include "record_file.h"

namespace fs = std::filesystem;

namespace {

// Where record files are: a directory of SQLite files, or a server's database.
struct RecordFileStore {
  std::string server;     // the connection string; empty for a directory
  std::string directory;  // the directory of the SQLite files
};

bool isConnectionString(const std::string& text) {
  return text.find('=') != std::string::npos || text.rfind("postgresql://", 0) == 0 ||
         text.rfind("postgres://", 0) == 0;
}

bool storeOf(const std::string& argument, RecordFileStore& store, std::string& problem) {
  if (isConnectionString(argument)) {
    store.server = argument;
    return true;
  }
  std::error_code error;
  if (!fs::is_directory(argument, error)) {
    problem = argument + " is neither a directory nor a connection string";
    return false;
  }
  store.directory = argument;
  return true;
}

// The same directory (under any name) or the same connection string on both sides.
bool sameStore(const RecordFileStore& a, const RecordFileStore& b) {
  if (!a.server.empty() || !b.server.empty()) return a.server == b.server;
  std::error_code error;
  return fs::equivalent(a.directory, b.directory, error);
}

// The names of the record files of a store, in name order.
bool fileNames(const RecordFileStore& store, std::vector<std::string>& names,
               std::string& problem) {
  if (!store.server.empty()) {
    int16_t status = listServerRecordFiles(store.server, names);
    if (status != RecordStatus::Success)
      problem = "cannot list the record files: " + describeStatus(status);
    return status == RecordStatus::Success;
  }
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(store.directory, error)) {
    std::string extension = entry.path().extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(), ::tolower);
    if (extension == ".dat" && entry.is_regular_file(error))
      names.push_back(entry.path().stem().string());
  }
  if (error) problem = "cannot read the directory " + store.directory + ": " + error.message();
  std::sort(names.begin(), names.end());
  return !error;
}

std::string pathIn(const RecordFileStore& store, const std::string& name) {
  return store.server.empty() ? (fs::path(store.directory) / (name + ".dat")).string() : name;
}

}  // namespace

int runCopy(const ParsedArguments& arguments) {
  RecordFileStore from, to;
  std::string problem;
  std::string existing = arguments.option("existing", "keep");
  if (existing != "keep" && existing != "replace")
    return commandUsage("copy", "--existing must be keep or replace, not \"" + existing + "\"");
  if (!storeOf(arguments.positional[0], from, problem) ||
      !storeOf(arguments.positional[1], to, problem))
    return commandUsage("copy", problem);
  if (sameStore(from, to))
    return commandUsage("copy", "FROM and TO are the same record files");

  std::vector<std::string> names;
  if (!fileNames(from, names, problem)) return commandFailed("copy", problem);
  size_t copied = 0;
  for (const std::string& name : names) {
    uint32_t records = 0;
    int16_t status = copyRecordFile(from.server, pathIn(from, name), to.server, pathIn(to, name),
                                    existing == "replace", records);
    if (status == RecordStatus::NotARecordFile && from.server.empty()) {
      commandDone("skipped " + pathIn(from, name) + ": not a record file");
      continue;
    }
    if (status != RecordStatus::Success) {
      std::string done =
          copied == 0 ? "nothing was copied"
                      : "the " + std::to_string(copied) + " files copied before it stay copied";
      return commandFailed("copy", "cannot copy " + pathIn(from, name) + " to " + pathIn(to, name) +
                                       ": " + describeStatus(status) + "; " + done);
    }
    ++copied;
    commandDone("copied " + name + ": " + std::to_string(records) + " records");
  }
  commandDone("copied " + std::to_string(copied) + " record files");
  return kExitSuccess;
}
