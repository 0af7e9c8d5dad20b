// The record manager: keyed files of fixed-length records, stored as SQLite files or as
// tables of the installation's PostgreSQL database (record_file_server.h).
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

// Operation codes.
namespace RecordOp {
constexpr int16_t Open = 0;
constexpr int16_t Close = 1;
constexpr int16_t Insert = 2;
constexpr int16_t Update = 3;
constexpr int16_t Delete = 4;
constexpr int16_t GetEqual = 5;
constexpr int16_t GetNext = 6;
constexpr int16_t GetPrevious = 7;
constexpr int16_t GetGreater = 8;
constexpr int16_t GetGreaterOrEqual = 9;
constexpr int16_t GetLess = 10;
constexpr int16_t GetLessOrEqual = 11;
constexpr int16_t GetFirst = 12;
constexpr int16_t GetLast = 13;
constexpr int16_t Create = 14;
constexpr int16_t Stat = 15;
// One transaction over every file of the process: the writes between Begin and End are
// committed together per file, or none of them (Abort, Reset, or the process dies).
constexpr int16_t BeginTransaction = 19;
constexpr int16_t EndTransaction = 20;
constexpr int16_t AbortTransaction = 21;
constexpr int16_t GetPosition = 22;
constexpr int16_t GetDirect = 23;
constexpr int16_t Unlock = 27;
constexpr int16_t Reset = 28;
// Added to a read's code: lock the record read, waiting for it / failing at once.
constexpr int16_t LockWait = 100;
constexpr int16_t LockNoWait = 200;
}  // namespace RecordOp

// Key number of Open.
namespace RecordOpenMode {
constexpr int8_t Normal = 0;
constexpr int8_t ReadOnly = -2;
constexpr int8_t Exclusive = -4;
}  // namespace RecordOpenMode

// Key number of Create.
namespace RecordCreateMode {
constexpr int8_t Replace = 0;
constexpr int8_t KeepExisting = -1;
}  // namespace RecordCreateMode

namespace RecordStatus {
constexpr int16_t Success = 0;
constexpr int16_t InvalidOperation = 1;
constexpr int16_t IoError = 2;
constexpr int16_t FileNotOpen = 3;
constexpr int16_t KeyNotFound = 4;
constexpr int16_t DuplicateKey = 5;
constexpr int16_t InvalidKeyNumber = 6;
constexpr int16_t InvalidPositioning = 8;
constexpr int16_t EndOfFile = 9;
constexpr int16_t FileNotFound = 12;
constexpr int16_t DiskFull = 18;
// The installation's database server could not be reached (refused, timed out after a few
// seconds, authentication refused) or the connection to it was lost.
constexpr int16_t ServerUnreachable = 20;
constexpr int16_t DataBufferTooShort = 22;
constexpr int16_t InvalidRecordLength = 28;
constexpr int16_t NotARecordFile = 30;
constexpr int16_t AccessDenied = 46;
constexpr int16_t FileExists = 59;
constexpr int16_t RecordLocked = 84;
constexpr int16_t FileLocked = 85;
}  // namespace RecordStatus

// Limits enforced at Create.
constexpr int RecordMaxLength = 1536;
constexpr int RecordMaxKeyLength = 255;

// Flags of a key segment in the creation and Stat data.
namespace SegmentFlag {
constexpr uint16_t Duplicates = 0x0001;
constexpr uint16_t Binary = 0x0004;
constexpr uint16_t Continues = 0x0010;
constexpr uint16_t Collated = 0x0020;
}  // namespace SegmentFlag
