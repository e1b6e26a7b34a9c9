// The assignment record of one console (27 bytes) and the one block of four (108 bytes). The same
// bytes are used in memory, on the wire and on disk.
#pragma once

#include "core/Console.h"
#include "core/KeyCodes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace velorin {

inline constexpr std::size_t kRecordSize = 27;
inline constexpr std::size_t kBlockSize = 4 * kRecordSize;

// Byte 0: console id; bytes 1-5 and 10-26: one key code per button (see recordByte());
// bytes 6-9: used by no button, zeroed in every record written to the adapter; byte 26: SHARE on
// PS4, CAPTURE on SWITCH, unused (zeroed before writing) on PS3 and XBOX.
using workModeData = std::array<uint8_t, kRecordSize>;
static_assert(sizeof(workModeData) == 27);

using RecordSpan = std::span<uint8_t, kRecordSize>;
using ConstRecordSpan = std::span<const uint8_t, kRecordSize>;

// Sets the console id in byte 0 and, for a console none of whose buttons is assigned in byte 26
// (PS3 and XBOX, by the console table), byte 26 to 0.
void prepareRecordHeader(ConsoleId console, RecordSpan record);
// Sets bytes 6-9 to 0.
void clearUnusedBytes(RecordSpan record);
// Both of the above: the record as it is written to the adapter.
void prepareForWrite(ConsoleId console, RecordSpan record);

// The four records back to back in block order: PS3, PS4, SWITCH, XBOX. Records are placed by
// this order, never by the id in their byte 0.
class WorkModeBlock {
public:
    using Bytes = std::array<uint8_t, kBlockSize>;
    static_assert(sizeof(Bytes) == 108);

    RecordSpan record(ConsoleId console);
    ConstRecordSpan record(ConsoleId console) const;

    // Replaces everything; any 108 bytes are taken as they are.
    void replaceAll(std::span<const uint8_t, kBlockSize> bytes);
    void replaceRecord(ConsoleId console, ConstRecordSpan bytes);
    void setButton(ConsoleId console, PadButton button, KeyCode code);
    KeyCode button(ConsoleId console, PadButton button) const;

    std::span<const uint8_t, kBlockSize> raw() const { return bytes_; }
    const Bytes& bytes() const { return bytes_; }

    friend bool operator==(const WorkModeBlock&, const WorkModeBlock&) = default;

private:
    Bytes bytes_{};
};

} // namespace velorin
