#include "ui/window_stack.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "core/session_settings.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/terminal_restore.h"
#include "ui/screen.h"

int16_t windowDepth = 0;
WindowBox windowBox;

namespace {

constexpr int64_t HeaderSize = 4;
constexpr int64_t FieldsSize = 20;  // ten 2-digit fields
// Offsets in a record of the box that was innermost before the window and of its own box,
// after the cursor row and column.
constexpr int64_t PreviousBoxOffset = 4, OwnBoxOffset = 12;
constexpr int64_t LengthSize = 5;
constexpr int64_t EmptyFreePosition = HeaderSize + 1;

// What each openWindow did, innermost last, so that every closeWindow knows what it pairs
// with: a refused open is closed by doing nothing, and an opened window gets back the box
// below it even when the file was damaged meanwhile.
struct OpenedWindow {
  bool opened = false;
  bool saved = false;      // its record was written to the file
  WindowBox previous;      // innermost box before it opened
  WindowBox own;
  int64_t recordStart = 0; // 0-based file offsets of its record
  int64_t recordEnd = 0;
};
std::vector<OpenedWindow> openedWindows;

// What a signal that ends the run must undo: this run's records are in the stack file,
// which held only the free position kept here (5: no record, the file goes) before them.
// The path is resolved beforehand; the handler only opens, writes and unlinks.
struct RunRecords {
  char path[4096] = {};
  char freePosition[4] = {};
  bool removeFile = false;
};
RunRecords runRecords;
volatile sig_atomic_t runHasRecords = 0;

void dropRunRecords() {
  if (!runHasRecords) return;
  runHasRecords = 0;
  const int keep = errno;
  if (runRecords.removeFile) {
    ::unlink(runRecords.path);
  } else {
    const int fd = ::open(runRecords.path, O_WRONLY | O_CLOEXEC);
    if (fd >= 0) {
      [[maybe_unused]] ssize_t written = ::pwrite(fd, runRecords.freePosition, 4, 0);
      ::close(fd);
    }
  }
  errno = keep;
}

bool anySaved() {
  return std::any_of(openedWindows.begin(), openedWindows.end(),
                     [](const OpenedWindow& w) { return w.saved; });
}

std::string digits(int value, int width) {
  std::string text(width, '0');
  unsigned rest = static_cast<unsigned>(value < 0 ? -value : value);
  for (int i = width - 1; i >= 0; --i, rest /= 10) text[i] = static_cast<char>('0' + rest % 10);
  return text;
}

// The number in bytes [offset, offset + width) of data, or nothing when they are not all
// there or not all digits.
std::optional<int64_t> numberAt(const std::string& data, int64_t offset, int64_t width) {
  if (offset < 0 || offset + width > static_cast<int64_t>(data.size())) return std::nullopt;
  int64_t value = 0;
  for (int64_t i = offset; i < offset + width; ++i) {
    if (data[i] < '0' || data[i] > '9') return std::nullopt;
    value = value * 10 + (data[i] - '0');
  }
  return value;
}

int64_t cellCount(const WindowBox& box) {
  if (box.windowBottom < box.windowTop || box.windowRight < box.windowLeft) return 0;
  return int64_t{box.windowBottom - box.windowTop + 1} * (box.windowRight - box.windowLeft + 1);
}

std::string littleEndian32(int64_t value) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  return bytes;
}

int64_t readLittleEndian32(const std::string& data) {
  uint32_t value = 0;
  for (int i = 0; i < 4; ++i) value |= uint32_t{static_cast<uint8_t>(data[i])} << (8 * i);
  return static_cast<int32_t>(value);
}

int64_t fileSize(FILE* file) {
  if (std::fseek(file, 0, SEEK_END) != 0) return 0;
  long size = std::ftell(file);
  return size < 0 ? 0 : size;
}

