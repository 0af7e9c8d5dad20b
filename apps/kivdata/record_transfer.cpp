// load and dump: records of a file in the hex or seq form.
#include <fstream>
#include <iostream>

#include "commands.h"
#include "platform/files.h"
#include "record_file.h"
#include "record_formats.h"

namespace {

bool formatOption(const ParsedArguments& arguments, RecordFormat& format, std::string& problem) {
  format = RecordFormat::Hex;
  if (!arguments.has("format") || parseRecordFormat(arguments.option("format"), format))
    return true;
  problem = "--format must be hex or seq, not \"" + arguments.option("format") + "\"";
  return false;
}

}  // namespace

int runLoad(const ParsedArguments& arguments) {
  RecordFormat format;
  std::string problem;
  if (!formatOption(arguments, format, problem)) return commandUsage("load", problem);
  std::string path = recordFilePath(arguments.positional[0]);
  std::string inputName = arguments.positional.size() > 1 ? arguments.positional[1] : "-";
  std::ifstream inputFile;
  if (inputName != "-") {
    inputFile.open(resolvePath(inputName), std::ios::binary);
    if (!inputFile) return commandFailed("load", "cannot read " + inputName);
  }
  std::istream& input = inputName == "-" ? std::cin : inputFile;
  std::string shownInput = inputName == "-" ? "standard input" : inputName;

  RecordFile file;
  int16_t status = file.open(path);
  if (status != RecordStatus::Success)
    return commandFailed("load", "cannot open " + path + ": " + describeStatus(status));
  long count = 0;
  bool stored = inOneTransaction(
      [&](std::string& failure) {
        RecordReader reader(input, format);
        std::string record;
        while (reader.next(record, failure)) {
          status = file.insert(record);
          if (status != RecordStatus::Success) {
            failure = shownInput + " " + reader.place() + ": " + describeStatus(status);
            return false;
          }
          ++count;
        }
        if (!failure.empty()) failure = shownInput + " " + failure;
        return failure.empty();
      },
      problem);
  if (!stored) return commandFailed("load", problem + "; nothing was loaded into " + path);
  commandDone("loaded " + std::to_string(count) + " records into " + path);
  return kExitSuccess;
}

int runDump(const ParsedArguments& arguments) {
  RecordFormat format;
  std::string problem;
  long long key = 0;
  if (!formatOption(arguments, format, problem) ||
      !integerOption(arguments, "key", 0, MaxKeys - 1, 0, key, problem))
    return commandUsage("dump", problem);
  std::string path = recordFilePath(arguments.positional[0]);
  RecordFile file;
  int16_t status = file.open(path, RecordOpenMode::ReadOnly);
  if (status != RecordStatus::Success)
    return commandFailed("dump", "cannot open " + path + ": " + describeStatus(status));
  std::string record;
  for (status = file.first(static_cast<int>(key), record); status == RecordStatus::Success;
       status = file.next(record))
    std::cout << formatRecord(record, format);
  std::cout.flush();
  if (status != RecordStatus::EndOfFile)
    return commandFailed("dump", "cannot read " + path + " by key " + std::to_string(key) + ": " +
                                     describeStatus(status));
  return kExitSuccess;
}
