// Key values and their sort form.
//
// A key value is its segments' bytes as they stand in the record, one after the other; that is
// what reads hand back in the key buffer. The index holds the sort form instead: binary segments
// reversed (little-endian numbers compare high byte first) and collated segments mapped through
// the file's table, so that plain byte comparison of sort forms is key order.
#pragma once

#include <cstdint>
#include <string>

#include "recman/file_layout.h"

// Copies key `key`'s value out of a record (key.length bytes into `out`).
void extractKeyValue(const KeyDefinition& key, const uint8_t* record, uint8_t* out);

// Sort form of a key value of key.length bytes, into `out` (replaced).
void sortFormOfKeyValue(const FileLayout& layout, const KeyDefinition& key, const uint8_t* keyValue,
                        std::string& out);

// Sort form of the key of a record.
void sortFormOfRecord(const FileLayout& layout, const KeyDefinition& key, const uint8_t* record,
                      std::string& out);
