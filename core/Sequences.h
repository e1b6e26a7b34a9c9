// The sequences a front end runs against the adapter, as state machines that do no I/O: read-back
// (replace the four records with the adapter's), apply (write the four records and select the
// console mode) and the reader's repetition of the mode select. Each one says what to do next
// (step()) and takes what came back (the event calls); it holds no clock, no thread and no handle.
//
// Driving one: loop while !finished(): look at step(), do what it says, answer with the event
// it names. A blocking driver (the native device layer) answers each step before it looks at the
// next; an event-driven one (the web page) answers when a promise settles or an event fires.
//
// What the adapter does is never out of place: a driver may pass on every input report it gets
// and say at any time that the adapter went. Reports that come while no reply is awaited wait in
// the sequence's own queue (64 deep, as a hidraw handle's) until the next Receive, like reports
// queued for an open handle; live pad states, which are never a reply, are not kept, and reports
// while nothing is open (or during apply, which awaits none) are dropped. A wait's deadline that
// ends after the wait itself did (a timer that fired as the reply came) changes nothing either.
// What only a driver's mistake can cause does not fit the step: an opened, sent or done that no
// step asked for, or the end of a wait that was never started. Such an event changes nothing and
// is counted (faults(), lastFault()), so that the front end can log it.
//
// Deadlines are data: a Receive step names its wait (`deadline`, a number) and how long the wait
// lasts from when it starts (`deadlineMs`). The driver starts a timer when it sees a number it
// has not seen before, keeps it across further Receive steps with the same number (a live pad
// state or a stale reply that was skipped), and answers deadlinePassed(number) when it runs out.
#pragma once

#include "core/Console.h"
#include "core/Reports.h"
#include "core/Texts.h"
#include "core/WorkMode.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace velorin {

// What a sequence asks its driver to do.
enum class Action : uint8_t {
    Open,             // open the adapter; answer opened(ok). Replies queue for it from now on.
    Send,             // send `report` the way `via` says; answer sent(LinkError::None) when it was
                      // delivered, else sent() with how it failed (or sent(bool), gone())
    Receive,          // wait for an input report on the opened adapter; answer received(report),
                      // deadlinePassed(deadline) or gone()
    Close,            // close what Open opened; answer done()
    Show,             // the record of `console` in block() was replaced: show it; answer done()
    RepeatModeSelect, // ask for the reader's five mode selects (set modeSelectPending); answer done()
    Finished,         // nothing more; the result is final
};

// The events a driver answers with, for naming one that did not fit.
enum class Event : uint8_t { Opened, Sent, Received, DeadlinePassed, Gone, Done };

// An event that did not fit the step the sequence asked for when it came.
struct Fault {
    Event event = Event::Done;
    Action step = Action::Finished;
    friend bool operator==(const Fault&, const Fault&) = default;
};

// "opened", "sent", "received", "deadline passed", "gone", "done"; and the steps: "open", "send",
// "receive", "close", "show", "repeat mode select", "finished". For a front end's log.
std::string_view eventName(Event event);
std::string_view actionName(Action action);

// Which handle a Send goes on.
enum class Via : uint8_t {
    Opened, // the one Open opened
    Own,    // a short command: a handle of its own (scan, open, send, close). A platform with one
            // open device (WebHID) sends it there.
};

struct Step {
    Action action = Action::Finished;
    Via via = Via::Opened;
    ConsoleId console = ConsoleId::PS3; // Send, Receive, Show: the console the step is about
    OutputReport report{};              // Send: the 65 bytes, report ID first
    uint32_t deadline = 0;              // Receive: the wait's number, from 1; a new number starts a new wait
    uint32_t deadlineMs = 0;            // Receive: how long the wait lasts from its start
};

// The text the window shows when apply finds no adapter. Each console's text for a refused write
// is its ConsoleInfo::applyErrorText.
inline constexpr std::string_view kNoAdapterText = VELORIN_TEXT("messages", "CreateFileHandle error");

