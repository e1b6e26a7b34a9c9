// The core compiled to WebAssembly (web/wasm/bindings.cpp): the consoles and pad buttons, key codes
// and names, the editing session (the records, undo, what the adapter is known to hold, the
// read-back rule), the report frames, the pad-state test, the lamps and pad presses, the boxes'
// keyboard order, and the read-back and apply sequences. Everything the page does with records and
// the adapter's protocol goes through here, so it is the window's behaviour byte for byte; this
// file only moves bytes in and out of the module's memory and never reads a record byte.

export const RECORD_SIZE = 27;
export const BLOCK_SIZE = 108;
export const REPORT_SIZE = 64; // an output report's data bytes (report ID 0 goes apart)
export const INPUT_SIZE = 32;

// What a sequence asks for next.
export const enum Step {
    Send = 1, // send the report, then say whether it was delivered (or that the adapter went)
    Receive = 2, // wait for an input report; the wait `deadline` lasts waitMs from when it first
    // appears (a further Receive with the same number goes on waiting), then say it passed
    Done = 3,
}

export const enum SeqStatus {
    Success = 0,
    NoAdapter = 1,
    WriteFailed = 2, // a write was refused: failedConsole names it
    NoReply = 3, // read-back: a request refused or a reply missing; the consoles after it were not read
    Gone = 4, // the adapter went away during the sequence
}

export interface ConsoleInfo {
    id: number; // PS3 1, PS4 2, XBOX 3, SWITCH 4
    blockIndex: number;
    name: string; // "PS3", "SWITCH"
    word: string; // "ps3", "switch"
    tabButton: string; // "btn_ps3": its tab in the main layout
    buttons: ButtonInfo[]; // in the window's button order
}

export interface ButtonInfo {
    id: number; // the core's button number
    name: string; // "L2", "lyhih_UP", "SHARE"
    spoken: string; // what a screen reader says: a text of context "pad" to translate, or the name
}

// What makes a HID device the adapter (the core's record of it, core/Identity.h).
export interface AdapterIdentity {
    vendorId: number;
    productId: number;
    usagePage: number;
    usage: number;
    // Data bytes of the largest report of each kind (the adapter numbers none); 0 for none.
    inputBytes: number;
    outputBytes: number;
    featureBytes: number;
    linkCollections: number;
}

// The eight numbers vw_adapter_identity() points at (web/wasm/identity.cpp), in this order.
export function identityFromHeap(heap: Uint8Array, at: number): AdapterIdentity {
    const v = new DataView(heap.buffer, heap.byteOffset + at, 32);
    const n = (i: number): number => v.getUint32(4 * i, true);
    return {
        vendorId: n(0),
        productId: n(1),
        usagePage: n(2),
        usage: n(3),
        inputBytes: n(4),
        outputBytes: n(5),
        featureBytes: n(6),
        linkCollections: n(7),
    };
}

// Where a box stands on its page, for the keyboard's order through them.
export interface BoxPlace {
    button: number;
    x: number;
    y: number;
    w: number;
    h: number;
}

// The page's session in the module (web/wasm/bindings.cpp, PageSession*).
type Session = number;

