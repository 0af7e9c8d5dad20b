// Reading the open record files: keyed search, steps along the current key, physical
// positions, lock modes with a wait on locked records, and key values put into a file's
// sort order.
//
// Every operation names its file by file id. A read lands in the record variable bound to
// the file at open and keeps the file's keyValue current. Status 22 (the data buffer was
// too short for the whole record) counts as success: the record arrives cut.
#pragma once

#include <cstdint>
#include <string>

// Pairs of bytes (slot number, saved lock mode), newest last. Lives for the whole run.
extern std::string lockModeStack;

// The one call path for reads with lock handling: adds the lock bias when the file locks,
// copies the record variable in and out, and with lock mode 1 retries a locked record or
// file after random waits, showing the lock message from the second attempt on.
void callRecordManager(int16_t slot, int16_t operation, int16_t& status);

// Searches key keyNumber for keyText (zero-padded or cut to the key's length): equal when
// direction is 0, greater or equal when positive, less or equal when negative.
// status 3: not open; 1004: no such key (nothing changed).
void findRecord(int16_t fileId, int16_t keyNumber, const std::string& keyText,
                int16_t direction, int16_t& status);

// Moves count records along the current key (backwards when negative); only the last
// record read arrives in the record variable. count 0 does nothing.
void stepRecord(int16_t fileId, int16_t count, int16_t& status);

// position 0: the physical position of the current record, 0 on failure (or when the file
// is not open). Otherwise reads the record at that position and returns the status.
int32_t recordPosition(int16_t fileId, int32_t position);

// Each character of modeText in turn: "D" no lock, "A" lock and wait, "B" lock without
// waiting, "+" saves the current mode, "-" restores the file's last saved mode. Other
// characters are ignored. status 3 when the file is not open; otherwise unchanged.
void setLockMode(int16_t fileId, const std::string& modeText, int16_t& status);

// text put into the sort order of the file's current key, so that plain byte comparison
// of two such values is key order. Unchanged when the file is not open.
std::string keyCollationText(const std::string& text, int16_t fileId);
// keyCollationText of the file's keyValue; empty when the file is not open.
std::string currentKeyCollationText(int16_t fileId);