// Input reports a sequence keeps while no reply is awaited; a full queue drops the newest.
inline constexpr std::size_t kReportQueueSize = 64;

namespace detail {
// How many events did not fit, and the last one.
class FaultCount {
public:
    void note(Event event, Action step) {
        ++count_;
        last_ = Fault{event, step};
    }
    uint32_t count() const { return count_; }
    std::optional<Fault> last() const { return last_; }

private:
    uint32_t count_ = 0;
    std::optional<Fault> last_;
};

// The reports that came while no reply was awaited, oldest first.
class ReportQueue {
public:
    bool push(std::span<const uint8_t, kInputReportSize> report);
    bool pop(InputReport& out);
    void clear() { count_ = 0; }
    std::size_t size() const { return count_; }

private:
    std::array<InputReport, kReportQueueSize> reports_{};
    std::size_t head_ = 0;
    std::size_t count_ = 0;
};
} // namespace detail

// How a read-back ended; error() says how its request or reply failed.
enum class ReadBackEnd : uint8_t {
    Complete,      // all four records replaced
    NoAdapter,     // no adapter to open: nothing sent, nothing replaced
    RequestFailed, // the request for the next record could not be written (refused, stalled, gone)
    NoReply,       // the request was written but no record came within 100 ms (or the adapter went
                   // while it was awaited)
};

// Read-back: Open; for each console in block order: Send the record request (Via::Own), Receive
// the reply (live pad states and replies naming another console are skipped within the same
// 100 ms), Show the replaced record; Close. The first request not delivered, or reply not come,
// ends it; the records not yet read keep their contents. Nothing is shown for a failure.
class ReadBack {
public:
    explicit ReadBack(const WorkModeBlock& block);

    const Step& step() const { return step_; }
    bool finished() const { return step_.action == Action::Finished; }

    void opened(bool ok);
    void sent(LinkError outcome);
    void sent(bool delivered) { sent(delivered ? LinkError::None : LinkError::Refused); }
    void received(std::span<const uint8_t, kInputReportSize> report);
    void deadlinePassed(uint32_t deadline);
    void gone();
    void done();

    // The block with the records replaced so far.
    const WorkModeBlock& block() const { return block_; }
    // The consoles whose records were replaced, in block order (always the first replacedCount()).
    std::size_t replacedCount() const { return replaced_; }
    std::vector<ConsoleId> replaced() const;
    // Meaningful once finished().
    ReadBackEnd end() const { return end_; }
    // How the request or the reply that ended it failed: the way a send failed, NoAnswer for a
    // reply that did not come in time, Gone for no adapter or one that went; None when complete.
    LinkError error() const { return error_; }
    // Events that did not fit the step (see above), and the last of them.
    uint32_t faults() const { return faults_.count(); }
    std::optional<Fault> lastFault() const { return faults_.last(); }

private:
    enum class State : uint8_t { Opening, Requesting, Awaiting, Showing, Closing, Done };
    void request();
    void await();
    bool take(std::span<const uint8_t, kInputReportSize> report);
    void stop(ReadBackEnd why, LinkError error);

    WorkModeBlock block_;
    State state_ = State::Opening;
    Step step_;
    detail::ReportQueue queue_;
    std::size_t index_ = 0;    // the console being read, in block order
    std::size_t replaced_ = 0; // records replaced so far
    uint32_t deadline_ = 0;
    bool goneWhileShowing_ = false;
    ReadBackEnd end_ = ReadBackEnd::Complete;
    LinkError error_ = LinkError::None;
    detail::FaultCount faults_;
};

enum class ApplyStatus : uint8_t {
    Success,
    NoAdapter,   // no handle: nothing was sent, the block is unchanged
    WriteFailed, // the write of `failedConsole` was refused; no mode select was sent
};