interface Exports {
    HEAPU8: Uint8Array;
    _vw_adapter_identity(): number;
    _vw_abi_version(): number;
    _vw_session_new(): Session;
    _vw_buffer(s: Session): number;
    _vw_buffer_size(): number;
    _vw_console_id(blockIndex: number): number;
    _vw_console_name(s: Session, id: number): number;
    _vw_console_word(s: Session, id: number): number;
    _vw_console_tab_button(s: Session, id: number): number;
    _vw_button_count(id: number): number;
    _vw_button(id: number, index: number): number;
    _vw_button_name(s: Session, button: number): number;
    _vw_spoken_button(s: Session, button: number): number;
    _vw_key_name(s: Session, code: number): number;
    _vw_mouse_button(code: number): number;
    _vw_keyboard_code(index: number): number;
    _vw_menu_code(id: number): number;
    _vw_block(s: Session): number;
    _vw_code(s: Session, consoleId: number, button: number): number;
    _vw_assign(s: Session, consoleId: number, button: number, code: number): number;
    _vw_load(s: Session, length: number): number;
    _vw_copy(s: Session, from: number, to: number): number;
    _vw_take_adapter_records(s: Session): number;
    _vw_undo(s: Session): number;
    _vw_redo(s: Session): number;
    _vw_can_undo(s: Session): number;
    _vw_can_redo(s: Session): number;
    _vw_changed(s: Session): number;
    _vw_differing(s: Session): number;
    _vw_kept_at_read_back(s: Session): number;
    _vw_unread(s: Session): number;
    _vw_unread_nor_chosen(s: Session): number;
    _vw_saved(s: Session): void;
    _vw_unsaved(s: Session): number;
    _vw_adapter_arrived(s: Session): void;
    _vw_mode_select(s: Session, consoleId: number): void;
    _vw_joy_take(s: Session, length: number): number;
    _vw_joy_neutral(s: Session): void;
    _vw_joy_clear(s: Session): void;
    _vw_lamps(s: Session, consoleId: number): number;
    _vw_pad_press(s: Session, consoleId: number, nowMs: number, quiet: number): number;
    _vw_pad_reset(s: Session, consoleId: number): void;
    _vw_focus_order(s: Session, count: number, pageWidth: number): number;
    _vw_readback_start(s: Session, verify: number): void;
    _vw_apply_start(s: Session, consoleId: number): void;
    _vw_repeat_start(s: Session, consoleId: number): void;
    _vw_seq_next(s: Session): number;
    _vw_seq_deadline_id(s: Session): number;
    _vw_seq_wait_ms(s: Session): number;
    _vw_seq_delivered(s: Session, ok: number): void;
    _vw_seq_input(s: Session, length: number): void;
    _vw_seq_deadline(s: Session, id: number): void;
    _vw_seq_gone(s: Session): void;
    _vw_seq_status(s: Session): number;
    _vw_seq_failed_console(s: Session): number;
    _vw_seq_replaced(s: Session): number;
    _vw_seq_kept(s: Session): number;
    _vw_seq_misnamed(s: Session): number;
    _vw_oddities(s: Session): number;
    _vw_seq_repeat_requested(s: Session): number;
    _vw_seq_error_text(s: Session): number;
    _vw_apply_end(s: Session, verified: number): number;
    _vw_text_in(s: Session): number;
    _vw_text_in_size(): number;
    _vw_link(s: Session, length: number): number;
    _vw_link_check(s: Session, have: number, length: number): number;
    _vw_link_take(s: Session): number;
    _vw_find_clashes(s: Session): number;
    _vw_clashing(s: Session, consoleId: number, button: number): number;
    _vw_changes(s: Session): number;
    _vw_change_console(s: Session, index: number): number;
    _vw_change_never_read(s: Session, index: number): number;
    _vw_change_count(s: Session, index: number): number;
    _vw_change_button(s: Session, index: number, entry: number): number;
    _vw_sheet_slots(): number;
    _vw_sheet_context(s: Session, i: number): number;
    _vw_sheet_source(s: Session, i: number): number;
    _vw_sheet_text(s: Session, i: number, length: number): void;
    _vw_sheet_svg(s: Session): number;
}

export const ABI_VERSION = 5;

// Why a link holds no mapping the page can take (the core's mappinglink::ErrorKind).
export type LinkProblem = "too-long" | "no-mapping" | "two-mappings" | "wrong-length" | "bad-character";
const LINK_PROBLEMS: Record<number, LinkProblem> = {
    1: "too-long",
    2: "no-mapping",
    3: "two-mappings",
    4: "wrong-length",
    5: "bad-character",
};

// One button whose code apply would change: what the adapter holds, what apply writes.
export interface ButtonChange {
    button: number;
    from: number;
    to: number;
}
// A console apply would change; `neverRead`: what the adapter holds for it is not known, so apply
// writes its whole record (and `buttons` is empty).
export interface ConsoleChanges {
    consoleId: number;
    neverRead: boolean;
    buttons: ButtonChange[];
}

// Where a text of the printable sheet comes from: a context and a Chinese source to translate, or
// an empty context for a text that reads the same in every language.
export interface SheetTextSource {
    context: string;
    source: string;
}

