// The page's WebAssembly interface over the core: plain C functions (`vw_*`) on bytes in the
// module's memory, so the page's TypeScript (web/src/core.ts) needs no glue beyond reading and
// writing that memory. The module keeps the page's one WorkModeBlock, the last pad state
// (`joyData`) and the one sequence that runs; everything about records, reports, names and lamps
// is the core's.
//
// Sequences: the page starts one, then loops on vw_seq_next(). The steps a browser has nothing to
// do for are answered here: Open (the page starts a sequence only with the adapter open; a vanished
// one is reported with vw_seq_gone), Close, Show (the page redraws when the sequence ends) and
// RepeatModeSelect (remembered: vw_seq_repeat_requested). What remains for the page is Send (the
// 64 data bytes in the buffer, report ID 0 apart) and Receive (a numbered deadline).
#include "core/Console.h"
#include "core/ConsoleCopy.h"
#include "core/KeyCodes.h"
#include "core/Kvf.h"
#include "core/PadState.h"
#include "core/Reports.h"
#include "core/Sequences.h"
#include "core/WorkMode.h"

#include <emscripten/emscripten.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>

using namespace velorin;

namespace {

constexpr int kAbiVersion = 1;

// What a sequence asks of the page (web/src/core.ts, Step).
enum PageStep : int { kSend = 1, kReceive = 2, kDone = 3 };
// How a sequence ended (web/src/core.ts, SeqStatus).
enum SeqStatus : int { kSuccess = 0, kNoAdapter = 1, kWriteFailed = 2, kNoReply = 3, kGone = 4 };

std::array<uint8_t, 256> buffer{};
WorkModeBlock pageBlock;
WorkModeBlock verifyBlock;
JoyState joy{};
std::string text;

struct Running {
    std::variant<std::monostate, ReadBack, Apply, ModeSelectRepeat> sequence;
    bool intoVerifyBlock = false;
    bool gone = false;
    bool repeatRequested = false;
    bool finished = true;
    uint32_t deadline = 0;
    uint32_t deadlineMs = 0;
    int status = kSuccess;
    int failedConsole = 0;
    int replaced = 0;
};
Running run;

std::optional<ConsoleId> console(int id) {
    return id >= 0 && id <= 0xFF ? consoleFromByte(uint8_t(id)) : std::nullopt;
}

const PadButton* buttonOf(int consoleId, int index) {
    const auto c = console(consoleId);
    if (!c)
        return nullptr;
    const auto buttons = consoleInfo(*c).buttons;
    return index >= 0 && std::size_t(index) < buttons.size() ? &buttons[std::size_t(index)] : nullptr;
}

const char* keep(std::string_view s) {
    text.assign(s);
    return text.c_str();
}

// The sequence has finished: its results into the page's state.
void conclude() {
    run.finished = true;
    if (auto* rb = std::get_if<ReadBack>(&run.sequence)) {
        const std::size_t n = rb->replacedCount();
        run.replaced = 0;
        // Only the records replaced: anything else the page holds stays as it is.
        for (std::size_t i = 0; i < n && i < kBlockOrder.size(); ++i) {
            const ConsoleId c = kBlockOrder[i];
            (run.intoVerifyBlock ? verifyBlock : pageBlock).replaceRecord(c, rb->block().record(c));
            run.replaced |= 1 << i;
        }
        switch (rb->end()) {
        case ReadBackEnd::Complete:
            run.status = kSuccess;
            break;
        case ReadBackEnd::NoAdapter:
            run.status = kNoAdapter;
            break;
        case ReadBackEnd::RequestFailed:
        case ReadBackEnd::NoReply:
            // The adapter leaving, while a request was sent or a reply awaited, is told apart.
            run.status = rb->error() == LinkError::Gone || run.gone ? kGone : kNoReply;
            break;
        }
    } else if (auto* ap = std::get_if<Apply>(&run.sequence)) {
        // The records prepared for writing, as the window keeps them in its block.
        pageBlock = ap->block();
        const ApplyResult& r = ap->result();
        run.failedConsole = r.failedConsole ? int(*r.failedConsole) : 0;
        run.status = r.status == ApplyStatus::Success           ? kSuccess
                     : r.status == ApplyStatus::NoAdapter       ? kNoAdapter
                     : run.gone || r.failure == LinkError::Gone ? kGone
                                                                : kWriteFailed;
    } else {
        run.status = kSuccess;
    }
}

template <typename F> void withSequence(F&& f) {
    std::visit(
        [&](auto& s) {
            if constexpr (!std::is_same_v<std::decay_t<decltype(s)>, std::monostate>)
                f(s);
        },
        run.sequence);
}

const Step* currentStep() {
    const Step* step = nullptr;
    withSequence([&](auto& s) { step = &s.step(); });
    return step;
}

void start() {
    run.gone = false;
    run.repeatRequested = false;
    run.finished = false;
    run.deadline = 0;
    run.status = kSuccess;
    run.failedConsole = 0;
    run.replaced = 0;
}

} // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE int vw_abi_version() {
    return kAbiVersion;
}
EMSCRIPTEN_KEEPALIVE uint8_t* vw_buffer() {
    return buffer.data();
}
// The page's block, for reading (108 bytes); it changes only through the functions below.
EMSCRIPTEN_KEEPALIVE const uint8_t* vw_block() {
    return pageBlock.raw().data();
}
EMSCRIPTEN_KEEPALIVE const uint8_t* vw_verify_block() {
    return verifyBlock.raw().data();
}

