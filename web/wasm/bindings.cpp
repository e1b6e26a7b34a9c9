// The page's WebAssembly interface over the core: plain C functions (`vw_*`) on bytes in the
// module's memory, so the page's TypeScript (web/src/core.ts) needs no glue beyond reading and
// writing that memory. Everything about records, reports, names, lamps and the rules of editing is
// the core's.
//
// The page's state lives in one `PageSession` the page creates (`vw_session_new`) and hands to every
// function that needs it: the editing session (the block, what the adapter is known to hold, undo,
// the read-back rule; core/EditSession.h), the last pad state (`joyData`), the pad-press tracker,
// the one sequence that runs, the buffer the page passes bytes through and the last string handed
// out. The module keeps no state of its own.
//
// Sequences: the page starts one, then loops on vw_seq_next(). The steps a browser has nothing to
// do for are answered here: Open (the page starts a sequence only with the adapter open; a vanished
// one is reported with vw_seq_gone), Close, Show (the page redraws when the sequence ends) and
// RepeatModeSelect (remembered: vw_seq_repeat_requested). What remains for the page is Send (the
// 64 data bytes in the buffer, report ID 0 apart) and Receive (a numbered deadline). A read-back's
// records go to the editing session when it ends; an apply's once the page says how its verify
// went (vw_apply_end).
//
// What the page shows about a mapping is the core's too: the link of the block and the block of a
// link (core/MappingLink.h), the clashing keys (core/Clashes.h), what apply will change
// (core/ChangeList.h) and the printable sheet (core/Sheet.h), whose texts the page translates and
// hands back one slot at a time.
#include "core/Boxes.h"
#include "core/ChangeList.h"
#include "core/Clashes.h"
#include "core/Console.h"
#include "core/ConsoleCopy.h"
#include "core/EditSession.h"
#include "core/KeyCodes.h"
#include "core/Kvf.h"
#include "core/MappingLink.h"
#include "core/PadPress.h"
#include "core/PadState.h"
#include "core/Reports.h"
#include "core/Sequences.h"
#include "core/Sheet.h"
#include "core/WorkMode.h"

#include <emscripten/emscripten.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

using namespace velorin;

namespace {

constexpr int kAbiVersion = 5;

// What a sequence asks of the page (web/src/core.ts, Step).
enum PageStep : int { kSend = 1, kReceive = 2, kDone = 3 };
// How a sequence ended (web/src/core.ts, SeqStatus).
enum SeqStatus : int { kSuccess = 0, kNoAdapter = 1, kWriteFailed = 2, kNoReply = 3, kGone = 4 };

// The one sequence that runs, and what it ended with.
struct Running {
    std::variant<std::monostate, ReadBack, Apply, ModeSelectRepeat> sequence;
    bool verify = false; // a read-back that checks an apply, into its own block
    bool gone = false;
    bool repeatRequested = false;
    bool finished = true;
    uint32_t deadline = 0;
    uint32_t deadlineMs = 0;
    int status = kSuccess;
    int failedConsole = 0;
    int replaced = 0; // bit i: the record at block position i came back
    int kept = 0;     // bit i: a read-back kept the user's changes of the record at block position i
    int misnamed = 0; // bit i: the reply for block position i named no console: not taken as a record
};

// What an apply left for vw_apply_end: the records as written and how many the adapter took.
struct Written {
    WorkModeBlock block;
    std::size_t count = 0;
    bool pending = false;
};

} // namespace

struct PageSession {
    EditSession edit;
    JoyState joy{};
    // A focus move costs the page nothing: every new press is followed, however close together.
    PadPressTracker pads{0};
    Running run;
    Written written;
    WorkModeBlock verified;        // the records a verifying read-back received
    std::size_t verifiedCount = 0; // how many of them, in block order, named their console
    std::array<uint8_t, 1024> buffer{};
    std::string text;
    // Text the page passes in (an address, a fragment, a sheet text): a link's longest and one
    // byte more, so that a longer one is seen to be too long.
    std::array<uint8_t, mappinglink::kMaxLinkLength + 1> textIn{};
    std::optional<WorkModeBlock> linkBlock; // the block of the link checked last
    ClashReport clashes;
    std::vector<ConsoleChanges> changes;
    SheetTexts sheet = sheetTexts("zh-CN", {});
};