bool writeAt(FILE* file, int64_t offset, const std::string& bytes) {
  return std::fseek(file, static_cast<long>(offset), SEEK_SET) == 0 &&
         std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

std::string readAll(FILE* file, int64_t size) {
  std::string data(static_cast<size_t>(size), '\0');
  if (std::fseek(file, 0, SEEK_SET) != 0) return "";
  data.resize(std::fread(data.data(), 1, data.size(), file));
  return data;
}

bool refusedBox(int16_t top, int16_t left, int16_t bottom, int16_t right) {
  const int rows = std::min<int>(screenRows(), 99);
  const int columns = std::min<int>(screenColumns(), 99);
  auto within = [](int value, int last) { return value >= 1 && value <= last; };
  return !within(top, rows) || !within(bottom, rows) || !within(left, columns) ||
         !within(right, columns);
}

std::string windowRecord(const WindowBox& box) {
  Console& screen = console();
  int16_t cursorRow = 0, cursorColumn = 0;
  screen.getCursor(cursorRow, cursorColumn);
  std::string record;
  for (int value : {int{cursorRow}, int{cursorColumn}, int{windowBox.windowTop},
                    int{windowBox.windowLeft}, int{windowBox.windowBottom},
                    int{windowBox.windowRight}, int{box.windowTop}, int{box.windowLeft},
                    int{box.windowBottom}, int{box.windowRight}}) {
    record += digits(value, 2);
  }
  for (int16_t row = box.windowTop; row <= box.windowBottom; ++row) {
    for (int16_t column = box.windowLeft; column <= box.windowRight; ++column) {
      ConsoleCell cell = screen.readCell(row, column);
      record += static_cast<char>(cell.character);
      record += static_cast<char>(cell.attribute);
    }
  }
  record += digits(static_cast<int>(record.size() + LengthSize), 5);
  return record;
}

// Paints back the saved cells that the record holds and that lie on the screen.
void repaint(const WindowBox& box, const std::string& data, int64_t cellsStart, int64_t cellsEnd) {
  Console& screen = console();
  const int64_t available = std::max<int64_t>(0, cellsEnd - cellsStart) / 2;
  const int64_t count = std::min(available, cellCount(box));
  const int width = box.windowRight - box.windowLeft + 1;
  for (int64_t i = 0; i < count; ++i) {
    const int row = box.windowTop + static_cast<int>(i / width);
    const int column = box.windowLeft + static_cast<int>(i % width);
    if (row < 1 || row > screen.bufferRows() || column < 1 || column > screen.bufferColumns()) {
      continue;
    }
    const uint8_t character = static_cast<uint8_t>(data[cellsStart + 2 * i]);
    const uint8_t attribute = static_cast<uint8_t>(data[cellsStart + 2 * i + 1]);
    screen.setColour(attribute % 16, attribute / 16);
    screen.setCursor(static_cast<int16_t>(row), static_cast<int16_t>(column));
    screen.writeText(std::string(1, static_cast<char>(character)));
  }
}

std::optional<WindowBox> boxAt(const std::string& data, int64_t offset) {
  int16_t values[4];
  for (int i = 0; i < 4; ++i) {
    auto value = numberAt(data, offset + 2 * i, 2);
    if (!value) return std::nullopt;
    values[i] = static_cast<int16_t>(*value);
  }
  return WindowBox{values[0], values[1], values[2], values[3]};
}

struct RecordPlace {
  int64_t start, end;  // 0-based, end exclusive
};

// The innermost record as the file describes it: it ends before the free position and
// starts its length before that. Nothing when the header or the length is unusable.
std::optional<RecordPlace> recordFromFile(const std::string& data) {
  const int64_t size = static_cast<int64_t>(data.size());
  const int64_t end = readLittleEndian32(data) - 1;
  if (end < HeaderSize + FieldsSize + LengthSize || end > size) return std::nullopt;
  auto length = numberAt(data, end - LengthSize, LengthSize);
  if (!length || *length < FieldsSize + LengthSize || end - *length < HeaderSize) {
    return std::nullopt;
  }
  return RecordPlace{end - *length, end};
}

// Before the run's first record goes into the file: how to give the file back should a
// signal end the run with windows open.
void rememberRunStart(const std::string& name, int64_t freePosition) {
  const std::string path = resolvePath(name);
  if (path.size() >= sizeof runRecords.path) return;  // left as it is, as before
  runHasRecords = 0;
  std::memcpy(runRecords.path, path.c_str(), path.size() + 1);
  const std::string position = littleEndian32(freePosition);
  std::memcpy(runRecords.freePosition, position.data(), 4);
  runRecords.removeFile = freePosition <= EmptyFreePosition;
  setFatalSignalCleanup(dropRunRecords);
}

}  // namespace