// ---- Consoles and buttons ----------------------------------------------------------------------

EMSCRIPTEN_KEEPALIVE int vw_console_id(int blockIndex) {
    return int(consoleAtBlockIndex(blockIndex));
}
EMSCRIPTEN_KEEPALIVE const char* vw_console_name(int id) {
    const auto c = console(id);
    return keep(c ? consoleInfo(*c).name : "");
}
EMSCRIPTEN_KEEPALIVE const char* vw_console_word(int id) {
    const auto c = console(id);
    return keep(c ? consoleInfo(*c).word : "");
}
// "btn_ps3": the console's tab in the main layout.
EMSCRIPTEN_KEEPALIVE const char* vw_console_tab_button(int id) {
    const auto c = console(id);
    return keep(c ? consoleInfo(*c).tabButton : "");
}
EMSCRIPTEN_KEEPALIVE int vw_button_count(int id) {
    const auto c = console(id);
    return c ? int(consoleInfo(*c).buttons.size()) : 0;
}
EMSCRIPTEN_KEEPALIVE int vw_button(int id, int index) {
    const PadButton* b = buttonOf(id, index);
    return b ? int(*b) : -1;
}
EMSCRIPTEN_KEEPALIVE const char* vw_button_name(int button) {
    return keep(button >= 0 && button < kPadButtonCount ? padButtonName(PadButton(button)) : "");
}
EMSCRIPTEN_KEEPALIVE int vw_record_byte(int button) {
    return button >= 0 && button < kPadButtonCount ? recordByte(PadButton(button)) : -1;
}

// ---- Key codes ---------------------------------------------------------------------------------

EMSCRIPTEN_KEEPALIVE const char* vw_key_name(int code) {
    return keep(code >= 0 && code <= 0xFF ? keyBoxText(KeyCode(code)) : "");
}
// 1, 2, 3 for the left, right and middle mouse codes (their texts are display texts); 0 otherwise.
EMSCRIPTEN_KEEPALIVE int vw_mouse_button(int code) {
    if (code < 0 || code > 0xFF || !isMouseCode(KeyCode(code)))
        return 0;
    for (int id = 2; id <= 4; ++id)
        if (mouseCodeForMenuId(id) == code)
            return id - 1;
    return 0;
}
EMSCRIPTEN_KEEPALIVE int vw_keyboard_code(int index) {
    return keyCodeForKeyIndex(index);
}
EMSCRIPTEN_KEEPALIVE int vw_menu_code(int id) {
    return mouseCodeForMenuId(id);
}

// ---- The block ---------------------------------------------------------------------------------

