#include "device/Sequences.h"

#include "device/Discovery.h"
#include "device/Reports.h"
#include "model/Log.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string_view>

namespace velorin::device {

namespace {

using Clock = std::chrono::steady_clock;

// Runs a sequence of the core to its end with blocking calls: the handle Open asks for, short
// commands for Via::Own, reads that wait in poll() until the step's deadline. Each step is answered
// before the next is looked at, so replies stay queued on the handle until a Receive reads them.
template <typename Sequence, typename Hooks>
void drive(AdapterSession& session, Sequence& seq, Hooks&& hooks) {
    std::unique_ptr<hid::HidHandle> handle;
    uint32_t deadline = 0;
    Clock::time_point deadlineAt{};
    while (!seq.finished()) {
        const Step& step = seq.step();
        switch (step.action) {
        case Action::Open:
            handle = OpenAdapter(session);
            seq.opened(handle != nullptr);
            break;
        case Action::Send:
            if (step.via == Via::Own)
                seq.sent(SendShortCommand(session.platform(), step.report).kind());
            else
                seq.sent(handle ? SendOnHandle(*handle, step.report).kind() : LinkError::Gone);
            break;
        case Action::Receive: {
            if (step.deadline != deadline) {
                deadline = step.deadline;
                deadlineAt = Clock::now() + std::chrono::milliseconds(step.deadlineMs);
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadlineAt - Clock::now()).count();
            if (!handle) {
                seq.gone();
                break;
            }
            if (left <= 0) {
                seq.deadlinePassed(deadline);
                break;
            }
            hid::InputReport report{};
            switch (handle->readInputReport(report, static_cast<int>(left))) {
            case hid::ReadStatus::Report:
                seq.received(report);
                break;
            case hid::ReadStatus::Timeout:
            case hid::ReadStatus::Stopped: // stopped waiting: the reply did not come in time
                seq.deadlinePassed(deadline);
                break;
            case hid::ReadStatus::Gone:
                seq.gone();
                break;
            }
            break;
        }
        case Action::Close:
            handle.reset();
            seq.done();
            break;
        case Action::Show:
            hooks.show(step.console);
            seq.done();
            break;
        case Action::RepeatModeSelect:
            session.modeSelectPending().store(true);
            seq.done();
            break;
        case Action::Finished:
            break;
        }
    }
}

struct NoHooks {
    void show(ConsoleId) {}
};

// A blocking driver answers every step in turn, so an event that did not fit is this file's bug.
template <typename Sequence> void logFaults(const Sequence& seq, const char* name) {
    const std::optional<Fault> last = seq.lastFault();
    if (!last)
        return;
    const std::string_view event = eventName(last->event), step = actionName(last->step);
    qCWarning(lcSoui) << name << ":" << seq.faults() << "event(s) did not fit the sequence's step; the last:"
                      << QLatin1String(event.data(), qsizetype(event.size())) << "during"
                      << QLatin1String(step.data(), qsizetype(step.size()));
}

} // namespace

ApplyResult ApplyToAdapter(AdapterSession& session, WorkModeBlock& block, ConsoleId modeConsole) {
    Apply apply(block, modeConsole);
    drive(session, apply, NoHooks{});
    logFaults(apply, "apply");
    block = apply.block();
    const ApplyResult& result = apply.result();
    if (result.status == ApplyStatus::WriteFailed) {
        const std::string_view name = consoleInfo(result.failedConsole.value_or(ConsoleId::PS3)).name;
        qCWarning(lcSoui) << "the adapter did not take the record of"
                          << QLatin1String(name.data(), static_cast<qsizetype>(name.size()));
    }
    if (result.status == ApplyStatus::Success) {
        if (!apply.modeSelectDelivered())
            qCInfo(lcSoui) << "the mode select after apply was not delivered; the reader repeats it";
        session.wakeReader();
    }
    return result;
}

std::vector<ConsoleId> ReadBackFromAdapter(AdapterSession& session, WorkModeBlock& block,
                                           const RecordReplaced& onReplaced, ReadBackEnd* end,
                                           LinkError* error) {
    ReadBack readBack(block);
    struct Hooks {
        const ReadBack& seq;
        WorkModeBlock& block;
        const RecordReplaced& onReplaced;
        void show(ConsoleId console) {
            block.replaceRecord(console, seq.block().record(console));
            if (onReplaced)
                onReplaced(console);
        }
    };
    drive(session, readBack, Hooks{readBack, block, onReplaced});
    logFaults(readBack, "read-back");
    if (end)
        *end = readBack.end();
    if (error)
        *error = readBack.error();
    return readBack.replaced();
}

int RepeatModeSelect(AdapterSession& session) {
    ModeSelectRepeat repeat(session.selectedConsole().load());
    while (!repeat.finished()) {
        repeat.setConsole(session.selectedConsole().load()); // a selection meanwhile names the new console
        const bool delivered = SendShortCommand(session.platform(), repeat.step().report).ok();
        // Cleared after each delivered one, as the reader always did.
        if (delivered)
            session.modeSelectPending().store(false);
        repeat.sent(delivered);
    }
    logFaults(repeat, "mode select repetition");
    return repeat.deliveredCount();
}

} // namespace velorin::device
