// The adapter over WebHID: finding it, checking its identity, and driving the core's sequences with
// WebHID's promises and events. One operation talks to the adapter at a time (a queue), as the
// window's UI thread does; the mode-select repeats of the window's reader go through the same queue.
import { AdapterIdentity, Core, INPUT_SIZE, SeqStatus, Step } from "./core.js";
import type { HID, HIDCollectionInfo, HIDDevice, HIDInputReportEvent, HIDReportInfo } from "./hid.js";

// Bytes of one report kind: the largest report, in whole bytes (WebHID leaves the report ID out).
function reportBytes(reports: HIDReportInfo[] | undefined): number {
    let largest = 0;
    for (const r of reports ?? []) {
        let bits = 0;
        for (const item of r.items ?? []) bits += (item.reportSize ?? 0) * (item.reportCount ?? 0);
        largest = Math.max(largest, Math.ceil(bits / 8));
    }
    return largest;
}

// Why a device is not the adapter, or null when it is: the ids, one top-level collection with the
// usage page and usage, no numbered reports, and the report sizes of the core's identity record.
export function identityProblem(device: HIDDevice, want: AdapterIdentity): string | null {
    if (device.vendorId !== want.vendorId || device.productId !== want.productId)
        return `vendor ${device.vendorId.toString(16)}, product ${device.productId.toString(16)}`;
    const collections: HIDCollectionInfo[] = device.collections ?? [];
    if (collections.length !== 1) return `${collections.length} top-level collections`;
    const c = collections[0];
    if (c.usagePage !== want.usagePage || c.usage !== want.usage) return `usage ${c.usagePage}:${c.usage}`;
    const all = [...(c.inputReports ?? []), ...(c.outputReports ?? []), ...(c.featureReports ?? [])];
    if (all.some((r) => (r.reportId ?? 0) !== 0)) return "numbered reports";
    const input = reportBytes(c.inputReports);
    const output = reportBytes(c.outputReports);
    const feature = reportBytes(c.featureReports);
    if (input !== want.inputBytes || output !== want.outputBytes || feature !== want.featureBytes)
        return `report sizes in ${input}, out ${output}, feature ${feature}`;
    return null;
}

export type NoWebHid = { kind: "no-webhid"; why: "insecure" | "missing" | "mobile" | "blocked" };
export type ConnectFailure =
    | NoWebHid
    | { kind: "cancelled" }
    | { kind: "not-adapter"; detail: string }
    | { kind: "open-refused"; detail: string };

export type ApplyOutcome =
    | { kind: "success" }
    | { kind: "no-adapter" }
    | { kind: "write-failed"; consoleId: number; text: string } // the window's text for it
    | { kind: "gone" }
    | { kind: "mismatch"; consoles: number[] } // the records read back differ from those written
    | { kind: "unverified" } // the records were written but could not be read back
    | { kind: "misnamed"; consoles: number[] }; // the verify's replies for these named no console

export interface AdapterEvents {
    // The connection changed (an adapter opened, went away).
    onState(): void;
    // A read-back at connection read these consoles' records (in block order) into the core's
    // editing session, which kept the user's changes of `kept` over them. The replies for
    // `misnamed` named no console and were not taken.
    onReadBack(consoles: number[], complete: boolean, kept: number[], misnamed: number[]): void;
    // A pad state arrived; the page redraws the lamps in the next frame.
    onPadState(): void;
    // Opening a granted device failed (Linux permissions, mostly).
    onFailure(f: ConnectFailure): void;
}

export function webHidAvailability(): NoWebHid | null {
    if (!globalThis.isSecureContext) return { kind: "no-webhid", why: "insecure" };
    const hid = (navigator as Navigator & { hid?: HID }).hid;
    if (!hid) return { kind: "no-webhid", why: isMobile() ? "mobile" : "missing" };
    return null;
}

// A phone's or tablet's browser: none has WebHID (Chrome for Android neither), so the page names
// the computer's browsers instead of telling a Chrome user to use Chrome.
function isMobile(): boolean {
    const data = (navigator as Navigator & { userAgentData?: { mobile?: boolean } }).userAgentData;
    return data?.mobile === true || /Android|iPhone|iPad|Mobile/.test(navigator.userAgent);
}

