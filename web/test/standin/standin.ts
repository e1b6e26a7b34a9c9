// A stand-in for navigator.hid, installed by the tests (and by `scripts/run web`'s screenshot) with
// Playwright's addInitScript before the page loads; the site never ships it. Behind it is the
// simulated adapter's firmware compiled to WebAssembly (the global VelorinFirmware, concatenated in
// front of this script): its four records, its answers to the three commands and its faults.
// It behaves as Chromium's WebHID does: 64-byte output reports with report ID 0 through sendReport,
// which rejects a refused write; replies and pad states as `inputreport` events with a 32-byte
// DataView; `connect` and `disconnect` on navigator.hid. Tests steer it through window.__velorinStandIn.

interface FirmwareModule {
    HEAPU8: Uint8Array;
    _fw_abi_version(): number;
    _fw_buffer(): number;
    _fw_records(): number;
    _fw_seed(block: number): void;
    _fw_output(report: number, length: number): number; // 0 taken, 1 refused, 2 ignored
    _fw_reply_length(): number;
    _fw_reply(): number;
    _fw_reply_delay_ms(): number;
    _fw_set_fault(consoleId: number, refuse: number, drop: number, delayMs: number): void;
    _fw_set_ignore_writes(on: number): void;
    _fw_set_interrupt_out(present: number, ignored: number): void;
    _vw_adapter_identity(): number; // eight numbers, as web/wasm/identity.cpp says
}
declare const VelorinFirmware: (options?: object) => Promise<FirmwareModule>;

interface StandInConfig {
    present?: boolean; // an adapter is plugged in (default true)
    granted?: boolean; // the page was granted it earlier, so getDevices() returns it
    refuseOpen?: boolean; // open() rejects, as hidraw permissions make it on Linux
    noWebHid?: boolean; // the browser has no navigator.hid at all
    blocked?: boolean; // a permissions policy: requestDevice rejects with SecurityError
    seed?: number[]; // 108 bytes the firmware starts with
    productName?: string;
    featureReport?: boolean; // a near miss: the adapter's identity but with a feature report
}

