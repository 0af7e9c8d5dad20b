// Speed of the property browse list on the in-memory console, on property files of
// different sizes (built in a temporary directory first, removed at the end):
//
//   BM_OpenFirstPage/N   the list opened on N properties, its first page drawn, Esc: the
//                        scan is lazy, so this should not grow with N
//   BM_PageThrough/N     every page of the list with PgDn, back to the top with PgUp, Esc:
//                        grows with N, once per line
//   BM_PageTwice/N       the same pass twice in one opening: the second pass reads every
//                        line from the list file and none from the record file, so the
//                        difference to BM_PageThrough is the cost of the list file alone
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "core/session_settings.h"
#include "locale/packed_digits.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/memory_console.h"
#include "recman/record_manager.h"
#include "records/record_file_table.h"
#include "records/record_layouts.h"
#include "resources/form_definition.h"
#include "ui/browse_list.h"
#include "ui/keyboard.h"
#include "ui/screen.h"
#include "ui/window_stack.h"

namespace {

constexpr int16_t PropertyFile = 506;
constexpr int16_t ListRows = 16;

// One installation per file size: root/ddf, root/DADES/FinquesV.dat, the session directory.
struct Installation {
  std::string root;
};

std::map<int, Installation> installations;
MemoryConsole* screen = nullptr;

void fail(const std::string& what) {
  std::fprintf(stderr, "browse_list_bench: %s\n", what.c_str());
  std::exit(1);
}

std::string buildInstallation(int properties) {
  char pattern[] = "/tmp/browse-bench-XXXXXX";
  if (!mkdtemp(pattern)) fail("no temporary directory");
  const std::string root = std::string(pattern) + "/";
  std::filesystem::create_directories(root + "ddf");
  std::filesystem::create_directories(root + "DADES");
  auto description = readFileBytes(std::string(KIV_SOURCE_DIR) + "/dist/ddf/FinquesV.xdf");
  if (!description || !writeFileBytes(root + "ddf/FinquesV.xdf", *description)) {
    fail("no description file");
  }
  sessionSettings.rootDir = root;
  int16_t status = 0;
  openRecordFile(PropertyFile, root + "DADES\\FinquesV", propertyRecord.bytes, status);
  if (status != 0) fail("cannot open the property file");
  RecordFileSlot& slot = recordFileTable.slots[findRecordFile(PropertyFile)];
  std::array<char, 256> key{};
  int32_t none = 0;
  recordManagerCall(RecordOp::BeginTransaction, slot.positionBlock.data(), nullptr, &none,
                    key.data(), 0, 0);
  for (int property = 1; property <= properties; ++property) {
    std::string record(static_cast<size_t>(slot.recordLength), ' ');
    record.replace(0, 2, packDigits(std::to_string(10000 + property).substr(1)));
    std::string address = "CARRER DE LA PROVA " + std::to_string(property);
    address.resize(30, ' ');
    record.replace(8, 30, address);
    int32_t length = static_cast<int32_t>(record.size());
    const int16_t inserted = recordManagerCall(RecordOp::Insert, slot.positionBlock.data(),
                                               record.data(), &length, key.data(), 255, 0);
    if (inserted != 0) fail("insert failed with status " + std::to_string(inserted));
  }
  recordManagerCall(RecordOp::EndTransaction, slot.positionBlock.data(), nullptr, &none, key.data(),
                    0, 0);
  resetRecordFiles(status);
  clearRecordFileTable();
  return root;
}

// Opens the installation's property file and the list on it.
void openInstallation(int properties) {
  auto found = installations.find(properties);
  if (found == installations.end()) {
    found = installations.emplace(properties, Installation{buildInstallation(properties)}).first;
  }
  const std::string& root = found->second.root;
  sessionSettings.rootDir = root;
  sessionSettings.tempDir = root;
  int16_t status = 0;
  clearRecordFileTable();
  openRecordFile(PropertyFile, root + "DADES\\FinquesV", propertyRecord.bytes, status);
  if (status != 0) fail("cannot open the property file");
  resetFormModel();
  formModel.browseListCount = 1;
  formModel.browseLists.resize(2);
  BrowseListDef& list = formModel.browseLists[1];
  list.recordFile = PropertyFile;
  list.boxTop = 4;
  list.boxLeft = 19;
  list.boxBottom = 4 + ListRows + 1;
  list.boxRight = 60;
  list.heading = "NUM._ADRECA_";
}

void closeInstallation() {
  int16_t status = 0;
  resetRecordFiles(status);
  clearRecordFileTable();
}

// Runs the list with keys typed at each wait: `pages` PgDn, as many PgUp, then Esc; or, with
// twice set, that whole pass twice before the Esc.
void runList(int pages, bool twice) {
  int typed = 0;
  const int pass = 2 * pages;
  const int total = twice ? 2 * pass : pass;
  screen->setIdleHandler([&](MemoryConsole& console) {
    if (typed >= total) {
      console.pushKey(KeyEsc);
      return;
    }
    console.pushKey(typed % pass < pages ? KeyPgDn : KeyPgUp);
    ++typed;
  });
  int16_t result = 0;
  runBrowseList(1, result);
  screen->setIdleHandler(nullptr);
}

void BM_OpenFirstPage(benchmark::State& state) {
  openInstallation(static_cast<int>(state.range(0)));
  for (auto _ : state) runList(0, false);
  closeInstallation();
}

void BM_PageThrough(benchmark::State& state) {
  const int properties = static_cast<int>(state.range(0));
  openInstallation(properties);
  const int pages = (properties + ListRows - 1) / ListRows;
  for (auto _ : state) runList(pages, false);
  state.counters["lines/s"] = benchmark::Counter(double(properties) * double(state.iterations()),
                                                 benchmark::Counter::kIsRate);
  closeInstallation();
}

void BM_PageTwice(benchmark::State& state) {
  const int properties = static_cast<int>(state.range(0));
  openInstallation(properties);
  const int pages = (properties + ListRows - 1) / ListRows;
  for (auto _ : state) runList(pages, true);
  closeInstallation();
}

BENCHMARK(BM_OpenFirstPage)->Arg(100)->Arg(9999)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PageThrough)->Arg(100)->Arg(9999)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PageTwice)->Arg(100)->Arg(9999)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  MemoryConsole console(25, 80);
  screen = &console;
  setConsole(&console);
  resetScreenState();
  resetWindowStack();
  resetKeyboardState();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  setConsole(nullptr);
  for (const auto& [count, installation] : installations) {
    std::filesystem::remove_all(installation.root);
  }
  return 0;
}