namespace {

std::optional<ConsoleId> console(int id) {
    return id >= 0 && id <= 0xFF ? consoleFromByte(uint8_t(id)) : std::nullopt;
}

std::optional<PadButton> button(int b) {
    return b >= 0 && b < kPadButtonCount ? std::optional(PadButton(b)) : std::nullopt;
}

const PadButton* buttonOf(int consoleId, int index) {
    const auto c = console(consoleId);
    if (!c)
        return nullptr;
    const auto buttons = consoleInfo(*c).buttons;
    return index >= 0 && std::size_t(index) < buttons.size() ? &buttons[std::size_t(index)] : nullptr;
}

// A string handed to the page lives in the session until the next one: the page copies it out at once.
const char* keep(PageSession* s, std::string_view v) {
    s->text.assign(v);
    return s->text.c_str();
}

// A set of consoles as bits of their block positions.
int mask(const std::vector<ConsoleId>& consoles) {
    int bits = 0;
    for (const ConsoleId c : consoles)
        bits |= 1 << consoleInfo(c).blockIndex;
    return bits;
}

// The sequence has finished: its results into the page's state.
void conclude(PageSession& s) {
    Running& run = s.run;
    run.finished = true;
    if (auto* rb = std::get_if<ReadBack>(&run.sequence)) {
        const std::size_t n = std::min(rb->replacedCount(), kBlockOrder.size());
        // The read-back takes a reply whose console byte names no console as the record asked for
        // (the window shows it). The page names such a reply instead and takes nothing from it.
        std::vector<ConsoleId> read;
        run.replaced = 0;
        run.misnamed = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const ConsoleId asked = kBlockOrder[i];
            if (rb->block().record(asked)[0] == uint8_t(asked)) {
                run.replaced |= 1 << i;
                read.push_back(asked);
            } else {
                run.misnamed |= 1 << i;
            }
        }
        if (run.verify) {
            s.verified = rb->block();
            // A verify counts the records before the first misnamed reply; the rest are unknown.
            s.verifiedCount = 0;
            while (s.verifiedCount < n && (run.misnamed & (1 << s.verifiedCount)) == 0)
                ++s.verifiedCount;
        } else {
            // What the adapter holds goes to the editing session, which keeps the user's changes.
            run.kept = mask(s.edit.readBack(rb->block(), read));
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
        const ApplyResult& r = ap->result();
        run.failedConsole = r.failedConsole ? int(*r.failedConsole) : 0;
        run.status = r.status == ApplyStatus::Success           ? kSuccess
                     : r.status == ApplyStatus::NoAdapter       ? kNoAdapter
                     : run.gone || r.failure == LinkError::Gone ? kGone
                                                                : kWriteFailed;
        // The records written before a refused one (or the adapter's leaving) are the adapter's.
        s.written.block = ap->block();
        s.written.count = recordsTaken(r);
        s.written.pending = true;
    } else {
        run.status = kSuccess;
    }
}

template <typename F> void withSequence(Running& run, F&& f) {
    std::visit(
        [&](auto& seq) {
            if constexpr (!std::is_same_v<std::decay_t<decltype(seq)>, std::monostate>)
                f(seq);
        },
        run.sequence);
}

const Step* currentStep(Running& run) {
    const Step* step = nullptr;
    withSequence(run, [&](auto& seq) { step = &seq.step(); });
    return step;
}

void start(Running& run) {
    run.gone = false;
    run.verify = false;
    run.repeatRequested = false;
    run.finished = false;
    run.deadline = 0;
    run.status = kSuccess;
    run.failedConsole = 0;
    run.replaced = 0;
    run.kept = 0;
    run.misnamed = 0;
}

std::string_view textIn(const PageSession* s, int length) {
    const std::size_t n = std::min<std::size_t>(std::size_t(std::max(length, 0)), s->textIn.size());
    return {reinterpret_cast<const char*>(s->textIn.data()), n};
}

const ConsoleChanges* changesAt(const PageSession* s, int index) {
    return index >= 0 && std::size_t(index) < s->changes.size() ? &s->changes[std::size_t(index)] : nullptr;
}

} // namespace