// What loading a file's bytes did.
export type LoadResult = "too-short" | "changed" | "same";

// What is odd about the records shown: records whose console byte is not their block position's
// console, and buttons whose code names no key.
export interface Oddities {
    ids: { consoleId: number; byte: number }[]; // the console of the block position, the byte found
    unnamed: { consoleId: number; button: number; code: number }[];
}

const decoder = new TextDecoder();
const encoder = new TextEncoder();

export class Core {
    readonly consoles: ConsoleInfo[];
    readonly identity: AdapterIdentity;
    private readonly m: Exports;
    private readonly s: Session;
    private readonly buf: number;
    private readonly bufSize: number;

    constructor(module: Exports) {
        this.m = module;
        if (module._vw_abi_version() !== ABI_VERSION)
            throw new Error(`core module speaks ABI ${module._vw_abi_version()}, the page ${ABI_VERSION}`);
        this.s = module._vw_session_new();
        this.buf = module._vw_buffer(this.s);
        this.bufSize = module._vw_buffer_size();
        this.identity = identityFromHeap(module.HEAPU8, module._vw_adapter_identity());
        this.consoles = [0, 1, 2, 3].map((blockIndex) => {
            const id = module._vw_console_id(blockIndex);
            const buttons: ButtonInfo[] = [];
            for (let i = 0; i < module._vw_button_count(id); ++i) {
                const b = module._vw_button(id, i);
                buttons.push({
                    id: b,
                    name: this.str(module._vw_button_name(this.s, b)),
                    spoken: this.str(module._vw_spoken_button(this.s, b)),
                });
            }
            return {
                id,
                blockIndex,
                name: this.str(module._vw_console_name(this.s, id)),
                word: this.str(module._vw_console_word(this.s, id)),
                tabButton: this.str(module._vw_console_tab_button(this.s, id)),
                buttons,
            };
        });
    }

    console(id: number): ConsoleInfo {
        const c = this.consoles.find((x) => x.id === id);
        if (!c) throw new Error(`no console ${id}`);
        return c;
    }

    private str(ptr: number): string {
        const heap = this.m.HEAPU8;
        let end = ptr;
        while (heap[end] !== 0) ++end;
        return decoder.decode(heap.subarray(ptr, end));
    }

    private put(bytes: Uint8Array, max: number): number {
        const n = Math.min(bytes.length, max, this.bufSize);
        this.m.HEAPU8.set(bytes.subarray(0, n), this.buf);
        return n;
    }

    private take(n: number, at = this.buf): Uint8Array {
        return this.m.HEAPU8.slice(at, at + n);
    }

    // Consoles from a set of block positions (bit i: position i), in block order.
    private ids(bits: number): number[] {
        return this.consoles.filter((c) => bits & (1 << c.blockIndex)).map((c) => c.id);
    }

    // A key code's name on a box ("Q", "F12", "7/Home"); "0xE8" for a code that names no key; empty
    // for 0 and for the mouse codes, whose texts are display texts (mouseButton says which).
    keyName(code: number): string {
        return this.str(this.m._vw_key_name(this.s, code));
    }
    // 1 left, 2 right, 3 middle for the three mouse codes; 0 otherwise.
    mouseButton(code: number): number {
        return this.m._vw_mouse_button(code);
    }
    keyboardCode(index: number): number {
        return this.m._vw_keyboard_code(index);
    }
    // The code of a function-menu entry (2, 3, 4: the mouse buttons); 0 for any other id.
    menuCode(id: number): number {
        return this.m._vw_menu_code(id);
    }

    // ---- The editing session (core/EditSession.h) ----

