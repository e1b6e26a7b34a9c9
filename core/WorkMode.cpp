#include "core/WorkMode.h"

#include <algorithm>

namespace velorin {

void prepareRecordHeader(ConsoleId console, RecordSpan record) {
    record[0] = static_cast<uint8_t>(console);
    // The last byte belongs to SHARE or CAPTURE; a console without either button gets it zeroed.
    constexpr int kLastByte = static_cast<int>(kRecordSize) - 1;
    if (!consoleAssignsByte(console, kLastByte))
        record[kLastByte] = 0;
}

void clearUnusedBytes(RecordSpan record) {
    std::fill(record.begin() + 6, record.begin() + 10, uint8_t{0});
}

void prepareForWrite(ConsoleId console, RecordSpan record) {
    prepareRecordHeader(console, record);
    clearUnusedBytes(record);
}

RecordSpan WorkModeBlock::record(ConsoleId console) {
    const auto offset = static_cast<std::size_t>(consoleInfo(console).blockIndex) * kRecordSize;
    return RecordSpan(bytes_.data() + offset, kRecordSize);
}

ConstRecordSpan WorkModeBlock::record(ConsoleId console) const {
    const auto offset = static_cast<std::size_t>(consoleInfo(console).blockIndex) * kRecordSize;
    return ConstRecordSpan(bytes_.data() + offset, kRecordSize);
}

void WorkModeBlock::replaceAll(std::span<const uint8_t, kBlockSize> bytes) {
    std::copy(bytes.begin(), bytes.end(), bytes_.begin());
}

void WorkModeBlock::replaceRecord(ConsoleId console, ConstRecordSpan bytes) {
    std::copy(bytes.begin(), bytes.end(), record(console).begin());
}

void WorkModeBlock::setButton(ConsoleId console, PadButton button, KeyCode code) {
    record(console)[static_cast<std::size_t>(recordByte(button))] = code;
}

KeyCode WorkModeBlock::button(ConsoleId console, PadButton button) const {
    return record(console)[static_cast<std::size_t>(recordByte(button))];
}

} // namespace velorin
