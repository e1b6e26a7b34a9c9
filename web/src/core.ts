// The core compiled to WebAssembly (web/wasm/bindings.cpp): the consoles and pad buttons, key codes
// and names, the records and the block, console copy, the report frames, the pad-state test and the
// lamps, and the read-back and apply sequences. Everything the page does with records and the
// adapter's protocol goes through here, so it is the window's behaviour byte for byte; this file
// only moves bytes in and out of the module's memory.

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
    id: number; // the core's button number, used for lamps
    name: string; // "L2", "lyhih_UP", "SHARE"
    byte: number; // the record byte it assigns
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

interface Exports {
    HEAPU8: Uint8Array;
    _vw_adapter_identity(): number;
    _vw_abi_version(): number;
    _vw_buffer(): number;
    _vw_block(): number;
    _vw_verify_block(): number;
    _vw_console_id(blockIndex: number): number;
    _vw_console_name(id: number): number;
    _vw_console_word(id: number): number;
    _vw_console_tab_button(id: number): number;
    _vw_button_count(id: number): number;
    _vw_button(id: number, index: number): number;
    _vw_button_name(button: number): number;
    _vw_record_byte(button: number): number;
    _vw_key_name(code: number): number;
    _vw_mouse_button(code: number): number;
    _vw_keyboard_code(index: number): number;
    _vw_menu_code(id: number): number;
    _vw_set_cell(consoleId: number, button: number, code: number): number;
    _vw_load_block(bytes: number, length: number): number;
    _vw_copy_console(from: number, to: number): void;
    _vw_same_when_written(consoleId: number, a: number, b: number): number;
    _vw_mode_select(consoleId: number, out: number): void;
    _vw_joy_take(report: number, length: number): number;
    _vw_joy_neutral(): void;
    _vw_joy_clear(): void;
    _vw_lamps(consoleId: number): number;
    _vw_pad_pressed(consoleId: number): number;
    _vw_readback_start(intoVerifyBlock: number): void;
    _vw_apply_start(consoleId: number): void;
    _vw_repeat_start(consoleId: number): void;
    _vw_seq_next(out: number): number;
    _vw_seq_deadline_id(): number;
    _vw_seq_wait_ms(): number;
    _vw_seq_delivered(ok: number): void;
    _vw_seq_input(report: number, length: number): void;
    _vw_seq_deadline(id: number): void;
    _vw_seq_gone(): void;
    _vw_seq_status(): number;
    _vw_seq_failed_console(): number;
    _vw_seq_replaced(): number;
    _vw_seq_repeat_requested(): number;
    _vw_seq_error_text(): number;
}

export const ABI_VERSION = 1;

const decoder = new TextDecoder();

export class Core {
    readonly consoles: ConsoleInfo[];
    readonly identity: AdapterIdentity;
    private readonly m: Exports;
    private readonly buf: number;

