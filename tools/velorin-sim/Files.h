// The simulator's files: the flash file that keeps the adapter's records across runs and the seed
// it starts from (both .kvf files, through model's reader and atomic writer), and pad-state
// scripts. The firmware itself (core/sim/) touches no file.
#pragma once

#include "core/sim/Firmware.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velorin::sim {

// Replaces the records with the first 108 bytes of a regular file, like the window's load.
bool loadSeed(RecordStore& records, const std::string& seed, std::string* error);

// The records kept in a flash file.
class Flash {
public:
    // Loads the flash file into `records`, or creates it from `seed` (or the records as they are)
    // when it does not exist yet. An existing flash file is the adapter's memory: it is never
    // overwritten when it is unreadable.
    bool attach(RecordStore& records, const std::string& flash, const std::string& seed, std::string* error);
    bool attached() const { return !path_.empty(); }
    // Writes all four records atomically.
    bool save(const RecordStore& records, std::string* error) const;

private:
    std::string path_;
};

// The pad states of a script file (core/sim/PadStates.h says the format). Reads only regular files
// up to 1 MiB; nullopt with `error` set otherwise.
std::optional<std::vector<std::vector<uint8_t>>> loadScript(const std::string& path, std::string* error);

} // namespace velorin::sim
