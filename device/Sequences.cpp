#include "device/Sequences.h"

#include "device/Discovery.h"
#include "device/Reports.h"
#include "device/SharedState.h"
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
template <typename Sequence, typename Hooks> void drive(Sequence& seq, Hooks&& hooks) {
    std::unique_ptr<hid::HidHandle> handle;
    uint32_t deadline = 0;
    Clock::time_point deadlineAt{};
    while (!seq.finished()) {
        const Step& step = seq.step();
        switch (step.action) {
        case Action::Open:
            handle = OpenAdapter();
            seq.opened(handle != nullptr);
            break;
        case Action::Send:
            if (step.via == Via::Own)
                seq.sent(SendShortCommand(step.report).kind());
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
            modeSelectPending().store(1);
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

// The console the mode selects name.
ConsoleId selectedConsole() {
    return consoleFromByte(currentConsole().load()).value_or(ConsoleId::PS3);
}

} // namespace

ApplyResult ApplyToAdapter(WorkModeBlock& block, std::optional<ConsoleId> console) {
    Apply apply(block, console.value_or(selectedConsole()));
    drive(apply, NoHooks{});
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
        wakeReader();
    }
    return result;
}

std::vector<ConsoleId> ReadBackFromAdapter(WorkModeBlock& block, const RecordReplaced& onReplaced,
                                           ReadBackEnd* end, LinkError* error) {
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
    drive(readBack, Hooks{readBack, block, onReplaced});
    logFaults(readBack, "read-back");
    if (end)
        *end = readBack.end();
    if (error)
        *error = readBack.error();
    return readBack.replaced();
}

int RepeatModeSelect() {
    ModeSelectRepeat repeat(selectedConsole());
    while (!repeat.finished()) {
        repeat.setConsole(selectedConsole()); // a selection meanwhile names the new console
        const bool delivered = SendShortCommand(repeat.step().report).ok();
        // Cleared after each delivered one, as the reader always did.
        if (delivered)
            modeSelectPending().store(0);
        repeat.sent(delivered);
    }
    logFaults(repeat, "mode select repetition");
    return repeat.deliveredCount();
}

} // namespace velorin::device