export class Adapter {
    device: HIDDevice | null = null;
    busy = false;
    private queue: Promise<unknown> = Promise.resolve();
    // While a sequence runs, every input report goes to it (it keeps those that come while no
    // reply is awaited, as an open handle queues them); wake() lets the driver look again.
    private sequenceRunning = false;
    private wake: (() => void) | null = null;
    private readonly hid: HID | undefined;
    private readonly inputListener = (e: Event): void => this.onInput(e as HIDInputReportEvent);

    constructor(
        private readonly core: Core,
        private readonly events: AdapterEvents,
    ) {
        this.hid = (navigator as Navigator & { hid?: HID }).hid;
    }

    private isAdapter(device: HIDDevice): boolean {
        return identityProblem(device, this.core.identity) === null;
    }

    get connected(): boolean {
        return this.device !== null && this.device.opened;
    }

    // Listens for arrivals and removals and reopens a device granted earlier.
    async start(): Promise<void> {
        if (!this.hid || webHidAvailability()) return;
        this.hid.addEventListener("connect", (e) => {
            const device = (e as Event & { device: HIDDevice }).device;
            if (!this.device && this.isAdapter(device)) void this.use(device);
        });
        this.hid.addEventListener("disconnect", (e) => {
            const device = (e as Event & { device: HIDDevice }).device;
            if (device === this.device) this.lost();
        });
        let granted: HIDDevice[] = [];
        try {
            granted = await this.hid.getDevices();
        } catch {
            return; // a policy that blocks WebHID: the connect button says so
        }
        const adapter = granted.find((d) => this.isAdapter(d));
        if (adapter) await this.use(adapter);
    }

    // The connect button: the browser's chooser, filtered to the adapter.
    async request(): Promise<ConnectFailure | null> {
        const unavailable = webHidAvailability();
        if (unavailable || !this.hid) return unavailable;
        let chosen: HIDDevice[];
        try {
            const { vendorId, productId, usagePage, usage } = this.core.identity;
            chosen = await this.hid.requestDevice({ filters: [{ vendorId, productId, usagePage, usage }] });
        } catch (e) {
            // SecurityError: a permissions policy blocks WebHID in this page.
            if (e instanceof DOMException && e.name === "SecurityError") return { kind: "no-webhid", why: "blocked" };
            return { kind: "cancelled" };
        }
        if (chosen.length === 0) return { kind: "cancelled" };
        const device = chosen.find((d) => this.isAdapter(d));
        if (!device) return { kind: "not-adapter", detail: identityProblem(chosen[0], this.core.identity) ?? "" };
        return this.use(device);
    }

    private async use(device: HIDDevice): Promise<ConnectFailure | null> {
        if (this.device === device && device.opened) return null;
        try {
            if (!device.opened) await device.open();
        } catch (e) {
            const failure: ConnectFailure = { kind: "open-refused", detail: String(e) };
            this.events.onFailure(failure);
            return failure;
        }
        this.device = device;
        // Perhaps another adapter: what it holds is known only once read back.
        this.core.adapterArrived();
        device.addEventListener("inputreport", this.inputListener);
        this.events.onState();
        await this.readBack();
        return null;
    }

    private lost(): void {
        this.device?.removeEventListener("inputreport", this.inputListener);
        this.device = null;
        this.core.joyClear();
        this.wake?.();
        this.events.onState();
        this.events.onPadState();
    }

    private onInput(e: HIDInputReportEvent): void {
        if (e.device !== this.device || e.reportId !== 0) return;
        const data = new Uint8Array(e.data.buffer, e.data.byteOffset, Math.min(e.data.byteLength, INPUT_SIZE));
        if (this.sequenceRunning) {
            this.core.input(data);
            this.wake?.();
        }
        if (this.core.takeJoy(data)) this.events.onPadState();
    }

    // Runs `task` after every operation queued before it.
    private exclusive<T>(task: () => Promise<T>): Promise<T> {
        const run = this.queue.then(async () => {
            this.busy = true;
            try {
                return await task();
            } finally {
                this.busy = false;
            }
        });
        this.queue = run.catch(() => undefined);
        return run;
    }

