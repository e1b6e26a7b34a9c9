// The editing session: the rules of editing the four records, which every front end drives (the
// window, the web page, and velorinctl where it needs them). No Qt, no I/O, no clock: a front end
// passes in what the user did and what the adapter said, and asks what to show.
//
// It holds the block the user sees and edits and, per console, what the adapter is known to hold:
// nothing until the record is read back or written (an arrival forgets it, since another adapter
// may have come). The user's changes are counted by content: a console is changed when apply would
// write other bytes than the adapter is known to hold (for a console never read nor written: than
// it last held, or than the session started with); an edit undone is no change.
//
// A read-back never replaces the user's changes. What it reads becomes what the adapter is known to
// hold; in the block, every byte the user did not change takes the adapter's value, and every byte
// the user changed keeps the user's. A record that came whole from the user (a file, the default, a
// link, a copy onto that console) is kept whole. A console whose record then differs from the
// adapter's is named (recordRead(), differing()); takeAdapterRecords() puts the adapter's records
// in their place, as one undo step. With nothing edited a read-back shows the adapter's records.
//
// History: bounded undo and redo of the block, one step per action of the user's and one for a
// read-back that changed the block (a read-back before any other step is where the history
// starts). Apply's preparation of the records (the console id, the bytes
// no button uses) is no step. What the adapter is known to hold is a fact, not a step: undo never
// changes it.
#pragma once

#include "core/Console.h"
#include "core/KeyCodes.h"
#include "core/WorkMode.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace velorin {

// Whether apply would write the same bytes for both records of `console`: it sets the console id
// and clears the bytes no button uses, so those do not count.
bool sameWhenWritten(ConsoleId console, ConstRecordSpan a, ConstRecordSpan b);

// What a record read back did to the block.
enum class ReadOutcome : uint8_t {
    Shown, // the block shows the adapter's record (nothing of the user's differs from it)
    Kept,  // the user's changes were kept: the block differs from what the adapter holds
};

class EditSession {
public:
    // Undo steps kept; the oldest go first.
    static constexpr std::size_t kMaxSteps = 1000;

    // `start`: the records the session opens with; a console's changes count from there until
    // the adapter's record of it is known.
    explicit EditSession(const WorkModeBlock& start = {});

    const WorkModeBlock& block() const { return now_.block; }
    KeyCode code(ConsoleId console, PadButton button) const { return now_.block.button(console, button); }

    // ---- The user's actions. Each is one undo step when it changed the block; each returns
    // whether it did.

    // A key or mouse button chosen for a box. A button the console has no box for changes nothing.
    bool assign(ConsoleId console, PadButton button, KeyCode code);
    // A file, the default or a link: every record is the user's, whole.
    bool load(const WorkModeBlock& block);
    // The copy between consoles (core/ConsoleCopy.h); the target's record is the user's, whole.
    bool copy(ConsoleId from, ConsoleId to);
    // The adapter's records instead of the user's, for every console whose record the adapter is
    // known to hold and the block differs from (differing()).
    bool takeAdapterRecords();
    bool undo();
    bool redo();
    bool canUndo() const { return at_ > 0; }
    bool canRedo() const { return at_ + 1 < steps_.size(); }
    // Steps that undo can go back, at most kMaxSteps.
    std::size_t undoSteps() const { return at_; }

    // ---- The adapter.

    // An adapter arrived (or any HID interface: the front end cannot always tell): what it holds
    // is unknown until it is read back.
    void adapterArrived();
    // The adapter holds `record` for `console` (a read-back's reply). Applies the read-back rule
    // to the block and says whether the user's changes were kept. A read-back's records are one
    // step, ended by endReadBack().
    ReadOutcome recordRead(ConsoleId console, ConstRecordSpan record);
    // The read-back ended (complete or not): its changes of the block become one step, unless
    // nothing was done yet (the history then starts from here, as it does at start). Returns
    // whether that made a step.
    bool endReadBack();
    // recordRead() for each of `consoles` (the records of `read`) and endReadBack(). Returns the
    // consoles whose user changes were kept.
    std::vector<ConsoleId> readBack(const WorkModeBlock& read, std::span<const ConsoleId> consoles);

    // What a verify read back after an apply: the first `count` records in block order of `read`.
    struct Verification {
        const WorkModeBlock& read;
        std::size_t count;
    };
    // An apply ended. `written` is the apply's block (its records prepared for writing) and
    // `count` how many records, in block order, the adapter took before it stopped (4 for a
    // success, 0 when there was no adapter). Those are what the adapter holds now, unless a
    // verify says otherwise: a record it read back is what the adapter holds, and a record the
    // verify did not reach is unknown (the user's changes of it stay counted). The block takes
    // the prepared bytes where they are what it shows (no step). Returns the consoles whose
    // verified record differs from what was written.
    std::vector<ConsoleId> applied(const WorkModeBlock& written, std::size_t count,
                                   const std::optional<Verification>& verify = std::nullopt);

    // ---- What the front ends show.

    // The consoles the user changed (the apply button's mark, the close question), in block order.
    std::vector<ConsoleId> changed() const;
    // Of changed(), those whose record on the adapter is known: the adapter holds something else
    // than the block shows, and takeAdapterRecords() would bring it back.
    std::vector<ConsoleId> differing() const;
    // Of differing(), those whose changes the last read-back kept over another record on the
    // adapter (the title area and the page's banner name them). A console leaves this set for good
    // once it stops differing (an undo, an apply, taking the adapter's record, its arrival); the
    // next read-back sets it anew.
    std::vector<ConsoleId> keptAtReadBack() const;
    // The consoles whose record on the adapter is unknown (not read back nor written since it
    // arrived).
    std::vector<ConsoleId> unread() const;
    // Of unread(), those whose record did not come whole from the user either: what apply would
    // put over records on the adapter that nobody has seen.
    std::vector<ConsoleId> unreadNorChosen() const;
    // What the adapter is known to hold for `console`.
    const std::optional<workModeData>& known(ConsoleId console) const;

    // The block was saved to a file (or came from one): leaving now loses nothing that the file
    // does not have.
    void saved();
    // Whether leaving would lose changes: some are not applied, and the block is not what was
    // last saved.
    bool unsaved() const;

private:
    struct State {
        WorkModeBlock block;
        uint8_t whole = 0; // bit i: the record at block position i came whole from the user
        friend bool operator==(const State&, const State&) = default;
    };
    static std::size_t slot(ConsoleId console);
    bool commit();
    void restore();
    void dropKeptNotDiffering();

    State now_;
    std::vector<State> steps_; // steps_[at_] is the state last committed
    std::size_t at_ = 0;
    std::array<std::optional<workModeData>, kConsoleCount> known_{};
    std::array<workModeData, kConsoleCount> base_{}; // what each console's changes count from
    WorkModeBlock saved_;
    uint8_t kept_ = 0;        // bit i: the last read-back kept the changes at block position i
    uint8_t keptReading_ = 0; // the same, for the read-back going on
};

} // namespace velorin
