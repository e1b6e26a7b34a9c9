// The simulator's files: the flash file that keeps the adapter's records across runs and the seed
// it starts from (both .kvf files, through model's reader and atomic writer), and pad-state
// scripts. The firmware itself (core/sim/) touches no file.
#pragma once

#include "core/sim/Firmware.h"
#include "core/sim/PadStates.h"

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
    // Writes all four records atomically; `error` says why not and whether the file was left as it was.
    bool save(const WorkModeBlock& records, std::string* error) const;
    // A keeper for the attached records (RecordStore::keepIn): each stored record is saved, and one
    // the file cannot keep is refused with the reason on standard error after "`program`: ".
    // The Flash must outlive the store it keeps.
    RecordStore::Keeper keeper(std::string program) const;

private:
    std::string path_;
};

// The pad states of a script file (core/sim/PadStates.h says the format). Reads only regular files
// up to 1 MiB; CannotRead otherwise.
Result<Script, ScriptError> loadScript(const std::string& path);

} // namespace velorin::sim
