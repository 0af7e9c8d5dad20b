// The files this process has open, one per position block.
//
// A position block holds only a tag, the slot of the open file in this table and the slot's
// generation, so a stale or foreign block is refused (FileNotOpen) instead of being trusted.
// Each open file keeps its own storage (connection and locks) and place in the current key.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "recman/record_storage.h"

struct OpenFile {
  std::unique_ptr<RecordStore> store;

  // Place in the current key: the sort form and position of the record read last, kept after
  // that record is deleted so that Next and Previous still step from there.
  int key = 0;
  bool positioned = false;
  bool onRecord = false;  // the place is a living record (Get Position, Update, Delete)
  std::string sortForm;
  uint32_t position = 0;

  uint32_t lockedPosition = 0;  // the single record lock held, 0 = none
};

// The open file named by a position block, or null.
OpenFile* findOpenFile(const uint8_t* positionBlock);
// Enters a file in the table and writes its handle into the position block.
void registerOpenFile(uint8_t* positionBlock, std::unique_ptr<OpenFile> file);
// Closes the file of a position block and clears the block's handle.
void closeOpenFile(uint8_t* positionBlock);
void closeAllOpenFiles();
// Every open file, for operations over the whole process.
std::vector<OpenFile*> allOpenFiles();

// In a child made by fork(), the table inherited from the parent is dropped without touching
// the parent's connections or locks (done as the child starts, so that even its exit leaves
// them alone). Cheap when nothing was inherited.
void forgetInheritedFiles();
