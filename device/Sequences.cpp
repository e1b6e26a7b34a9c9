#include "device/Sequences.h"

#include "device/Discovery.h"
#include "device/Reports.h"
#include "device/SharedState.h"
#include "model/Log.h"

#include <QtGlobal>

namespace velorin::device {

// The window shows these texts translated (context "messages"); velorinctl prints them as they are.
std::string_view applyErrorText(const ApplyResult& result) {
    switch (result.status) {
    case ApplyStatus::Success:
        return {};
    case ApplyStatus::NoAdapter:
        return QT_TRANSLATE_NOOP("messages", "CreateFileHandle error");
    case ApplyStatus::WriteFailed:
        break;
    }
    switch (result.failedConsole.value_or(ConsoleId::PS3)) {
    case ConsoleId::PS3:
        return QT_TRANSLATE_NOOP("messages", "Write ps3 workModeData error");
    case ConsoleId::PS4:
        return QT_TRANSLATE_NOOP("messages", "Write ps4 workModeData error");
    case ConsoleId::SWITCH:
        return QT_TRANSLATE_NOOP("messages", "Write switch workModeData error");
    case ConsoleId::XBOX:
        return QT_TRANSLATE_NOOP("messages", "Write Xbox workModeData error");
    }
    return {};
}

ApplyResult ApplyToAdapter(WorkModeBlock& block, std::optional<ConsoleId> console) {
    {
        const std::unique_ptr<hid::HidHandle> handle = OpenAdapter();
        if (!handle)
            return {ApplyStatus::NoAdapter, std::nullopt};
        for (const ConsoleId console : kBlockOrder) {
            const RecordSpan record = block.record(console);
            prepareRecordHeader(console, record);
            if (const LinkStatus written = WriteWorkMode(handle.get(), record); !written) {
                qCWarning(lcSoui) << "the adapter did not take the record of"
                                  << QLatin1String(consoleInfo(console).name.data(),
                                                   consoleInfo(console).name.size());
                return {ApplyStatus::WriteFailed, console, written.kind()};
            }
        }
    } // the handle is closed before the mode select
    modeSelectPending().store(1);
    const bool selected =
        console ? SendModeSelect(static_cast<uint8_t>(*console)).ok() : SendModeSelect().ok();
    if (!selected)
        qCInfo(lcSoui) << "the mode select after apply was not delivered; the reader repeats it";
    wakeReader();
    return {ApplyStatus::Success, std::nullopt};
}

std::vector<ConsoleId> ReadBackFromAdapter(WorkModeBlock& block, const RecordReplaced& onReplaced,
                                           ReadBackEnd* end, LinkError* error) {
    ReadBackEnd ignoredEnd = ReadBackEnd::Complete;
    LinkError ignoredError = LinkError::None;
    ReadBackEnd& why = end ? *end : ignoredEnd;
    LinkError& how = error ? *error : ignoredError;
    why = ReadBackEnd::NoAdapter;
    how = LinkError::Gone;
    std::vector<ConsoleId> replaced;
    // Opened before the first request, so the replies are queued for this handle.
    const std::unique_ptr<hid::HidHandle> handle = OpenAdapter();
    if (!handle)
        return replaced;
    why = ReadBackEnd::Complete;
    how = LinkError::None;
    for (const ConsoleId console : kBlockOrder) {
        if (const LinkStatus asked = SendWorkModeRequest(console); !asked) {
            why = ReadBackEnd::RequestFailed;
            how = asked.kind();
            break;
        }
        const RecordReply reply = ReadWorkModeReply(handle.get(), console);
        if (!reply) {
            why = ReadBackEnd::NoReply;
            how = reply.kind();
            break;
        }
        block.replaceRecord(console, *reply);
        replaced.push_back(console);
        if (onReplaced)
            onReplaced(console);
    }
    return replaced;
}

} // namespace velorin::device
