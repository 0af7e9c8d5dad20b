#include "recman/open_files.h"

#include <pthread.h>

#include <cstring>

#include "recman/file_layout.h"

namespace {

constexpr uint8_t HandleTag[4] = {'k', 'i', 'v', 'H'};

struct Slot {
  std::unique_ptr<OpenFile> file;
  uint32_t generation = 0;
};

std::vector<Slot> slots;
uint32_t nextGeneration = 1;
bool inheritedByFork = false;

void markForked() {
  inheritedByFork = true;
  forgetInheritedFiles();
}

void watchForks() {
  static bool registered = (pthread_atfork(nullptr, nullptr, markForked), true);
  (void)registered;
}

// Slot index of a position block, or -1.
int slotOf(const uint8_t* positionBlock) {
  if (!positionBlock || std::memcmp(positionBlock, HandleTag, 4) != 0) return -1;
  uint32_t index = readLe32(positionBlock + 4);
  uint32_t generation = readLe32(positionBlock + 8);
  if (index >= slots.size() || !slots[index].file || slots[index].generation != generation)
    return -1;
  return int(index);
}

}  // namespace

OpenFile* findOpenFile(const uint8_t* positionBlock) {
  int index = slotOf(positionBlock);
  return index < 0 ? nullptr : slots[size_t(index)].file.get();
}

void registerOpenFile(uint8_t* positionBlock, std::unique_ptr<OpenFile> file) {
  watchForks();
  size_t index = 0;
  while (index < slots.size() && slots[index].file) ++index;
  if (index == slots.size()) slots.emplace_back();
  slots[index].file = std::move(file);
  slots[index].generation = nextGeneration++;
  std::memcpy(positionBlock, HandleTag, 4);
  writeLe32(positionBlock + 4, uint32_t(index));
  writeLe32(positionBlock + 8, slots[index].generation);
}

void closeOpenFile(uint8_t* positionBlock) {
  int index = slotOf(positionBlock);
  if (index < 0) return;
  slots[size_t(index)].file.reset();
  std::memset(positionBlock, 0, 12);
}

void closeAllOpenFiles() {
  for (Slot& slot : slots) slot.file.reset();
}

std::vector<OpenFile*> allOpenFiles() {
  std::vector<OpenFile*> files;
  for (Slot& slot : slots)
    if (slot.file) files.push_back(slot.file.get());
  return files;
}

void forgetInheritedFiles() {
  if (!inheritedByFork) return;
  inheritedByFork = false;
  for (Slot& slot : slots) {
    if (!slot.file) continue;
    slot.file->store->abandon();
    (void)slot.file.release();  // deliberately leaked: its connection belongs to the parent
  }
}