    private async send(report: Uint8Array): Promise<boolean> {
        const device = this.device;
        if (!device || !device.opened) return false;
        try {
            await device.sendReport(0, report as Uint8Array<ArrayBuffer>);
            return true;
        } catch (e) {
            console.warn(`a report to the adapter was not written: ${String(e)}`);
            return false; // any rejection is a write that did not happen
        }
    }

    // Drives the core's current sequence to its end: sends what it asks, and answers each wait
    // with the input reports that come, the deadline passing, or the adapter going.
    private async drive(): Promise<void> {
        let deadline = 0;
        let timer: ReturnType<typeof setTimeout> | undefined;
        this.sequenceRunning = true;
        try {
            for (;;) {
                const next = this.core.next();
                if (next.step === Step.Done) return;
                if (!this.device) {
                    this.core.gone();
                    continue;
                }
                if (next.step === Step.Send) {
                    const ok = await this.send(next.report!);
                    if (!this.device) this.core.gone();
                    else this.core.delivered(ok);
                    continue;
                }
                // Receive: a new wait starts its timer; the same one keeps it running.
                const woken = new Promise<void>((resolve) => (this.wake = resolve));
                if (next.deadline !== deadline) {
                    deadline = next.deadline!;
                    clearTimeout(timer);
                    const id = deadline;
                    timer = setTimeout(() => {
                        this.core.deadline(id);
                        this.wake?.();
                    }, next.waitMs ?? 100);
                }
                await woken;
                this.wake = null;
            }
        } finally {
            clearTimeout(timer);
            this.sequenceRunning = false;
            this.wake = null;
        }
    }

    // The four records into the core's editing session, in block order; the first request refused
    // or reply missing ends it.
    readBack(): Promise<void> {
        return this.exclusive(async () => {
            if (!this.device) return;
            this.core.startReadBack(false);
            await this.drive();
            const core = this.core;
            // Ends silently for the user, as in the window; the console says where it stopped.
            if (core.status() !== SeqStatus.Success)
                console.warn(`read-back ended after ${core.replaced().length} of 4 records (status ${core.status()})`);
            this.events.onReadBack(core.replaced(), core.status() === SeqStatus.Success, core.kept(), core.misnamed());
        });
    }

    // Console selection: the mode select once, then the reader's repetition.
    selectMode(consoleId: number): Promise<void> {
        return this.exclusive(async () => {
            if (!this.device) return;
            await this.send(this.core.modeSelect(consoleId));
            await this.repeatModeSelect(consoleId);
        });
    }

    private async repeatModeSelect(consoleId: number): Promise<void> {
        if (!this.device) return;
        this.core.startRepeat(consoleId);
        await this.drive();
    }

    // Writes the four records and the mode select (the core's apply) with the reader's repetition,
    // then reads the records back into a block of its own and compares: only a match is a success.
    // The core's editing session learns what the adapter holds from both (core.applyEnd).
    apply(consoleId: number): Promise<ApplyOutcome> {
        return this.exclusive(async (): Promise<ApplyOutcome> => {
            if (!this.device) return { kind: "no-adapter" };
            this.core.startApply(consoleId);
            await this.drive();
            const status = this.core.status();
            if (status !== SeqStatus.Success) {
                this.core.applyEnd(-1); // the records written before it stopped are the adapter's
                if (status === SeqStatus.NoAdapter) return { kind: "no-adapter" };
                if (status === SeqStatus.Gone) return { kind: "gone" };
                return { kind: "write-failed", consoleId: this.core.failedConsole(), text: this.core.errorText() };
            }
            if (this.core.repeatRequested()) await this.repeatModeSelect(consoleId);
            if (!this.device) {
                this.core.applyEnd(-1); // all four were written before it went
                return { kind: "gone" };
            }
            this.core.startReadBack(true);
            await this.drive();
            const read = this.core.replaced().length;
            const misnamed = this.core.misnamed();
            const differ = this.core.applyEnd(read + misnamed.length);
            if (this.core.status() === SeqStatus.Gone) return { kind: "gone" };
            if (misnamed.length) return { kind: "misnamed", consoles: misnamed };
            if (read !== 4) return { kind: "unverified" };
            return differ.length ? { kind: "mismatch", consoles: differ } : { kind: "success" };
        });
    }
}