    // The four records as the page shows them: the bytes a save writes, never read here.
    block(): Uint8Array {
        return this.take(BLOCK_SIZE, this.m._vw_block(this.s));
    }
    // The code a box shows.
    code(consoleId: number, button: number): number {
        return this.m._vw_code(this.s, consoleId, button);
    }
    // The user's pick for a box; true when it changed the records (one undo step).
    assign(consoleId: number, button: number, code: number): boolean {
        return this.m._vw_assign(this.s, consoleId, button, code) === 1;
    }
    // A file's (or a link's) bytes as the user's records: the first 108 of a file of at least 108.
    // `length` is the whole file's, when only its beginning is given.
    load(bytes: Uint8Array, length = bytes.length): LoadResult {
        const n = this.put(bytes, BLOCK_SIZE);
        const r = this.m._vw_load(this.s, Math.max(length, n));
        return r < 0 ? "too-short" : r === 1 ? "changed" : "same";
    }
    // What is odd about the records shown (after a load, the file's).
    oddities(): Oddities {
        const n = this.m._vw_oddities(this.s);
        const v = new Int32Array(this.take(n * 4).buffer);
        const out: Oddities = { ids: [], unnamed: [] };
        let i = 0;
        for (let k = v[i++]; k > 0; --k, i += 2) out.ids.push({ consoleId: this.consoles[v[i]].id, byte: v[i + 1] });
        for (let k = v[i++]; k > 0; --k, i += 3) out.unnamed.push({ consoleId: v[i], button: v[i + 1], code: v[i + 2] });
        return out;
    }
    copy(from: number, to: number): boolean {
        return this.m._vw_copy(this.s, from, to) === 1;
    }
    // The adapter's records instead of the page's where they are known and differ (one undo step).
    takeAdapterRecords(): boolean {
        return this.m._vw_take_adapter_records(this.s) === 1;
    }
    undo(): boolean {
        return this.m._vw_undo(this.s) === 1;
    }
    redo(): boolean {
        return this.m._vw_redo(this.s) === 1;
    }
    canUndo(): boolean {
        return this.m._vw_can_undo(this.s) === 1;
    }
    canRedo(): boolean {
        return this.m._vw_can_redo(this.s) === 1;
    }
    // The consoles the user changed (not applied), by content.
    changed(): number[] {
        return this.ids(this.m._vw_changed(this.s));
    }
    // Of changed(), those whose records on the adapter are known: the adapter holds other records.
    differing(): number[] {
        return this.ids(this.m._vw_differing(this.s));
    }
    // Of differing(), the consoles whose changes the last read-back kept; a console leaves for good
    // once it stops differing.
    keptAtReadBack(): number[] {
        return this.ids(this.m._vw_kept_at_read_back(this.s));
    }
    // The consoles whose records on the adapter are unknown (not read since it was connected).
    unread(): number[] {
        return this.ids(this.m._vw_unread(this.s));
    }
    // Of unread(), those whose records the user did not choose whole (a file, a link, a copy):
    // what an apply would put over records nobody has seen.
    unreadNorChosen(): number[] {
        return this.ids(this.m._vw_unread_nor_chosen(this.s));
    }
    saved(): void {
        this.m._vw_saved(this.s);
    }
    // Whether leaving the page would lose changes: not applied and not saved to a file.
    unsaved(): boolean {
        return this.m._vw_unsaved(this.s) === 1;
    }
    // An adapter was connected: what it holds is unknown until it is read back.
    adapterArrived(): void {
        this.m._vw_adapter_arrived(this.s);
    }

    // ---- A mapping as a link, clashing keys, what apply will change, the sheet ----