EMSCRIPTEN_KEEPALIVE int vw_set_cell(int consoleId, int button, int code) {
    const auto c = console(consoleId);
    if (!c || button < 0 || button >= kPadButtonCount || code < 0 || code > 0xFF ||
        !consoleHasButton(*c, PadButton(button)))
        return 0;
    pageBlock.setButton(*c, PadButton(button), KeyCode(code));
    return 1;
}
// A file's first bytes (at most 108 of them in `bytes`; `length` the file's whole length): the
// window's rule, the first 108 bytes of a file of at least 108. 0, and nothing changed, otherwise.
EMSCRIPTEN_KEEPALIVE int vw_load_block(const uint8_t* bytes, int length) {
    if (!bytes || length < 0)
        return 0;
    const std::size_t have = std::min<std::size_t>(std::size_t(length), kBlockSize);
    const auto block = kvf::blockFromFileBytes(std::span(bytes, have), kvf::SizeRule::AtLeastBlock, length);
    if (!block)
        return 0;
    pageBlock = *block;
    return 1;
}
EMSCRIPTEN_KEEPALIVE void vw_copy_console(int from, int to) {
    const auto f = console(from);
    const auto t = console(to);
    if (f && t)
        pageBlock = copyConsole(pageBlock, *f, *t);
}
// Whether apply would write the same 27 bytes for the two records of a console.
EMSCRIPTEN_KEEPALIVE int vw_same_when_written(int consoleId, const uint8_t* a, const uint8_t* b) {
    const auto c = console(consoleId);
    if (!c || !a || !b)
        return 0;
    workModeData x{};
    workModeData y{};
    std::copy_n(a, kRecordSize, x.begin());
    std::copy_n(b, kRecordSize, y.begin());
    prepareForWrite(*c, x);
    prepareForWrite(*c, y);
    return x == y ? 1 : 0;
}

// ---- Reports and the pad state -----------------------------------------------------------------

// The mode select's 64 data bytes (report ID 0 apart) into `out`.
EMSCRIPTEN_KEEPALIVE void vw_mode_select(int consoleId, uint8_t* out) {
    const OutputReport r = makeModeSelectReport(uint8_t(consoleId));
    std::copy(r.begin() + 1, r.end(), out);
}
// An input report's data bytes: kept as `joyData` when it is a live pad state (1).
EMSCRIPTEN_KEEPALIVE int vw_joy_take(const uint8_t* data, int length) {
    if (!data || length < 0)
        return 0;
    const InputReport report = inputReportFromData(std::span(data, std::size_t(length)));
    const auto state = joyStateFromReport(report);
    if (!state)
        return 0;
    joy = *state;
    return 1;
}
EMSCRIPTEN_KEEPALIVE void vw_joy_neutral() {
    joy = neutralJoyState(joy);
}
EMSCRIPTEN_KEEPALIVE void vw_joy_clear() {
    joy = JoyState{};
}
// The lamps of a console that are on, one bit per core button number.
EMSCRIPTEN_KEEPALIVE uint32_t vw_lamps(int consoleId) {
    const auto c = console(consoleId);
    if (!c)
        return 0;
    uint32_t bits = 0;
    for (const PadButton b : consoleInfo(*c).buttons)
        if (lampOn(joy, b))
            bits |= uint32_t(1) << unsigned(b);
    return bits;
}

// The buttons of a console held in the pad state for finding a box by pressing its button, one bit
// per core button number: the lit lamps, except that a stick direction counts only when the stick
// is pushed to within 0x10 of its end, as in the window, so that a resting or drifting stick never
// moves the focus. Bytes 2 and 3 are the left stick's X and Y (core/PadState.h).
EMSCRIPTEN_KEEPALIVE uint32_t vw_pad_pressed(int consoleId) {
    const auto c = console(consoleId);
    if (!c)
        return 0;
    constexpr uint8_t kStickEdgeMargin = 0x10;
    const auto atEdge = [](PadButton b) {
        switch (b) {
        case PadButton::lyhih_UP:
            return joy[3] <= kStickEdgeMargin;
        case PadButton::lyhih_DOWN:
            return joy[3] >= 0xFF - kStickEdgeMargin;
        case PadButton::lxhih_L:
            return joy[2] <= kStickEdgeMargin;
        case PadButton::lxhih_R:
            return joy[2] >= 0xFF - kStickEdgeMargin;
        default:
            return true;
        }
    };
    uint32_t bits = 0;
    for (const PadButton b : consoleInfo(*c).buttons)
        if (lampOn(joy, b) && atEdge(b))
            bits |= uint32_t(1) << unsigned(b);
    return bits;
}

// ---- Sequences ---------------------------------------------------------------------------------

