// create, stat and lock: commands on a record file as a whole.
#include <chrono>
#include <iostream>
#include <thread>

#include "commands.h"
#include "record_file.h"

namespace {

std::string describeKey(const KeyDefinition& key) {
  std::string text;
  for (const KeySegment& segment : key.segments) {
    if (!text.empty()) text += " + ";
    text += "offset " + std::to_string(segment.offset) + " length " +
            std::to_string(segment.length);
    if (segment.flags & SegmentFlag::Binary) text += " binary";
    if (segment.flags & SegmentFlag::Collated) text += " collated";
  }
  return text + (key.duplicates ? ", duplicates allowed" : ", unique");
}

}  // namespace

int runCreate(const ParsedArguments& arguments) {
  std::string path = recordFilePath(arguments.positional[0]);
  std::string creationData, problem;
  if (!readDescriptionFile(arguments.positional[1], creationData, problem))
    return commandFailed("create", problem);
  int16_t status = createRecordFile(path, creationData);
  if (status != RecordStatus::Success)
    return commandFailed("create", "cannot create " + path + ": " + describeStatus(status));
  commandDone("created " + path);
  return kExitSuccess;
}

int runStat(const ParsedArguments& arguments) {
  std::string path = recordFilePath(arguments.positional[0]);
  RecordFile file;
  int16_t status = file.open(path, RecordOpenMode::ReadOnly);
  if (status != RecordStatus::Success)
    return commandFailed("stat", "cannot open " + path + ": " + describeStatus(status));
  FileLayout layout;
  uint32_t records = 0;
  status = file.stat(layout, records);
  if (status != RecordStatus::Success)
    return commandFailed("stat", "cannot read the description of " + path + ": " +
                                     describeStatus(status));
  std::string text = "file: " + path + "\nrecord length: " + std::to_string(layout.recordLength) +
                     "\nrecords: " + std::to_string(records) +
                     "\nkeys: " + std::to_string(layout.keys.size()) + "\n";
  for (size_t k = 0; k < layout.keys.size(); ++k)
    text += "key " + std::to_string(k) + ": " + describeKey(layout.keys[k]) + "\n";
  std::cout << text << std::flush;
  return kExitSuccess;
}

int runLock(const ParsedArguments& arguments) {
  std::string path = recordFilePath(arguments.positional[0]);
  std::string problem;
  long long seconds = 0, position = 0;
  if (!arguments.has("seconds")) return commandUsage("lock", "--seconds is required");
  if (!integerOption(arguments, "seconds", 0, 86400, 0, seconds, problem) ||
      !integerOption(arguments, "record", 1, INT32_MAX, 0, position, problem))
    return commandUsage("lock", problem);

  RecordFile file;
  bool wholeFile = !arguments.has("record");
  int16_t status =
      file.open(path, wholeFile ? RecordOpenMode::Exclusive : RecordOpenMode::Normal);
  if (status != RecordStatus::Success)
    return commandFailed("lock", "cannot open " + path + ": " + describeStatus(status));
  std::string what = path;
  if (!wholeFile) {
    what = "record " + std::to_string(position) + " of " + path;
    status = file.lockRecord(static_cast<uint32_t>(position));
    if (status != RecordStatus::Success)
      return commandFailed("lock", "cannot lock " + what + ": " + describeStatus(status));
  }
  endReadSnapshot();  // hold the lock only, not a read snapshot that would stall writers
  commandDone("locked " + what + " for " + std::to_string(seconds) + " seconds");
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  return kExitSuccess;
}
