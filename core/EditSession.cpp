#include "core/EditSession.h"

#include "core/ConsoleCopy.h"

#include <algorithm>

namespace velorin {

namespace {

workModeData copyOf(ConstRecordSpan record) {
    workModeData copy{};
    std::copy(record.begin(), record.end(), copy.begin());
    return copy;
}

uint8_t bit(std::size_t slot) {
    return uint8_t(1u << slot);
}

} // namespace

bool sameWhenWritten(ConsoleId console, ConstRecordSpan a, ConstRecordSpan b) {
    workModeData x = copyOf(a);
    workModeData y = copyOf(b);
    prepareForWrite(console, x);
    prepareForWrite(console, y);
    return x == y;
}

EditSession::EditSession(const WorkModeBlock& start) : now_{start, 0}, saved_(start) {
    steps_.push_back(now_);
    for (const ConsoleId console : kBlockOrder)
        base_[slot(console)] = copyOf(start.record(console));
}

std::size_t EditSession::slot(ConsoleId console) {
    return std::size_t(consoleInfo(console).blockIndex);
}

bool EditSession::commit() {
    if (now_.block == steps_[at_].block) {
        steps_[at_] = now_; // a mark changed, the block did not: no step
        dropKeptNotDiffering();
        return false;
    }
    steps_.resize(at_ + 1);
    steps_.push_back(now_);
    if (steps_.size() > kMaxSteps + 1)
        steps_.erase(steps_.begin());
    at_ = steps_.size() - 1;
    dropKeptNotDiffering();
    return true;
}

void EditSession::restore() {
    now_ = steps_[at_];
    dropKeptNotDiffering();
}

void EditSession::dropKeptNotDiffering() {
    uint8_t still = 0;
    for (const ConsoleId console : differing())
        still |= bit(slot(console));
    kept_ &= still;
}

bool EditSession::assign(ConsoleId console, PadButton button, KeyCode code) {
    if (!consoleHasButton(console, button))
        return false;
    now_.block.setButton(console, button, code);
    return commit();
}

bool EditSession::load(const WorkModeBlock& block) {
    now_.block = block;
    now_.whole = uint8_t((1u << kConsoleCount) - 1);
    return commit();
}

bool EditSession::copy(ConsoleId from, ConsoleId to) {
    if (from == to)
        return false;
    now_.block = copyConsole(now_.block, from, to);
    now_.whole |= bit(slot(to));
    return commit();
}

bool EditSession::takeAdapterRecords() {
    for (const ConsoleId console : differing()) {
        now_.block.replaceRecord(console, *known_[slot(console)]);
        now_.whole &= uint8_t(~bit(slot(console)));
    }
    return commit();
}

bool EditSession::undo() {
    commit(); // a read-back not yet ended is a step of its own
    if (!canUndo())
        return false;
    --at_;
    restore();
    return true;
}

bool EditSession::redo() {
    commit();
    if (!canRedo())
        return false;
    ++at_;
    restore();
    return true;
}

void EditSession::adapterArrived() {
    known_.fill(std::nullopt);
    dropKeptNotDiffering();
}

ReadOutcome EditSession::recordRead(ConsoleId console, ConstRecordSpan record) {
    const std::size_t s = slot(console);
    const RecordSpan shown = now_.block.record(console);
    if (!(now_.whole & bit(s))) {
        // Byte by byte: what the user did not change follows the adapter.
        for (std::size_t i = 0; i < kRecordSize; ++i)
            if (shown[i] == base_[s][i])
                shown[i] = record[i];
    }
    known_[s] = copyOf(record);
    base_[s] = copyOf(record);
    if (sameWhenWritten(console, shown, record)) {
        now_.whole &= uint8_t(~bit(s));
        return ReadOutcome::Shown;
    }
    keptReading_ |= bit(s);
    return ReadOutcome::Kept;
}

bool EditSession::endReadBack() {
    kept_ = keptReading_;
    keptReading_ = 0;
    if (at_ == 0 && steps_.size() == 1) {
        steps_[0] = now_; // nothing done yet: the history starts from what the adapter holds
        return false;
    }
    return commit();
}

std::vector<ConsoleId> EditSession::readBack(const WorkModeBlock& read, std::span<const ConsoleId> consoles) {
    std::vector<ConsoleId> kept;
    for (const ConsoleId console : consoles)
        if (recordRead(console, read.record(console)) == ReadOutcome::Kept)
            kept.push_back(console);
    endReadBack();
    return kept;
}

std::vector<ConsoleId> EditSession::applied(const WorkModeBlock& written, std::size_t count,
                                            const std::optional<Verification>& verify) {
    std::vector<ConsoleId> mismatched;
    count = std::min(count, kConsoleCount);
    for (std::size_t i = 0; i < count; ++i) {
        const ConsoleId console = kBlockOrder[i];
        const std::size_t s = slot(console);
        const ConstRecordSpan sent = written.record(console);
        if (!verify) {
            known_[s] = copyOf(sent);
        } else if (i < verify->count) {
            const ConstRecordSpan back = verify->read.record(console);
            known_[s] = copyOf(back);
            if (!sameWhenWritten(console, back, sent))
                mismatched.push_back(console);
        } else {
            known_[s].reset(); // sent, but whether it was taken is not known
            continue;
        }
        base_[s] = *known_[s];
        if (sameWhenWritten(console, now_.block.record(console), base_[s]))
            now_.whole &= uint8_t(~bit(s));
    }
    // The prepared bytes where they are what the block shows (a change made meanwhile stays), in
    // the block and in its last step alike: the preparation is no step of the user's.
    for (WorkModeBlock* block : {&now_.block, &steps_[at_].block})
        for (const ConsoleId console : kBlockOrder)
            if (sameWhenWritten(console, block->record(console), written.record(console)))
                block->replaceRecord(console, written.record(console));
    steps_[at_].whole = now_.whole;
    dropKeptNotDiffering();
    return mismatched;
}

std::vector<ConsoleId> EditSession::changed() const {
    std::vector<ConsoleId> out;
    for (const ConsoleId console : kBlockOrder)
        if (!sameWhenWritten(console, now_.block.record(console), base_[slot(console)]))
            out.push_back(console);
    return out;
}

std::vector<ConsoleId> EditSession::differing() const {
    std::vector<ConsoleId> out;
    for (const ConsoleId console : changed())
        if (known_[slot(console)])
            out.push_back(console);
    return out;
}

std::vector<ConsoleId> EditSession::keptAtReadBack() const {
    std::vector<ConsoleId> out;
    for (const ConsoleId console : differing())
        if (kept_ & bit(slot(console)))
            out.push_back(console);
    return out;
}

std::vector<ConsoleId> EditSession::unread() const {
    std::vector<ConsoleId> out;
    for (const ConsoleId console : kBlockOrder)
        if (!known_[slot(console)])
            out.push_back(console);
    return out;
}

std::vector<ConsoleId> EditSession::unreadNorChosen() const {
    std::vector<ConsoleId> out;
    for (const ConsoleId console : unread())
        if (!(now_.whole & bit(slot(console))))
            out.push_back(console);
    return out;
}

const std::optional<workModeData>& EditSession::known(ConsoleId console) const {
    return known_[slot(console)];
}

void EditSession::saved() {
    saved_ = now_.block;
}

bool EditSession::unsaved() const {
    return !changed().empty() && !(now_.block == saved_);
}

} // namespace velorin
