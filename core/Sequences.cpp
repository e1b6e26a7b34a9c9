#include "core/Sequences.h"

#include <algorithm>

namespace velorin {

namespace detail {

bool ReportQueue::push(std::span<const uint8_t, kInputReportSize> report) {
    if (count_ == reports_.size())
        return false; // full: the newest is dropped, as a hidraw handle drops it
    std::copy(report.begin(), report.end(), reports_[(head_ + count_) % reports_.size()].begin());
    ++count_;
    return true;
}

bool ReportQueue::pop(InputReport& out) {
    if (count_ == 0)
        return false;
    out = reports_[head_];
    head_ = (head_ + 1) % reports_.size();
    --count_;
    return true;
}

} // namespace detail

std::string_view eventName(Event event) {
    switch (event) {
    case Event::Opened:
        return "opened";
    case Event::Sent:
        return "sent";
    case Event::Received:
        return "received";
    case Event::DeadlinePassed:
        return "deadline passed";
    case Event::Gone:
        return "gone";
    case Event::Done:
        break;
    }
    return "done";
}

std::string_view actionName(Action action) {
    switch (action) {
    case Action::Open:
        return "open";
    case Action::Send:
        return "send";
    case Action::Receive:
        return "receive";
    case Action::Close:
        return "close";
    case Action::Show:
        return "show";
    case Action::RepeatModeSelect:
        return "repeat mode select";
    case Action::Finished:
        break;
    }
    return "finished";
}

namespace {

Step finishedStep() {
    return Step{};
}

Step simpleStep(Action action, ConsoleId console = ConsoleId::PS3) {
    Step s;
    s.action = action;
    s.console = console;
    return s;
}

} // namespace

// ---- ReadBack -----------------------------------------------------------------------------------

ReadBack::ReadBack(const WorkModeBlock& block) : block_(block) {
    step_ = simpleStep(Action::Open);
}

std::vector<ConsoleId> ReadBack::replaced() const {
    return std::vector<ConsoleId>(kBlockOrder.begin(),
                                  kBlockOrder.begin() + static_cast<std::ptrdiff_t>(replaced_));
}

void ReadBack::request() {
    state_ = State::Requesting;
    const ConsoleId console = kBlockOrder[index_];
    step_ = simpleStep(Action::Send, console);
    step_.via = Via::Own;
    step_.report = makeReadWorkModeReport(console);
}

void ReadBack::await() {
    state_ = State::Awaiting;
    step_ = simpleStep(Action::Receive, kBlockOrder[index_]);
    step_.deadline = ++deadline_;
    step_.deadlineMs = kReplyTimeoutMs;
    // Reports that came since the adapter was opened are read first, oldest first.
    InputReport report{};
    while (state_ == State::Awaiting && queue_.pop(report))
        take(report);
}

// Takes `report` as the awaited reply unless it is a live pad state or a late reply naming another
// console. Returns whether it was taken.
bool ReadBack::take(std::span<const uint8_t, kInputReportSize> report) {
    const ConsoleId asked = kBlockOrder[index_];
    if (!isReplyTo(report, asked))
        return false;
    block_.replaceRecord(asked, recordFromReply(report));
    ++replaced_;
    state_ = State::Showing;
    step_ = simpleStep(Action::Show, asked);
    return true;
}

void ReadBack::stop(ReadBackEnd why, LinkError error) {
    end_ = why;
    error_ = error;
    queue_.clear();
    if (state_ == State::Opening) {
        state_ = State::Done;
        step_ = finishedStep();
        return;
    }
    state_ = State::Closing;
    step_ = simpleStep(Action::Close);
}

void ReadBack::opened(bool ok) {
    if (state_ != State::Opening)
        return faults_.note(Event::Opened, step_.action);
    if (!ok) {
        stop(ReadBackEnd::NoAdapter, LinkError::Gone);
        return;
    }
    request();
}

void ReadBack::sent(LinkError outcome) {
    if (state_ != State::Requesting)
        return faults_.note(Event::Sent, step_.action);
    if (outcome == LinkError::None)
        await();
    else
        stop(ReadBackEnd::RequestFailed, outcome);
}

void ReadBack::received(std::span<const uint8_t, kInputReportSize> report) {
    switch (state_) {
    case State::Awaiting:
        take(report);
        break;
    case State::Requesting:
    case State::Showing:
        // Kept for the next wait, as the opened handle keeps it. A live pad state is never a reply,
        // so a stream of them cannot fill the queue and push out the reply that follows.
        if (!isPadStateReport(report))
            queue_.push(report);
        break;
    case State::Opening:
    case State::Closing:
    case State::Done:
        break;
    }
}

void ReadBack::deadlinePassed(uint32_t deadline) {
    if (state_ == State::Awaiting && deadline == deadline_)
        stop(ReadBackEnd::NoReply, LinkError::NoAnswer);
    else if (deadline == 0 || deadline > deadline_)
        faults_.note(Event::DeadlinePassed, step_.action); // no wait with that number was started
    // else: a wait that already ended; its timer fired as the reply came
}

void ReadBack::gone() {
    switch (state_) {
    case State::Opening:
        stop(ReadBackEnd::NoAdapter, LinkError::Gone);
        break;
    case State::Requesting:
        stop(ReadBackEnd::RequestFailed, LinkError::Gone); // the request met no adapter: a failed write
        break;
    case State::Awaiting:
        stop(ReadBackEnd::NoReply, LinkError::Gone);
        break;
    case State::Showing:
        goneWhileShowing_ = true; // the replaced record is still shown; then the read-back ends
        break;
    case State::Closing:
    case State::Done:
        break;
    }
}

void ReadBack::done() {
    switch (state_) {
    case State::Showing:
        if (++index_ == kBlockOrder.size())
            stop(ReadBackEnd::Complete, LinkError::None); // even when the adapter went after the last reply
        else if (goneWhileShowing_)
            stop(ReadBackEnd::RequestFailed, LinkError::Gone); // the next request would meet no adapter
        else
            request();
        break;
    case State::Closing:
        state_ = State::Done;
        step_ = finishedStep();
        break;
    case State::Opening:
    case State::Requesting:
    case State::Awaiting:
    case State::Done:
        faults_.note(Event::Done, step_.action);
        break;
    }
}

// ---- Apply --------------------------------------------------------------------------------------

std::string_view applyErrorText(const ApplyResult& result) {
    switch (result.status) {
    case ApplyStatus::Success:
        return {};
    case ApplyStatus::NoAdapter:
        return kNoAdapterText;
    case ApplyStatus::WriteFailed:
        break;
    }
    return consoleInfo(result.failedConsole.value_or(ConsoleId::PS3)).applyErrorText;
}

std::size_t recordsTaken(const ApplyResult& result) {
    switch (result.status) {
    case ApplyStatus::Success:
        return kConsoleCount;
    case ApplyStatus::NoAdapter:
        return 0;
    case ApplyStatus::WriteFailed:
        break;
    }
    return result.failedConsole ? std::size_t(consoleInfo(*result.failedConsole).blockIndex) : 0;
}

Apply::Apply(const WorkModeBlock& block, ConsoleId modeConsole) : block_(block), modeConsole_(modeConsole) {
    step_ = simpleStep(Action::Open);
}

void Apply::write() {
    state_ = State::Writing;
    const ConsoleId console = kBlockOrder[index_];
    // Prepared in the block just before its own write, so a refused write leaves the records after
    // it as they were.
    const RecordSpan record = block_.record(console);
    prepareForWrite(console, record);
    step_ = simpleStep(Action::Send, console);
    step_.report = makeWriteWorkModeReport(record);
}

void Apply::finish() {
    state_ = State::Done;
    step_ = finishedStep();
}

void Apply::opened(bool ok) {
    if (state_ != State::Opening)
        return faults_.note(Event::Opened, step_.action);
    if (!ok) {
        result_ = {ApplyStatus::NoAdapter, std::nullopt};
        finish();
        return;
    }
    write();
}

void Apply::sent(LinkError outcome) {
    const bool delivered = outcome == LinkError::None;
    switch (state_) {
    case State::Writing:
        if (!delivered) {
            result_ = {ApplyStatus::WriteFailed, kBlockOrder[index_], outcome};
            state_ = State::ClosingAfterFailure;
            step_ = simpleStep(Action::Close);
        } else if (++index_ < kBlockOrder.size()) {
            write();
        } else {
            // The handle is closed before the mode select, which goes on a handle of its own.
            state_ = State::Closing;
            step_ = simpleStep(Action::Close);
        }
        break;
    case State::Selecting:
        modeSelectDelivered_ = delivered;
        result_ = {ApplyStatus::Success, std::nullopt};
        finish();
        break;
    case State::Opening:
    case State::ClosingAfterFailure:
    case State::Closing:
    case State::Repeating:
    case State::Done:
        faults_.note(Event::Sent, step_.action);
        break;
    }
}

void Apply::deadlinePassed(uint32_t deadline) {
    (void)deadline;
    faults_.note(Event::DeadlinePassed, step_.action); // apply never waits for a reply
}

void Apply::gone() {
    switch (state_) {
    case State::Opening:
        opened(false);
        break;
    case State::Writing:
    case State::Selecting:
        sent(LinkError::Gone);
        break;
    default:
        break; // nothing awaits the adapter: the next send finds it gone
    }
}

void Apply::done() {
    switch (state_) {
    case State::ClosingAfterFailure:
        finish();
        break;
    case State::Closing:
        state_ = State::Repeating;
        step_ = simpleStep(Action::RepeatModeSelect);
        break;
    case State::Repeating:
        state_ = State::Selecting;
        step_ = simpleStep(Action::Send, modeConsole_);
        step_.via = Via::Own;
        step_.report = makeModeSelectReport(static_cast<uint8_t>(modeConsole_));
        break;
    case State::Opening:
    case State::Writing:
    case State::Selecting:
    case State::Done:
        faults_.note(Event::Done, step_.action);
        break;
    }
}

// ---- ModeSelectRepeat ---------------------------------------------------------------------------

ModeSelectRepeat::ModeSelectRepeat(ConsoleId console) : console_(console) {
    next();
}

void ModeSelectRepeat::next() {
    if (sends_ >= kRepeats) {
        step_ = finishedStep();
        return;
    }
    step_ = simpleStep(Action::Send, console_);
    step_.via = Via::Own;
    step_.report = makeModeSelectReport(static_cast<uint8_t>(console_));
}

void ModeSelectRepeat::setConsole(ConsoleId console) {
    console_ = console;
    if (!finished())
        next();
}

void ModeSelectRepeat::sent(bool delivered) {
    if (finished())
        return faults_.note(Event::Sent, step_.action);
    ++sends_;
    if (delivered)
        ++delivered_;
    next();
}

void ModeSelectRepeat::gone() {
    if (!finished())
        sent(false);
}

void ModeSelectRepeat::opened(bool ok) {
    (void)ok;
    faults_.note(Event::Opened, step_.action);
}

void ModeSelectRepeat::deadlinePassed(uint32_t deadline) {
    (void)deadline;
    faults_.note(Event::DeadlinePassed, step_.action);
}

void ModeSelectRepeat::done() {
    faults_.note(Event::Done, step_.action);
}

} // namespace velorin