    constructor(module: Exports) {
        this.m = module;
        if (module._vw_abi_version() !== ABI_VERSION)
            throw new Error(`core module speaks ABI ${module._vw_abi_version()}, the page ${ABI_VERSION}`);
        this.buf = module._vw_buffer();
        this.identity = identityFromHeap(module.HEAPU8, module._vw_adapter_identity());
        this.consoles = [0, 1, 2, 3].map((blockIndex) => {
            const id = module._vw_console_id(blockIndex);
            const buttons: ButtonInfo[] = [];
            for (let i = 0; i < module._vw_button_count(id); ++i) {
                const b = module._vw_button(id, i);
                buttons.push({ id: b, name: this.str(module._vw_button_name(b)), byte: module._vw_record_byte(b) });
            }
            return {
                id,
                blockIndex,
                name: this.str(module._vw_console_name(id)),
                word: this.str(module._vw_console_word(id)),
                tabButton: this.str(module._vw_console_tab_button(id)),
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

    private put(bytes: Uint8Array, max = 256): number {
        const n = Math.min(bytes.length, max);
        this.m.HEAPU8.set(bytes.subarray(0, n), this.buf);
        return n;
    }

    private take(n: number, at = this.buf): Uint8Array {
        return this.m.HEAPU8.slice(at, at + n);
    }

    // A key code's name on a box ("Q", "F12", "7/Home"); empty for no name and for the mouse codes,
    // whose texts are display texts (mouseButton says which).
    keyName(code: number): string {
        return this.str(this.m._vw_key_name(code));
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

    // The four records as the page holds them.
    block(): Uint8Array {
        return this.take(BLOCK_SIZE, this.m._vw_block());
    }
    record(consoleId: number, block = this.block()): Uint8Array {
        const at = this.console(consoleId).blockIndex * RECORD_SIZE;
        return block.slice(at, at + RECORD_SIZE);
    }
    // Replaces the block by a file's bytes (the first 108 are used); false, and nothing changed,
    // when there are fewer.
    loadBlock(bytes: Uint8Array): boolean {
        const n = this.put(bytes, BLOCK_SIZE);
        return this.m._vw_load_block(this.buf, bytes.length > n ? bytes.length : n) === 1;
    }
    setCell(consoleId: number, button: number, code: number): void {
        this.m._vw_set_cell(consoleId, button, code);
    }
    copyConsole(from: number, to: number): void {
        this.m._vw_copy_console(from, to);
    }
    // Whether apply would write the same bytes for both records of one console.
    sameWhenWritten(consoleId: number, a: Uint8Array, b: Uint8Array): boolean {
        const heap = this.m.HEAPU8;
        heap.set(a.subarray(0, RECORD_SIZE), this.buf);
        heap.set(b.subarray(0, RECORD_SIZE), this.buf + 64);
        return this.m._vw_same_when_written(consoleId, this.buf, this.buf + 64) === 1;
    }

    modeSelect(consoleId: number): Uint8Array {
        this.m._vw_mode_select(consoleId, this.buf);
        return this.take(REPORT_SIZE);
    }

    // An input report's 32 data bytes: kept as the pad state when it is one (true).
    takeJoy(report: Uint8Array): boolean {
        const n = this.put(report, INPUT_SIZE);
        return this.m._vw_joy_take(this.buf, n) === 1;
    }
    joyNeutral(): void {
        this.m._vw_joy_neutral();
    }
    joyClear(): void {
        this.m._vw_joy_clear();
    }
    // Which lamps of a console are on, as a set of the core's button numbers.
    lamps(consoleId: number): Set<number> {
        const bits = this.m._vw_lamps(consoleId) >>> 0;
        const on = new Set<number>();
        for (let b = 0; b < 32; ++b) if (bits & (1 << b)) on.add(b);
        return on;
    }

    // The buttons of a console held on the pad as a press that can move the focus (a stick direction
    // only at the stick's edge), as bits of the core's button numbers.
    padPressed(consoleId: number): number {
        return this.m._vw_pad_pressed(consoleId) >>> 0;
    }

    // Sequences: start one, then loop on next() and answer each step.
    startReadBack(verifyOnly: boolean): void {
        this.m._vw_readback_start(verifyOnly ? 1 : 0);
    }
    startApply(consoleId: number): void {
        this.m._vw_apply_start(consoleId);
    }
    // The reader's five mode selects after a selection or an apply.
    startRepeat(consoleId: number): void {
        this.m._vw_repeat_start(consoleId);
    }
    next(): { step: Step; report?: Uint8Array; deadline?: number; waitMs?: number } {
        const step = this.m._vw_seq_next(this.buf) as Step;
        if (step === Step.Send) return { step, report: this.take(REPORT_SIZE) };
        if (step === Step.Receive)
            return { step, deadline: this.m._vw_seq_deadline_id(), waitMs: this.m._vw_seq_wait_ms() };
        return { step };
    }
    delivered(ok: boolean): void {
        this.m._vw_seq_delivered(ok ? 1 : 0);
    }
    input(report: Uint8Array): void {
        const n = this.put(report, INPUT_SIZE);
        this.m._vw_seq_input(this.buf, n);
    }
    deadline(id: number): void {
        this.m._vw_seq_deadline(id);
    }
    gone(): void {
        this.m._vw_seq_gone();
    }
    status(): SeqStatus {
        return this.m._vw_seq_status() as SeqStatus;
    }
    failedConsole(): number {
        return this.m._vw_seq_failed_console();
    }
    // The consoles whose records the last read-back replaced, in block order.
    replaced(): number[] {
        const mask = this.m._vw_seq_replaced();
        return this.consoles.filter((c) => mask & (1 << c.blockIndex)).map((c) => c.id);
    }
    // The window's text for how the last apply failed ("Write switch workModeData error"); empty
    // after a success.
    errorText(): string {
        return this.str(this.m._vw_seq_error_text());
    }
    // Whether the apply asked for the reader's repetition of the mode select.
    repeatRequested(): boolean {
        return this.m._vw_seq_repeat_requested() === 1;
    }
    // The records the verifying read-back received.
    verifyBlock(): Uint8Array {
        return this.take(BLOCK_SIZE, this.m._vw_verify_block());
    }
}

export async function loadCore(url = new URL("./velorin-core.js", import.meta.url).href): Promise<Core> {
    const factory = (await import(url)) as { default: (options?: object) => Promise<Exports> };
    return new Core(await factory.default());
}