// Read-back into the page's block, or (verify) into a block of its own, for the comparison after
// an apply.
EMSCRIPTEN_KEEPALIVE void vw_readback_start(int verify) {
    start();
    run.intoVerifyBlock = verify != 0;
    if (run.intoVerifyBlock)
        verifyBlock = WorkModeBlock{};
    run.sequence.emplace<ReadBack>(run.intoVerifyBlock ? verifyBlock : pageBlock);
}
EMSCRIPTEN_KEEPALIVE void vw_apply_start(int consoleId) {
    start();
    run.sequence.emplace<Apply>(pageBlock, consoleFromByte(uint8_t(consoleId)).value_or(ConsoleId::PS3));
}
EMSCRIPTEN_KEEPALIVE void vw_repeat_start(int consoleId) {
    start();
    run.sequence.emplace<ModeSelectRepeat>(consoleFromByte(uint8_t(consoleId)).value_or(ConsoleId::PS3));
}
// The next step for the page: kSend with the 64 data bytes in `out`, kReceive, or kDone.
EMSCRIPTEN_KEEPALIVE int vw_seq_next(uint8_t* out) {
    for (int guard = 0; guard < 64; ++guard) {
        const Step* step = currentStep();
        if (run.finished || !step)
            return kDone;
        switch (step->action) {
        case Action::Finished:
            conclude();
            return kDone;
        case Action::Open:
            withSequence([](auto& s) {
                if constexpr (requires { s.opened(true); })
                    s.opened(true);
            });
            break;
        case Action::Close:
        case Action::Show:
            withSequence([](auto& s) {
                if constexpr (requires { s.done(); })
                    s.done();
            });
            break;
        case Action::RepeatModeSelect:
            run.repeatRequested = true;
            withSequence([](auto& s) {
                if constexpr (requires { s.done(); })
                    s.done();
            });
            break;
        case Action::Send:
            std::copy(step->report.begin() + 1, step->report.end(), out);
            return kSend;
        case Action::Receive:
            run.deadline = step->deadline;
            run.deadlineMs = step->deadlineMs;
            return kReceive;
        }
    }
    return kDone; // a sequence that never ends is no sequence: the page stops driving it
}
EMSCRIPTEN_KEEPALIVE uint32_t vw_seq_deadline_id() {
    return run.deadline;
}
EMSCRIPTEN_KEEPALIVE uint32_t vw_seq_wait_ms() {
    return run.deadlineMs;
}
EMSCRIPTEN_KEEPALIVE void vw_seq_delivered(int ok) {
    withSequence([&](auto& s) { s.sent(ok != 0); });
}
EMSCRIPTEN_KEEPALIVE void vw_seq_input(const uint8_t* data, int length) {
    if (!data || length < 0)
        return;
    const InputReport report = inputReportFromData(std::span(data, std::size_t(length)));
    withSequence([&](auto& s) {
        if constexpr (requires { s.received(report); })
            s.received(report);
    });
}
EMSCRIPTEN_KEEPALIVE void vw_seq_deadline(uint32_t id) {
    withSequence([&](auto& s) {
        if constexpr (requires { s.deadlinePassed(id); })
            s.deadlinePassed(id);
    });
}
EMSCRIPTEN_KEEPALIVE void vw_seq_gone() {
    run.gone = true;
    withSequence([](auto& s) { s.gone(); });
}
EMSCRIPTEN_KEEPALIVE int vw_seq_status() {
    return run.status;
}
EMSCRIPTEN_KEEPALIVE int vw_seq_failed_console() {
    return run.failedConsole;
}
// The consoles the last read-back replaced: bit i for block position i.
EMSCRIPTEN_KEEPALIVE int vw_seq_replaced() {
    return run.replaced;
}
// The window's text for how the last apply ended ("Write switch workModeData error"); empty after
// a success or for another sequence.
EMSCRIPTEN_KEEPALIVE const char* vw_seq_error_text() {
    const auto* ap = std::get_if<Apply>(&run.sequence);
    return keep(ap && run.finished ? applyErrorText(ap->result()) : "");
}
EMSCRIPTEN_KEEPALIVE int vw_seq_repeat_requested() {
    return run.repeatRequested ? 1 : 0;
}

} // extern "C"
