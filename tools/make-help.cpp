// Builds the help documents of dist/AJUDA from their readable sources: for each source
// NAME.txt it writes NAME.HLP (the console viewer's fixed records, 80 bytes a line) and
// NAME.HTM (the page for Windows terminals). The source format is described in
// src/ui/help_source.h. Build and run from the top of the tree:
//   cmake --build build --target make-help
//   build/make-help dist/AJUDA docs/help-source/*.txt
// The UI tests check that dist/AJUDA holds exactly what this makes of docs/help-source.
#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/files.h"
#include "ui/help_source.h"

namespace {

constexpr int RecordLength = 80;

bool makeHelp(const std::filesystem::path& outputDir, const std::filesystem::path& source) {
  const auto text = readFileBytes(source.string());
  if (!text) {
    std::fprintf(stderr, "make-help: cannot read %s\n", source.c_str());
    return false;
  }
  std::string records, page, problem;
  if (!buildHelpRecords(*text, RecordLength, records, problem) ||
      !buildHelpPage(*text, page, problem)) {
    std::fprintf(stderr, "make-help: %s: %s\n", source.c_str(), problem.c_str());
    return false;
  }
  const std::filesystem::path base = outputDir / source.stem();
  for (const auto& [extension, bytes] : {std::pair{".HLP", &records}, std::pair{".HTM", &page}}) {
    const std::string name = base.string() + extension;
    if (!writeFileBytes(name, *bytes)) {
      std::fprintf(stderr, "make-help: cannot write %s\n", name.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: make-help OUTPUT-DIR SOURCE.txt...\n");
    return 2;
  }
  bool ok = true;
  for (int i = 2; i < argc; ++i) ok = makeHelp(argv[1], argv[i]) && ok;
  return ok ? 0 : 1;
}