struct ApplyResult {
    ApplyStatus status = ApplyStatus::Success;
    std::optional<ConsoleId> failedConsole; // set with WriteFailed
    LinkError failure = LinkError::None;    // with WriteFailed: refused, not answered, or gone
    friend bool operator==(const ApplyResult&, const ApplyResult&) = default;
};

// The error text the window shows for a failed apply: kNoAdapterText or the refused console's
// applyErrorText; empty for a success (the window shows its success box).
std::string_view applyErrorText(const ApplyResult& result);

// How many records, in block order, the adapter holds from an apply with this result: all four
// after a success, none without an adapter, and after a failed write the ones written before it
// (whether the adapter refused it, did not answer or went away).
std::size_t recordsTaken(const ApplyResult& result);

// Apply: Open; for each console in block order, prepare its record in block() (console id, byte 26
// for PS3 and XBOX, bytes 6-9 cleared) and Send it (Via::Opened); the first write not delivered
// ends it, and the records after it stay untouched. After four writes: Close, RepeatModeSelect,
// then one mode select for `modeConsole` (Via::Own), whose outcome does not change the result.
// Apply awaits no reply: the reports that come meanwhile are dropped, and a deadline is a fault.
class Apply {
public:
    Apply(const WorkModeBlock& block, ConsoleId modeConsole);

    const Step& step() const { return step_; }
    bool finished() const { return step_.action == Action::Finished; }

    void opened(bool ok);
    void sent(LinkError outcome);
    void sent(bool delivered) { sent(delivered ? LinkError::None : LinkError::Refused); }
    void received(std::span<const uint8_t, kInputReportSize> report) { (void)report; }
    void deadlinePassed(uint32_t deadline);
    void gone();
    void done();

    // The block with the records prepared so far.
    const WorkModeBlock& block() const { return block_; }
    // Meaningful once finished().
    const ApplyResult& result() const { return result_; }
    // Whether the mode select after the four writes was delivered (the reader repeats it anyway).
    bool modeSelectDelivered() const { return modeSelectDelivered_; }
    // Events that did not fit the step, and the last of them.
    uint32_t faults() const { return faults_.count(); }
    std::optional<Fault> lastFault() const { return faults_.last(); }

private:
    enum class State : uint8_t { Opening, Writing, ClosingAfterFailure, Closing, Repeating, Selecting, Done };
    void write();
    void finish();

    WorkModeBlock block_;
    ConsoleId modeConsole_;
    State state_ = State::Opening;
    Step step_;
    std::size_t index_ = 0;
    ApplyResult result_;
    bool modeSelectDelivered_ = false;
    detail::FaultCount faults_;
};

// The reader's repetition: while a mode select is pending and the reader has the adapter open, it
// sends the mode select five times (Via::Own), all five even after an early success. The request
// is met when at least one was delivered; otherwise it stays pending for the reader's next opening.
class ModeSelectRepeat {
public:
    static constexpr int kRepeats = 5;
    explicit ModeSelectRepeat(ConsoleId console);

    const Step& step() const { return step_; }
    bool finished() const { return step_.action == Action::Finished; }

    // The console the next sends name (a selection during the repetition changes it).
    void setConsole(ConsoleId console);
    void sent(LinkError outcome) { sent(outcome == LinkError::None); }
    void sent(bool delivered);
    // The adapter went: the send under way was not delivered.
    void gone();
    // Only sends are asked for: an open, a deadline or a done is a fault; reports are dropped.
    void opened(bool ok);
    void received(std::span<const uint8_t, kInputReportSize> report) { (void)report; }
    void deadlinePassed(uint32_t deadline);
    void done();

    int deliveredCount() const { return delivered_; }
    bool delivered() const { return delivered_ > 0; }
    // Events that did not fit the step, and the last of them.
    uint32_t faults() const { return faults_.count(); }
    std::optional<Fault> lastFault() const { return faults_.last(); }

private:
    void next();

    Step step_;
    ConsoleId console_;
    int sends_ = 0;
    int delivered_ = 0;
    detail::FaultCount faults_;
};

} // namespace velorin