    // Text into the module's text buffer, at most its size; returns how many bytes went in.
    private putText(text: string): number {
        const room = this.m._vw_text_in_size();
        // Only as much of a long text as can show that it is too long is encoded at all.
        const bytes = encoder.encode(text.length > room ? text.slice(0, room) : text);
        const n = Math.min(bytes.length, room);
        this.m.HEAPU8.set(bytes.subarray(0, n), this.m._vw_text_in(this.s));
        return n;
    }
    // The link of the records the page shows, on `base` (the page's address); empty when `base`
    // cannot carry one.
    link(base: string): string {
        return this.str(this.m._vw_link(this.s, this.putText(base)));
    }
    // Whether a link (or a fragment, "#m=...") holds a mapping; the core keeps it for takeLink.
    checkLink(text: string): LinkProblem | null {
        const have = this.putText(text);
        const length = text.length > have ? text.length : have;
        const r = this.m._vw_link_check(this.s, have, length);
        return r === 0 ? null : (LINK_PROBLEMS[-r] ?? "no-mapping");
    }
    // The mapping checkLink found becomes the user's records, as a loaded file's (one undo step).
    takeLink(): LoadResult {
        const r = this.m._vw_link_take(this.s);
        return r < 0 ? "too-short" : r === 1 ? "changed" : "same";
    }
    // For each console, the boxes whose code another box of that console has: button -> the
    // other buttons (core button numbers).
    clashes(): Map<number, Map<number, number[]>> {
        const out = new Map<number, Map<number, number[]>>();
        if (this.m._vw_find_clashes(this.s) === 0) return out;
        for (const c of this.consoles) {
            for (const b of c.buttons) {
                const bits = this.m._vw_clashing(this.s, c.id, b.id) >>> 0;
                if (!bits) continue;
                const others = c.buttons.filter((o) => bits & (1 << o.id)).map((o) => o.id);
                if (!out.has(c.id)) out.set(c.id, new Map());
                out.get(c.id)!.set(b.id, others);
            }
        }
        return out;
    }
    // What apply would change, per console in block order, against what the adapter is known to
    // hold.
    changes(): ConsoleChanges[] {
        const n = this.m._vw_changes(this.s);
        const out: ConsoleChanges[] = [];
        for (let i = 0; i < n; ++i) {
            const buttons: ButtonChange[] = [];
            for (let j = 0; j < this.m._vw_change_count(this.s, i); ++j) {
                const v = this.m._vw_change_button(this.s, i, j);
                if (v >= 0) buttons.push({ button: v >> 16, from: (v >> 8) & 0xff, to: v & 0xff });
            }
            out.push({ consoleId: this.m._vw_change_console(this.s, i), neverRead: this.m._vw_change_never_read(this.s, i) === 1, buttons });
        }
        return out;
    }
    // The sheet's texts by slot, and where each comes from.
    sheetSources(): SheetTextSource[] {
        const out: SheetTextSource[] = [];
        for (let i = 0; i < this.m._vw_sheet_slots(); ++i)
            out.push({ context: this.str(this.m._vw_sheet_context(this.s, i)), source: this.str(this.m._vw_sheet_source(this.s, i)) });
        return out;
    }
    // The printable sheet of the records the page shows, as SVG, with the texts in `language`
    // ("zh-CN", "en", "ja"), one per slot of sheetSources().
    sheetSvg(language: string, texts: string[]): string {
        this.m._vw_sheet_text(this.s, -1, this.putText(language));
        texts.forEach((text, i) => this.m._vw_sheet_text(this.s, i, this.putText(text)));
        return this.str(this.m._vw_sheet_svg(this.s));
    }

    // ---- Reports, the pad state, the boxes ----

    modeSelect(consoleId: number): Uint8Array {
        this.m._vw_mode_select(this.s, consoleId);
        return this.take(REPORT_SIZE);
    }

    // An input report's 32 data bytes: kept as the pad state when it is one (true).
    takeJoy(report: Uint8Array): boolean {
        const n = this.put(report, INPUT_SIZE);
        return this.m._vw_joy_take(this.s, n) === 1;
    }
    joyNeutral(): void {
        this.m._vw_joy_neutral(this.s);
    }
    joyClear(): void {
        this.m._vw_joy_clear(this.s);
    }
    // Which lamps of a console are on, as a set of the core's button numbers.
    lamps(consoleId: number): Set<number> {
        const bits = this.m._vw_lamps(this.s, consoleId) >>> 0;
        const on = new Set<number>();
        for (let b = 0; b < 32; ++b) if (bits & (1 << b)) on.add(b);
        return on;
    }
    // A new press of a pad button that moves the focus to its box, at `nowMs` (the page's clock);
    // -1 for none. Quiet presses are followed, not reported.
    padPress(consoleId: number, nowMs: number, quiet: boolean): number {
        return this.m._vw_pad_press(this.s, consoleId, nowMs, quiet ? 1 : 0);
    }
    // The console shown changed: what is held now is no new press.
    padReset(consoleId: number): void {
        this.m._vw_pad_reset(this.s, consoleId);
    }
    // The keyboard's order through a page's boxes, as the core's button numbers.
    focusOrder(places: BoxPlace[], pageWidth: number): number[] {
        const n = Math.min(places.length, Math.floor(this.bufSize / 20));
        const ints = new Int32Array(n * 5);
        places.slice(0, n).forEach((p, i) => ints.set([p.button, p.x, p.y, p.w, p.h], i * 5));
        this.m.HEAPU8.set(new Uint8Array(ints.buffer), this.buf);
        const count = this.m._vw_focus_order(this.s, n, pageWidth);
        return Array.from(this.take(count));
    }

