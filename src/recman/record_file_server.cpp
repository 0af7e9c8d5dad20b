#include "recman/record_file_server.h"

#include <filesystem>
#include <optional>

#include "platform/files.h"
#include "recman/postgres_record_store.h"
#include "recman/record_manager.h"
#include "recman/record_storage.h"

namespace {

std::string upperAscii(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = char(c - 32);
  return text;
}

std::string trimmed(const std::string& text) {
  size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// One value of an INI file written the application's way: "[section]" headers, key=value
// lines, ";" starting a comment, names without regard to case, a value in double quotes
// without them. Lines may end with CR LF, CR or LF.
std::string iniValue(const std::string& bytes, const std::string& section, const std::string& key) {
  bool inSection = false;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find_first_of("\r\n\x1A", start);
    if (end == std::string::npos) end = bytes.size();
    std::string line = bytes.substr(start, end - start);
    if (end < bytes.size() && bytes[end] == '\x1A') end = bytes.size();
    start = end + 1;
    line = trimmed(line.substr(0, line.find(';')));
    if (line.empty()) continue;
    if (line[0] == '[') {
      if (inSection) break;
      size_t close = line.find(']');
      inSection =
          upperAscii(trimmed(line.substr(1, close == std::string::npos ? close : close - 1))) ==
          upperAscii(section);
      continue;
    }
    size_t equals = line.find('=');
    if (!inSection || equals == std::string::npos) continue;
    if (upperAscii(trimmed(line.substr(0, equals))) != upperAscii(key)) continue;
    std::string value = trimmed(line.substr(equals + 1));
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    return value;
  }
  return "";
}

}  // namespace

std::string recordFileServer(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::path file = fs::absolute(fs::path(path), error).lexically_normal();
  if (error) return "";
  fs::path root = file.parent_path().parent_path();
  std::optional<std::string> ini = readFileBytes(resolvePath((root / "Quon.ini").string()));
  return ini ? iniValue(*ini, "Dades", "Servidor") : "";
}

std::string recordFileBaseName(const std::string& path) {
  size_t slash = path.find_last_of("/\\:");
  std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
  return last.substr(0, last.find('.'));
}

int16_t listServerRecordFiles(const std::string& server, std::vector<std::string>& names) {
  return PostgresRecordStore::listFiles(server, names);
}

int16_t copyRecordFile(const std::string& fromServer, const std::string& fromPath,
                       const std::string& toServer, const std::string& toPath, bool replace,
                       uint32_t& records) {
  records = 0;
  std::unique_ptr<RecordStore> source;
  int16_t status = openRecordStoreOn(fromServer, fromPath, true, source);
  if (status == RecordStatus::Success) status = source->lockFile(false);
  if (status != RecordStatus::Success) return status;
  std::unique_ptr<RecordLoader> loader;
  status = beginRecordLoad(toServer, toPath, source->layout(), replace, loader);
  if (status != RecordStatus::Success) return status;

  // Along key 0 in one snapshot: the store's snapshot only ends when asked to.
  FoundRecord found;
  status = source->seek(0, SeekMode::First, std::string(), 0, found);
  std::string sortForm;
  while (status == RecordStatus::Success) {
    status = loader->add(found.position, found.data);
    if (status != RecordStatus::Success) return status;
    ++records;
    sortForm.assign(reinterpret_cast<const char*>(found.sortForm), size_t(found.sortLength));
    status = source->seek(0, SeekMode::After, sortForm, found.position, found);
  }
  if (status != RecordStatus::EndOfFile) return status;
  source->endSnapshot();
  return loader->finish();
}
