// The record manager: keyed files of fixed-length records, stored in SQLite.
//
// One entry point with the classic arguments. The operation codes, statuses, the creation
// and Stat data layout and the locks are described in docs/record-files.md.
#pragma once

#include <cstdint>

constexpr int RecordManagerPositionBlockSize = 128;

// operation: the operation code, plus 100 or 200 for a single-record lock on reads.
// positionBlock: 128 bytes owned by the caller; the engine keeps its handle in it.
// data / dataLength: the data buffer and, in and out, the number of bytes in it.
// key / keyLength: the key buffer and its length (8-bit).
// keyNumber: the key (index) number, or the open / create mode.
// Returns the status, 0 = success.
int16_t recordManagerCall(int16_t operation, uint8_t* positionBlock, void* data,
                          int32_t* dataLength, void* key, uint8_t keyLength, int8_t keyNumber);

// Ends the shared read snapshot of this process, so that other processes' writes are not
// held up. The module calls it before it waits for input, sleeps or starts another program.
void endReadSnapshot();
