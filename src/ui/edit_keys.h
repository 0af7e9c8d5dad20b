// What the field editor needs of its exit-key lists beyond the public commands.
#pragma once

#include <cstdint>

// Byte offset of key in exitKeyCodes, searched at entry boundaries only; -1 when absent.
int exitKeyIndex(int16_t key);
// True when key ends an edit: any key while no exit keys are set, else an exit key, which
// is then replaced by the code reported for it.
bool takeExitKey(int16_t& key);