extern "C" {

EMSCRIPTEN_KEEPALIVE int vw_abi_version() {
    return kAbiVersion;
}

// ---- The page's session ------------------------------------------------------------------------

EMSCRIPTEN_KEEPALIVE PageSession* vw_session_new() {
    return std::make_unique<PageSession>().release(); // the page owns it until vw_session_delete
}
EMSCRIPTEN_KEEPALIVE void vw_session_delete(PageSession* s) {
    std::unique_ptr<PageSession> owned(s);
}
EMSCRIPTEN_KEEPALIVE uint8_t* vw_buffer(PageSession* s) {
    return s->buffer.data();
}
EMSCRIPTEN_KEEPALIVE int vw_buffer_size() {
    return int(std::tuple_size_v<decltype(PageSession::buffer)>);
}

// ---- Consoles and buttons ---------------------------------------------------------------------

EMSCRIPTEN_KEEPALIVE int vw_console_id(int blockIndex) {
    return int(consoleAtBlockIndex(blockIndex));
}
EMSCRIPTEN_KEEPALIVE const char* vw_console_name(PageSession* s, int id) {
    const auto c = console(id);
    return keep(s, c ? consoleInfo(*c).name : "");
}
EMSCRIPTEN_KEEPALIVE const char* vw_console_word(PageSession* s, int id) {
    const auto c = console(id);
    return keep(s, c ? consoleInfo(*c).word : "");
}
// "btn_ps3": the console's tab in the main layout.
EMSCRIPTEN_KEEPALIVE const char* vw_console_tab_button(PageSession* s, int id) {
    const auto c = console(id);
    return keep(s, c ? consoleInfo(*c).tabButton : "");
}
EMSCRIPTEN_KEEPALIVE int vw_button_count(int id) {
    const auto c = console(id);
    return c ? int(consoleInfo(*c).buttons.size()) : 0;
}
EMSCRIPTEN_KEEPALIVE int vw_button(int id, int index) {
    const PadButton* b = buttonOf(id, index);
    return b ? int(*b) : -1;
}
EMSCRIPTEN_KEEPALIVE const char* vw_button_name(PageSession* s, int b) {
    const auto pb = button(b);
    return keep(s, pb ? padButtonName(*pb) : "");
}
// What a screen reader says for a button: a text of context "pad" to translate, or its name.
EMSCRIPTEN_KEEPALIVE const char* vw_spoken_button(PageSession* s, int b) {
    const auto pb = button(b);
    return keep(s, pb ? spokenButton(*pb) : "");
}

// ---- Key codes ---------------------------------------------------------------------------------

// A box's text for a code: the key's name; empty for 0 and the mouse codes (display texts); the code
// itself ("0xE8") for one that names no key, so that it does not look unassigned.
EMSCRIPTEN_KEEPALIVE const char* vw_key_name(PageSession* s, int code) {
    if (code < 0 || code > 0xFF)
        return keep(s, "");
    if (code != 0 && !namesKey(KeyCode(code))) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        const char text[] = {'0', 'x', kHex[code >> 4], kHex[code & 0xF], '\0'};
        return keep(s, text);
    }
    return keep(s, keyBoxText(KeyCode(code)));
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

// ---- The block and the editing session -----------------------------------------------------------

// The block the page shows (108 bytes), for a save; it changes only through the functions below.
EMSCRIPTEN_KEEPALIVE const uint8_t* vw_block(PageSession* s) {
    return s->edit.block().raw().data();
}
// The code a box shows.
EMSCRIPTEN_KEEPALIVE int vw_code(PageSession* s, int consoleId, int b) {
    const auto c = console(consoleId);
    const auto pb = button(b);
    return c && pb ? int(s->edit.code(*c, *pb)) : 0;
}
// The user's pick for a box: 1 when it changed the block (one undo step).
EMSCRIPTEN_KEEPALIVE int vw_assign(PageSession* s, int consoleId, int b, int code) {
    const auto c = console(consoleId);
    const auto pb = button(b);
    if (!c || !pb || code < 0 || code > 0xFF)
        return 0;
    return s->edit.assign(*c, *pb, KeyCode(code)) ? 1 : 0;
}
// A file's first bytes (at most 108 of them in the buffer; `length` the file's whole length), or a
// link's: the window's rule, the first 108 bytes of a file of at least 108, loaded as the user's
// records. -1, and nothing changed, for a file that is too short; 1 when the block changed; 0 when
// it already held those records.
EMSCRIPTEN_KEEPALIVE int vw_load(PageSession* s, int length) {
    if (length < 0)
        return -1;
    const std::size_t have = std::min<std::size_t>(std::size_t(length), kBlockSize);
    const auto block =
        kvf::blockFromFileBytes(std::span(s->buffer.data(), have), kvf::SizeRule::AtLeastBlock, length);
    if (!block)
        return -1;
    return s->edit.load(*block) ? 1 : 0;
}
// What is odd about the records the page shows (after a load: the file's), as int32 in the buffer:
// the count of records whose console byte is not the console of its block position, then for each
// its block position and that byte; the count of buttons whose code names no key (core/Clashes.h),
// then for each the console, the button and the code. Returns how many int32 were written.
EMSCRIPTEN_KEEPALIVE int vw_oddities(PageSession* s) {
    std::vector<int32_t> out{0};
    const WorkModeBlock& block = s->edit.block();
    for (std::size_t i = 0; i < kBlockOrder.size(); ++i) {
        const uint8_t byte = block.record(kBlockOrder[i])[0];
        if (byte != uint8_t(kBlockOrder[i])) {
            ++out[0];
            out.insert(out.end(), {int32_t(i), int32_t(byte)});
        }
    }
    const std::size_t unnamedAt = out.size();
    out.push_back(0);
    const std::size_t room = s->buffer.size() / sizeof(int32_t);
    for (const UnnamedCode& u : findClashes(block).unnamed) {
        if (out.size() + 3 > room)
            break; // as many as the buffer holds: the first ones are enough to say what is odd
        ++out[unnamedAt];
        out.insert(out.end(), {int32_t(u.console), int32_t(u.button), int32_t(u.code)});
    }
    std::memcpy(s->buffer.data(), out.data(), out.size() * sizeof(int32_t));
    return int(out.size());
}
EMSCRIPTEN_KEEPALIVE int vw_copy(PageSession* s, int from, int to) {
    const auto f = console(from);
    const auto t = console(to);
    return f && t && s->edit.copy(*f, *t) ? 1 : 0;
}
// The adapter's records instead of the page's, for the consoles that differ from them.
EMSCRIPTEN_KEEPALIVE int vw_take_adapter_records(PageSession* s) {
    return s->edit.takeAdapterRecords() ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE int vw_undo(PageSession* s) {
    return s->edit.undo() ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE int vw_redo(PageSession* s) {
    return s->edit.redo() ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE int vw_can_undo(PageSession* s) {
    return s->edit.canUndo() ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE int vw_can_redo(PageSession* s) {
    return s->edit.canRedo() ? 1 : 0;
}
// Sets of consoles, bit i for block position i: changed by the user; of those, differing from what
// the adapter is known to hold; unread; unread and not the user's whole.
EMSCRIPTEN_KEEPALIVE int vw_changed(PageSession* s) {
    return mask(s->edit.changed());
}
EMSCRIPTEN_KEEPALIVE int vw_differing(PageSession* s) {
    return mask(s->edit.differing());
}
// Of those, the consoles whose changes the last read-back kept, while they still differ.
EMSCRIPTEN_KEEPALIVE int vw_kept_at_read_back(PageSession* s) {
    return mask(s->edit.keptAtReadBack());
}
EMSCRIPTEN_KEEPALIVE int vw_unread(PageSession* s) {
    return mask(s->edit.unread());
}
EMSCRIPTEN_KEEPALIVE int vw_unread_nor_chosen(PageSession* s) {
    return mask(s->edit.unreadNorChosen());
}
// The block was saved to a file; vw_unsaved: leaving would lose changes neither applied nor saved.
EMSCRIPTEN_KEEPALIVE void vw_saved(PageSession* s) {
    s->edit.saved();
}
EMSCRIPTEN_KEEPALIVE int vw_unsaved(PageSession* s) {
    return s->edit.unsaved() ? 1 : 0;
}
// An adapter was connected: what it holds is unknown until it is read back.
EMSCRIPTEN_KEEPALIVE void vw_adapter_arrived(PageSession* s) {
    s->edit.adapterArrived();
}

// ---- Reports and the pad state -----------------------------------------------------------------

// The mode select's 64 data bytes (report ID 0 apart) into the buffer.
EMSCRIPTEN_KEEPALIVE void vw_mode_select(PageSession* s, int consoleId) {
    const OutputReport r = makeModeSelectReport(uint8_t(consoleId));
    std::copy(r.begin() + 1, r.end(), s->buffer.begin());
}
// An input report's data bytes (`length` of them in the buffer): kept as `joyData` when it is a
// live pad state (1).
EMSCRIPTEN_KEEPALIVE int vw_joy_take(PageSession* s, int length) {
    const InputReport report = inputReportFromData(std::span<const uint8_t>(
        s->buffer.data(), std::size_t(std::clamp(length, 0, int(kInputReportSize)))));
    const auto state = joyStateFromReport(report);
    if (!state)
        return 0;
    s->joy = *state;
    return 1;
}
EMSCRIPTEN_KEEPALIVE void vw_joy_neutral(PageSession* s) {
    s->joy = neutralJoyState(s->joy);
}
EMSCRIPTEN_KEEPALIVE void vw_joy_clear(PageSession* s) {
    s->joy = JoyState{};
}
// The lamps of a console that are on, one bit per core button number.
EMSCRIPTEN_KEEPALIVE uint32_t vw_lamps(PageSession* s, int consoleId) {
    const auto c = console(consoleId);
    if (!c)
        return 0;
    uint32_t bits = 0;
    for (const PadButton b : consoleInfo(*c).buttons)
        if (lampOn(s->joy, b))
            bits |= uint32_t(1) << unsigned(b);
    return bits;
}
// A new press of a pad button that moves the focus to its box (core/PadPress.h), at `nowMs` of
// the page's clock; -1 for none. `quiet` presses are followed but not reported.
EMSCRIPTEN_KEEPALIVE int vw_pad_press(PageSession* s, int consoleId, double nowMs, int quiet) {
    const auto c = console(consoleId);
    if (!c)
        return -1;
    const auto press = s->pads.onState(s->joy, *c, uint64_t(std::max(0.0, nowMs)), quiet != 0);
    return press ? int(*press) : -1;
}
// The console shown changed: what is held now is no new press.
EMSCRIPTEN_KEEPALIVE void vw_pad_reset(PageSession* s, int consoleId) {
    if (const auto c = console(consoleId))
        s->pads.reset(s->joy, *c);
}

// ---- The boxes' keyboard order -------------------------------------------------------------------

// `count` boxes as five int32 each in the buffer (button, x, y, width, height); their buttons in
// the keyboard's order replace them, one byte each. Returns how many.
EMSCRIPTEN_KEEPALIVE int vw_focus_order(PageSession* s, int count, int pageWidth) {
    constexpr std::size_t kInts = 5;
    const std::size_t n =
        std::min<std::size_t>(std::size_t(std::max(count, 0)), s->buffer.size() / (kInts * 4));
    std::vector<BoxPlace> places;
    for (std::size_t i = 0; i < n; ++i) {
        std::array<int32_t, kInts> v{};
        std::memcpy(v.data(), s->buffer.data() + i * kInts * 4, sizeof v);
        if (const auto b = button(v[0]))
            places.push_back({*b, v[1], v[2], v[3], v[4]});
    }
    const std::vector<PadButton> order = boxFocusOrder(places, pageWidth);
    for (std::size_t i = 0; i < order.size(); ++i)
        s->buffer[i] = uint8_t(order[i]);
    return int(order.size());
}

// ---- Sequences ---------------------------------------------------------------------------------

// Read-back: into the editing session, or (verify) into a block of its own to check an apply.
EMSCRIPTEN_KEEPALIVE void vw_readback_start(PageSession* s, int verify) {
    start(s->run);
    s->run.verify = verify != 0;
    s->run.sequence.emplace<ReadBack>(s->edit.block());
}
EMSCRIPTEN_KEEPALIVE void vw_apply_start(PageSession* s, int consoleId) {
    start(s->run);
    s->written.pending = false;
    s->run.sequence.emplace<Apply>(s->edit.block(), console(consoleId).value_or(ConsoleId::PS3));
}
EMSCRIPTEN_KEEPALIVE void vw_repeat_start(PageSession* s, int consoleId) {
    start(s->run);
    s->run.sequence.emplace<ModeSelectRepeat>(console(consoleId).value_or(ConsoleId::PS3));
}
// The next step for the page: kSend with the 64 data bytes in the buffer, kReceive, or kDone.
EMSCRIPTEN_KEEPALIVE int vw_seq_next(PageSession* s) {
    Running& run = s->run;
    for (int guard = 0; guard < 64; ++guard) {
        const Step* step = currentStep(run);
        if (run.finished || !step)
            return kDone;
        switch (step->action) {
        case Action::Finished:
            conclude(*s);
            return kDone;
        case Action::Open:
            withSequence(run, [](auto& seq) {
                if constexpr (requires { seq.opened(true); })
                    seq.opened(true);
            });
            break;
        case Action::Close:
        case Action::Show:
            withSequence(run, [](auto& seq) {
                if constexpr (requires { seq.done(); })
                    seq.done();
            });
            break;
        case Action::RepeatModeSelect:
            run.repeatRequested = true;
            withSequence(run, [](auto& seq) {
                if constexpr (requires { seq.done(); })
                    seq.done();
            });
            break;
        case Action::Send:
            std::copy(step->report.begin() + 1, step->report.end(), s->buffer.begin());
            return kSend;
        case Action::Receive:
            run.deadline = step->deadline;
            run.deadlineMs = step->deadlineMs;
            return kReceive;
        }
    }
    return kDone; // a sequence that never ends is no sequence: the page stops driving it
}
EMSCRIPTEN_KEEPALIVE uint32_t vw_seq_deadline_id(PageSession* s) {
    return s->run.deadline;
}
EMSCRIPTEN_KEEPALIVE uint32_t vw_seq_wait_ms(PageSession* s) {
    return s->run.deadlineMs;
}
EMSCRIPTEN_KEEPALIVE void vw_seq_delivered(PageSession* s, int ok) {
    withSequence(s->run, [&](auto& seq) { seq.sent(ok != 0); });
}
// An input report's data bytes (`length` of them in the buffer) for the sequence.
EMSCRIPTEN_KEEPALIVE void vw_seq_input(PageSession* s, int length) {
    const InputReport report = inputReportFromData(std::span<const uint8_t>(
        s->buffer.data(), std::size_t(std::clamp(length, 0, int(kInputReportSize)))));
    withSequence(s->run, [&](auto& seq) {
        if constexpr (requires { seq.received(report); })
            seq.received(report);
    });
}
EMSCRIPTEN_KEEPALIVE void vw_seq_deadline(PageSession* s, uint32_t id) {
    withSequence(s->run, [&](auto& seq) {
        if constexpr (requires { seq.deadlinePassed(id); })
            seq.deadlinePassed(id);
    });
}
EMSCRIPTEN_KEEPALIVE void vw_seq_gone(PageSession* s) {
    s->run.gone = true;
    withSequence(s->run, [](auto& seq) { seq.gone(); });
}
EMSCRIPTEN_KEEPALIVE int vw_seq_status(PageSession* s) {
    return s->run.status;
}
EMSCRIPTEN_KEEPALIVE int vw_seq_failed_console(PageSession* s) {
    return s->run.failedConsole;
}
// The consoles the last read-back received: bit i for block position i.
EMSCRIPTEN_KEEPALIVE int vw_seq_replaced(PageSession* s) {
    return s->run.replaced;
}
// The consoles whose changes the last read-back kept over other records on the adapter.
EMSCRIPTEN_KEEPALIVE int vw_seq_kept(PageSession* s) {
    return s->run.kept;
}
// The consoles whose reply in the last read-back named no console (bits of block positions): their
// records were not taken.
EMSCRIPTEN_KEEPALIVE int vw_seq_misnamed(PageSession* s) {
    return s->run.misnamed;
}
// The window's text for how the last apply ended ("Write switch workModeData error"); empty after
// a success or for another sequence.
EMSCRIPTEN_KEEPALIVE const char* vw_seq_error_text(PageSession* s) {
    const auto* ap = std::get_if<Apply>(&s->run.sequence);
    return keep(s, ap && s->run.finished ? applyErrorText(ap->result()) : "");
}
EMSCRIPTEN_KEEPALIVE int vw_seq_repeat_requested(PageSession* s) {
    return s->run.repeatRequested ? 1 : 0;
}
// The last apply's bookkeeping, once its verify is over: `verified` records (in block order) came
// back from the verifying read-back, or -1 when there was none. The adapter is known to hold what
// was written and verified (core/EditSession.h). Returns the consoles whose verified records
// differ from what was written, as bits of block positions; 0 when no apply is pending.
EMSCRIPTEN_KEEPALIVE int vw_apply_end(PageSession* s, int verified) {
    if (!s->written.pending)
        return 0;
    s->written.pending = false;
    if (verified < 0)
        return mask(s->edit.applied(s->written.block, s->written.count));
    const std::size_t count = std::min({std::size_t(verified), s->verifiedCount, kConsoleCount});
    return mask(
        s->edit.applied(s->written.block, s->written.count, EditSession::Verification{s->verified, count}));
}

// ---- A mapping as a link -------------------------------------------------------------------------

// Where the page writes text for the functions below (UTF-8, at most vw_text_in_size() bytes).
EMSCRIPTEN_KEEPALIVE uint8_t* vw_text_in(PageSession* s) {
    return s->textIn.data();
}
EMSCRIPTEN_KEEPALIVE int vw_text_in_size() {
    return int(std::tuple_size_v<decltype(PageSession::textIn)>);
}
// The link of the block the page shows, on the base address (`length` bytes in the text buffer);
// empty when the base cannot carry one.
EMSCRIPTEN_KEEPALIVE const char* vw_link(PageSession* s, int length) {
    const auto link = mappinglink::linkForBlock(s->edit.block(), textIn(s, length));
    return keep(s, link ? *link : std::string());
}
// Checks a link, a fragment or a parameter list: `have` bytes of it in the text buffer, `length`
// its whole length (a text longer than a link may be is refused by that alone, without being
// copied in). 0 when it holds a mapping, kept for vw_link_take; otherwise the error's kind
// (mappinglink::ErrorKind) as a negative number, and nothing is kept.
EMSCRIPTEN_KEEPALIVE int vw_link_check(PageSession* s, int have, int length) {
    s->linkBlock.reset();
    if (length < 0 || std::size_t(length) > mappinglink::kMaxLinkLength || have != length)
        return -int(mappinglink::ErrorKind::TooLong);
    auto block = mappinglink::blockFromLink(textIn(s, have));
    if (!block)
        return -int(block.error().kind);
    s->linkBlock = *block;
    return 0;
}
// The mapping last checked becomes the user's records, as a file's would (one undo step): 1 when
// the block changed, 0 when it already held them, -1 when no mapping was checked.
EMSCRIPTEN_KEEPALIVE int vw_link_take(PageSession* s) {
    if (!s->linkBlock)
        return -1;
    const WorkModeBlock block = *s->linkBlock;
    s->linkBlock.reset();
    return s->edit.load(block) ? 1 : 0;
}

// ---- Clashing keys -------------------------------------------------------------------------------

// Looks at the block the page shows; returns how many clashes there are.
EMSCRIPTEN_KEEPALIVE int vw_find_clashes(PageSession* s) {
    s->clashes = findClashes(s->edit.block());
    return int(s->clashes.clashes.size());
}
// The other buttons of the console that have the code of `button` (as of vw_find_clashes), one bit
// per core button number; 0 when none do.
EMSCRIPTEN_KEEPALIVE uint32_t vw_clashing(PageSession* s, int consoleId, int b) {
    const auto c = console(consoleId);
    const auto pb = button(b);
    if (!c || !pb)
        return 0;
    uint32_t bits = 0;
    for (const PadButton other : clashingButtons(s->clashes, *c, *pb))
        bits |= uint32_t(1) << unsigned(other);
    return bits;
}

// ---- What apply will change ----------------------------------------------------------------------

// Compares the block the page shows with what the adapter is known to hold; returns how many
// consoles apply would change. The entries are read with the functions below.
EMSCRIPTEN_KEEPALIVE int vw_changes(PageSession* s) {
    KnownRecords known;
    for (std::size_t i = 0; i < kConsoleCount; ++i)
        known[i] = s->edit.known(kBlockOrder[i]);
    s->changes = changesToApply(s->edit.block(), known);
    return int(s->changes.size());
}
EMSCRIPTEN_KEEPALIVE int vw_change_console(PageSession* s, int index) {
    const ConsoleChanges* c = changesAt(s, index);
    return c ? int(c->console) : 0;
}
// 1 when what the adapter holds for that console is not known: apply writes its whole record.
EMSCRIPTEN_KEEPALIVE int vw_change_never_read(PageSession* s, int index) {
    const ConsoleChanges* c = changesAt(s, index);
    return c && c->neverRead ? 1 : 0;
}
EMSCRIPTEN_KEEPALIVE int vw_change_count(PageSession* s, int index) {
    const ConsoleChanges* c = changesAt(s, index);
    return c ? int(c->buttons.size()) : 0;
}
// One changed button: its number << 16 | the adapter's code << 8 | the code apply writes; -1 for
// none.
EMSCRIPTEN_KEEPALIVE int vw_change_button(PageSession* s, int index, int entry) {
    const ConsoleChanges* c = changesAt(s, index);
    if (!c || entry < 0 || std::size_t(entry) >= c->buttons.size())
        return -1;
    const ButtonChange& b = c->buttons[std::size_t(entry)];
    return int(b.button) << 16 | int(b.from) << 8 | int(b.to);
}

// ---- The printable sheet ---------------------------------------------------------------------------

EMSCRIPTEN_KEEPALIVE int vw_sheet_slots() {
    return int(kSheetTextCount);
}
// Where slot `i`'s text comes from: its context (empty: the same in every language) and source.
EMSCRIPTEN_KEEPALIVE const char* vw_sheet_context(PageSession* s, int i) {
    return keep(s, i >= 0 && i < int(kSheetTextCount) ? sheetTextSources()[std::size_t(i)].context : "");
}
EMSCRIPTEN_KEEPALIVE const char* vw_sheet_source(PageSession* s, int i) {
    return keep(s, i >= 0 && i < int(kSheetTextCount) ? sheetTextSources()[std::size_t(i)].source : "");
}
// Slot `i`'s text in the page's language (`length` bytes in the text buffer); slot -1 is the
// document's language tag.
EMSCRIPTEN_KEEPALIVE void vw_sheet_text(PageSession* s, int i, int length) {
    const std::string_view text = textIn(s, length);
    if (i == -1)
        s->sheet.language.assign(text.substr(0, 35));
    else if (i >= 0 && i < int(kSheetTextCount))
        s->sheet.texts[std::size_t(i)].assign(text); // cut where it is drawn, at a character's end
}
// The sheet of the block the page shows, as SVG, with the texts given.
EMSCRIPTEN_KEEPALIVE const char* vw_sheet_svg(PageSession* s) {
    return keep(s, renderSheetSvg(s->edit.block(), s->sheet));
}

} // extern "C"