std::string windowStackFileName() { return sessionSettings.tempDir + "WinPush.tmp"; }

bool openWindow(int16_t top, int16_t left, int16_t bottom, int16_t right) {
  if (refusedBox(top, left, bottom, right)) {
    openedWindows.push_back({});
    return false;
  }
  OpenedWindow entry{true, false, windowBox, WindowBox{top, left, bottom, right}, 0, 0};
  const std::string name = windowStackFileName();
  FILE* file = openFile(name, "r+b");
  if (!file && !fileExists(name)) file = openFile(name, "w+b");
  if (file) {
    const int64_t size = fileSize(file);
    int64_t freePosition = EmptyFreePosition;
    if (size >= HeaderSize) {
      std::string header(4, '\0');
      if (std::fseek(file, 0, SEEK_SET) == 0 && std::fread(header.data(), 1, 4, file) == 4) {
        // A damaged position never points into the header nor leaves a gap.
        freePosition = std::clamp(readLittleEndian32(header), EmptyFreePosition, size + 1);
      }
    }
    const std::string record = windowRecord(entry.own);
    const int64_t start = freePosition - 1;
    if (!anySaved()) rememberRunStart(name, freePosition);
    entry.saved = writeAt(file, start, record) &&
                  writeAt(file, 0, littleEndian32(freePosition + record.size()));
    entry.recordStart = start;
    entry.recordEnd = start + static_cast<int64_t>(record.size());
    std::fclose(file);
  }
  openedWindows.push_back(entry);
  runHasRecords = anySaved() ? 1 : 0;
  windowBox = entry.own;
  ++windowDepth;
  return true;
}

void closeWindow() {
  std::optional<OpenedWindow> entry;
  if (!openedWindows.empty()) {
    entry = openedWindows.back();
    openedWindows.pop_back();
    // Once the run's last record is closed, the file is as the run found it.
    runHasRecords = anySaved() ? 1 : 0;
    if (!entry->opened) return;  // pairs with a refused open
  }
  if (entry) {
    // A window opened in this run always gives back the box below it and its depth.
    windowBox = entry->previous;
    --windowDepth;
    if (!entry->saved) return;  // nothing of it in the file
  }

  const std::string name = windowStackFileName();
  FILE* file = openFile(name, "r+b");
  const int64_t size = file ? fileSize(file) : 0;
  if (size < HeaderSize) {
    if (file) std::fclose(file);
    removeFile(name);
    return;
  }
  if (!entry) --windowDepth;
  const std::string data = readAll(file, size);

  // A window of this run knows where its record was written, whatever the header or the
  // length field say now; a close without an open of this run walks the file.
  std::optional<RecordPlace> place =
      entry ? std::optional(RecordPlace{entry->recordStart, entry->recordEnd})
            : recordFromFile(data);
  int64_t newFreePosition = EmptyFreePosition;
  if (place) {
    const int64_t start = place->start;
    std::optional<WindowBox> own =
        entry ? std::optional(entry->own) : boxAt(data, start + OwnBoxOffset);
    if (!entry) {
      if (auto previous = boxAt(data, start + PreviousBoxOffset)) windowBox = *previous;
    }
    // A file cut short still gives back the cells it holds.
    if (own) {
      repaint(*own, data, start + FieldsSize,
              std::min<int64_t>(place->end - LengthSize, data.size()));
    }
    auto row = numberAt(data, start, 2), column = numberAt(data, start + 2, 2);
    if (row && column) {
      console().setCursor(static_cast<int16_t>(*row), static_cast<int16_t>(*column));
    }
    newFreePosition = start + 1;
  }
  // Without a usable record the stack in the file cannot be walked any further: it goes.
  writeAt(file, 0, littleEndian32(newFreePosition));
  std::fclose(file);
  if (newFreePosition <= EmptyFreePosition) removeFile(name);
}

void resetWindowStack() {
  windowDepth = 0;
  windowBox = WindowBox{};
  openedWindows.clear();
  runHasRecords = 0;
}