    // ---- Sequences: start one, then loop on next() and answer each step ----

    // Read-back into the editing session (which keeps the user's changes), or into a block of its
    // own to verify an apply.
    startReadBack(verify: boolean): void {
        this.m._vw_readback_start(this.s, verify ? 1 : 0);
    }
    startApply(consoleId: number): void {
        this.m._vw_apply_start(this.s, consoleId);
    }
    // The reader's five mode selects after a selection or an apply.
    startRepeat(consoleId: number): void {
        this.m._vw_repeat_start(this.s, consoleId);
    }
    next(): { step: Step; report?: Uint8Array; deadline?: number; waitMs?: number } {
        const step = this.m._vw_seq_next(this.s) as Step;
        if (step === Step.Send) return { step, report: this.take(REPORT_SIZE) };
        if (step === Step.Receive)
            return { step, deadline: this.m._vw_seq_deadline_id(this.s), waitMs: this.m._vw_seq_wait_ms(this.s) };
        return { step };
    }
    delivered(ok: boolean): void {
        this.m._vw_seq_delivered(this.s, ok ? 1 : 0);
    }
    input(report: Uint8Array): void {
        const n = this.put(report, INPUT_SIZE);
        this.m._vw_seq_input(this.s, n);
    }
    deadline(id: number): void {
        this.m._vw_seq_deadline(this.s, id);
    }
    gone(): void {
        this.m._vw_seq_gone(this.s);
    }
    status(): SeqStatus {
        return this.m._vw_seq_status(this.s) as SeqStatus;
    }
    failedConsole(): number {
        return this.m._vw_seq_failed_console(this.s);
    }
    // The consoles whose records the last read-back received, in block order.
    replaced(): number[] {
        return this.ids(this.m._vw_seq_replaced(this.s));
    }
    // The consoles whose changes the last read-back kept over other records on the adapter.
    kept(): number[] {
        return this.ids(this.m._vw_seq_kept(this.s));
    }
    // The consoles whose reply in the last read-back named no console: not taken as records.
    misnamed(): number[] {
        return this.ids(this.m._vw_seq_misnamed(this.s));
    }
    // The window's text for how the last apply failed ("Write switch workModeData error"); empty
    // after a success.
    errorText(): string {
        return this.str(this.m._vw_seq_error_text(this.s));
    }
    // Whether the apply asked for the reader's repetition of the mode select.
    repeatRequested(): boolean {
        return this.m._vw_seq_repeat_requested(this.s) === 1;
    }
    // The last apply's bookkeeping once its verify is over: how many records the verify read back
    // (-1: no verify). Returns the consoles whose records came back other than written.
    applyEnd(verified: number): number[] {
        return this.ids(this.m._vw_apply_end(this.s, verified));
    }
}

// The core from its compiled WebAssembly and the module that binds it (velorin-core.js); fails
// if either cannot be had.
export async function loadCore(compiled: Promise<WebAssembly.Module>, url = new URL("./velorin-core.js", import.meta.url).href): Promise<Core> {
    const [factory, wasm] = await Promise.all([import(url) as Promise<{ default: (options?: object) => Promise<Exports> }>, compiled]);
    return new Promise<Core>((resolve, reject) => {
        const options = {
            // The module's own fetch of the .wasm is not needed: it is compiled already.
            instantiateWasm(imports: WebAssembly.Imports, done: (instance: WebAssembly.Instance, module: WebAssembly.Module) => void): object {
                WebAssembly.instantiate(wasm, imports).then((instance) => done(instance, wasm), reject);
                return {};
            },
        };
        factory.default(options).then((m) => resolve(new Core(m)), reject);
    });
}