(() => {
    const config: StandInConfig = (window as unknown as { __velorinStandInConfig?: StandInConfig })
        .__velorinStandInConfig ?? {};
    if (config.noWebHid) {
        Object.defineProperty(Navigator.prototype, "hid", { configurable: true, get: () => undefined });
        return;
    }
    // The adapter's identity, from the core's record of it; read before the page can see a device.
    let identity = { vendorId: 0, productId: 0, usagePage: 0, usage: 0, inputBytes: 0, outputBytes: 0 };
    const firmware = VelorinFirmware().then((fw) => {
        const n = new DataView(fw.HEAPU8.buffer, fw.HEAPU8.byteOffset + fw._vw_adapter_identity(), 32);
        const [vendorId, productId, usagePage, usage, inputBytes, outputBytes] = [0, 1, 2, 3, 4, 5].map((i) =>
            n.getUint32(4 * i, true),
        );
        identity = { vendorId, productId, usagePage, usage, inputBytes, outputBytes };
        if (config.seed) {
            fw.HEAPU8.set(config.seed.slice(0, 108), fw._fw_buffer());
            fw._fw_seed(fw._fw_buffer());
        }
        return fw;
    });

    const sent: number[][] = [];
    let present = config.present ?? true;
    let granted = config.granted ?? false;
    let refuseOpen = config.refuseOpen ?? false;
    let unplugAfter = -1; // unplug when this many more output reports have arrived
    let padBeforeReply: number[] | null = null; // a pad state sent just before every reply

    const hid = new EventTarget();

    // A task soon after this one, as USB delivers later; unlike setTimeout(0), never clamped to
    // 4 ms when nested, so the stand-in costs no time of its own.
    const channel = new MessageChannel();
    const tasks: (() => void)[] = [];
    channel.port1.onmessage = () => tasks.shift()?.();
    const later = (task: () => void, ms = 0): void => {
        if (ms > 0) setTimeout(task, ms);
        else {
            tasks.push(task);
            channel.port2.postMessage(0);
        }
    };

    class StandInDevice extends EventTarget {
        opened = false;
        readonly productName = config.productName ?? "Velorin stand-in adapter";
        oninputreport: ((e: Event) => void) | null = null;
        get vendorId(): number {
            return identity.vendorId;
        }
        get productId(): number {
            return identity.productId;
        }
        // One collection of byte-wide fields, as the adapter's descriptor declares them.
        get collections() {
            const usage = identity.usagePage * 0x10000 + identity.usage;
            const reports = (bytes: number) =>
                bytes > 0 ? [{ reportId: 0, items: [{ reportSize: 8, reportCount: bytes, usages: [usage] }] }] : [];
            return [
                {
                    usagePage: identity.usagePage,
                    usage: identity.usage,
                    type: 1,
                    children: [],
                    inputReports: reports(identity.inputBytes),
                    outputReports: reports(identity.outputBytes),
                    featureReports: reports(config.featureReport ? 8 : 0),
                },
            ];
        }

        async open(): Promise<void> {
            await Promise.resolve();
            if (!present) throw new DOMException("Failed to open the device.", "NotFoundError");
            if (refuseOpen) throw new DOMException("Failed to open the device.", "NotAllowedError");
            this.opened = true;
        }
        async close(): Promise<void> {
            this.opened = false;
        }
        async forget(): Promise<void> {
            granted = false;
            this.opened = false;
        }
        async sendReport(reportId: number, data: BufferSource): Promise<void> {
            const fw = await firmware;
            if (!this.opened) throw new DOMException("The device must be opened first.", "InvalidStateError");
            const bytes = ArrayBuffer.isView(data)
                ? new Uint8Array(data.buffer, data.byteOffset, data.byteLength)
                : new Uint8Array(data);
            if (bytes.length > identity.outputBytes) throw new TypeError("Report too long.");
            await new Promise<void>((r) => later(r)); // delivered later, as USB is
            if (!present || !this.opened) throw new DOMException("Failed to write the report.", "NotAllowedError");
            sent.push([...bytes]);
            const report = new Uint8Array(1 + identity.outputBytes);
            report[0] = reportId;
            report.set(bytes, 1);
            fw.HEAPU8.set(report, fw._fw_buffer());
            const outcome = fw._fw_output(fw._fw_buffer(), report.length);
            if (unplugAfter > 0 && --unplugAfter === 0) {
                unplugAfter = -1;
                later(() => api.unplug());
            }
            if (outcome === 1) throw new DOMException("Failed to write the report.", "NotAllowedError");
            const length = fw._fw_reply_length();
            if (length > 0) {
                const reply = fw.HEAPU8.slice(fw._fw_reply(), fw._fw_reply() + length);
                if (padBeforeReply) {
                    const pad = padBeforeReply;
                    later(() => this.input(pad));
                }
                later(() => this.input(reply), fw._fw_reply_delay_ms());
            }
        }
        // One input report: data bytes only, as the adapter has no report IDs.
        input(bytes: ArrayLike<number>): void {
            if (!this.opened || !present) return;
            const data = new Uint8Array(identity.inputBytes);
            data.set(Array.from(bytes).slice(0, identity.inputBytes));
            const e = new Event("inputreport");
            Object.defineProperties(e, {
                device: { value: this },
                reportId: { value: 0 },
                data: { value: new DataView(data.buffer) },
            });
            this.oninputreport?.(e);
            this.dispatchEvent(e);
        }
    }

    const device = new StandInDevice();

    function connectionEvent(type: string): Event {
        const e = new Event(type);
        Object.defineProperty(e, "device", { value: device });
        return e;
    }

    Object.assign(hid, {
        async getDevices() {
            await firmware;
            return present && granted ? [device] : [];
        },
        async requestDevice(options: { filters?: { vendorId?: number; productId?: number }[] }) {
            await firmware;
            if (config.blocked) throw new DOMException("Access to the feature \"hid\" is disallowed by permissions policy.", "SecurityError");
            const wanted = (options?.filters ?? []).some(
                (f) =>
                    (f.vendorId ?? device.vendorId) === device.vendorId &&
                    (f.productId ?? device.productId) === device.productId,
            );
            if (!present || !wanted) return []; // the chooser was closed without a choice
            granted = true;
            return [device];
        },
    });
    Object.defineProperty(Navigator.prototype, "hid", { configurable: true, get: () => hid });

    const api = {
        ready: () => firmware.then(() => true),
        // The 108 bytes of the firmware's four records.
        records: async () => {
            const fw = await firmware;
            return [...fw.HEAPU8.slice(fw._fw_records(), fw._fw_records() + 108)];
        },
        // Every output report delivered, 64 data bytes each.
        sent: () => sent.map((r) => [...r]),
        clearSent: () => void (sent.length = 0),
        fault: async (consoleId: number, f: { refuse?: boolean; drop?: boolean; delayMs?: number }) => {
            const fw = await firmware;
            fw._fw_set_fault(consoleId, f.refuse ? 1 : 0, f.drop ? 1 : 0, f.delayMs ?? 0);
        },
        refuseOpen: (on: boolean) => void (refuseOpen = on),
        // Writes taken and dropped, as a firmware that ignores its interrupt OUT endpoint does.
        ignoreWrites: async (on: boolean) => (await firmware)._fw_set_ignore_writes(on ? 1 : 0),
        padBeforeReply: (bytes: number[] | null) => void (padBeforeReply = bytes),
        // An interrupt OUT endpoint whose reports the firmware takes and drops: a browser cannot
        // send any other way, so nothing the page sends has an effect.
        ignoreInterruptOut: async () => (await firmware)._fw_set_interrupt_out(1, 1),
        unplugAfterReports: (n: number) => void (unplugAfter = n),
        unplug: () => {
            if (!present) return;
            present = false;
            device.opened = false;
            hid.dispatchEvent(connectionEvent("disconnect"));
        },
        plug: () => {
            if (present) return;
            present = true;
            if (granted) hid.dispatchEvent(connectionEvent("connect"));
        },
        pad: (bytes: number[]) => device.input(bytes),
        opened: () => device.opened,
    };
    (window as unknown as { __velorinStandIn: typeof api }).__velorinStandIn = api;
})();
