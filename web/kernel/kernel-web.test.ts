// Velorin Web against the kernel's own hidraw: the built site in Debian's Chromium, whose WebHID
// (its Linux HID service: udev and /dev/hidraw) reaches velorin-gadget through usbhid, in the
// kernel test machine (scripts/test-kernel runs it after the kernel suite, in each endpoint
// variant). The browser runs as an ordinary user (nobody), as on a desktop, and meets the adapter
// as such a user does: first not granted to the page, then granted by the WebHidAllowDevicesForUrls
// policy (as an administrator grants it, so no chooser is needed: the page finds it with
// getDevices() or when it is plugged in) but with the node root's alone, then with the node the
// user's (what logind does for the seat's user with the rule's uaccess tag; this machine has no
// logind, so a rule of the test's gives it). Everything is checked against what the firmware
// received and holds. Anywhere else every test reports itself skipped.
//
// The machine's files are lost with it, so what shows that the page really used the kernel's node
// (the name from the USB string descriptor, the browser holding /dev/hidrawN open, how usbhid sent
// each report) is printed as it is found.
import { after, before, describe, test } from "node:test";
import assert from "node:assert/strict";
import { chmodSync, chownSync, existsSync, mkdirSync, mkdtempSync, readFileSync, readdirSync, readlinkSync, rmSync, statSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { basename, dirname, join } from "node:path";
import { chromium, type BrowserContext, type Page } from "playwright-core";
import { CHROMIUM, SITE, boxId, frame, hex } from "../test/harness.js";
import { serve, type Served } from "../tools/serve.js";
import { command, gadget, received, records, storeBlock, type Received } from "./gadget.js";

const variant = process.env.VELORIN_VM_ADAPTER ?? "";
const way = variant === "interrupt" ? "interrupt" : "set_report"; // how usbhid sends output reports
const control = process.env.VELORIN_GADGET_CONTROL ?? "";
const unavailable =
    process.env.VELORIN_VM !== "1"
        ? "runs only inside the kernel test machine (scripts/test-kernel)"
        : !control || !existsSync(control)
          ? "no gadget adapter in this machine (scripts/kernel-vm --adapter interrupt|set-report)"
          : false;

// Only a hung run reaches this: under software emulation the page takes minutes to load on a busy
// machine, and a click up to half of one.
const HANG = 5 * 60_000;
const PRODUCT = "Velorin gadget adapter"; // the gadget's USB product string
const CONNECTED = `已连接：${PRODUCT}`;
const POLICY = "/etc/chromium/policies/managed/velorin-kernel-web.json";
const SEAT_RULE = "/etc/udev/rules.d/71-velorin-kernel-web-seat.rules";
const USER = 65534; // nobody
const IDS = [1, 2, 4, 3]; // PS3, PS4, SWITCH, XBOX in block order

function say(text: string): void {
    console.log(`kernel-web: ${text}`);
}
const since = (start: number): string => `${((Date.now() - start) / 1000).toFixed(1)} s`;

// Four records as the adapter keeps them: the console id, a letter per button (HID codes
// 0x04..0x1D), different per console; bytes 6-9 zero, and byte 26 zero on PS3 and XBOX, so an
// apply writes them unchanged but for the edit.
function seed(): number[] {
    const block: number[] = [];
    IDS.forEach((id, i) => {
        block.push(id);
        for (let b = 1; b < 27; ++b) {
            const unused = (b >= 6 && b <= 9) || (b === 26 && (id === 1 || id === 3));
            block.push(unused ? 0 : 0x04 + ((b + 5 * i) % 26));
        }
    });
    return block;
}
const letter = (code: number): string => String.fromCharCode(0x41 + code - 0x04);

// The page under test and what it wrote to its console, for the errors of waits that gave up.
let watched: Page | undefined;
const pageLog: string[] = [];

// `detail` says, in the error, what there was instead.
async function until<T>(
    check: () => Promise<T | undefined | null | false>,
    what: string,
    detail?: () => Promise<string>,
): Promise<T> {
    const end = Date.now() + HANG;
    for (;;) {
        const v = await check();
        if (v) return v;
        if (Date.now() > end) throw new Error(`gave up waiting for ${what}${detail ? `; ${await detail()}` : ""}`);
        await new Promise((r) => setTimeout(r, 250));
    }
}

// The adapter's hidraw node once udevd has handled it, or null.
function adapterNode(): string | null {
    let names: string[] = [];
    try {
        names = readdirSync("/sys/class/hidraw");
    } catch {
        return null;
    }
    for (const name of names) {
        try {
            const uevent = readFileSync(`/sys/class/hidraw/${name}/device/uevent`, "utf8");
            const dev = readFileSync(`/sys/class/hidraw/${name}/dev`, "utf8").trim();
            if (uevent.includes("HID_ID=0003:00000888:00008831") && existsSync(`/run/udev/data/c${dev}`)) return `/dev/${name}`;
        } catch {
            // gone while looking
        }
    }
    return null;
}

interface Proc {
    pid: string;
    comm: string;
    uid: number;
}
function processes(): Proc[] {
    const out: Proc[] = [];
    for (const pid of readdirSync("/proc").filter((p) => /^\d+$/.test(p))) {
        try {
            const comm = readFileSync(`/proc/${pid}/comm`, "utf8").trim();
            const uid = Number(/^Uid:\s+(\d+)/m.exec(readFileSync(`/proc/${pid}/status`, "utf8"))?.[1]);
            out.push({ pid, comm, uid });
        } catch {
            // ended while looking
        }
    }
    return out;
}

// The processes that hold `path` open: "pid N (comm, uid U)".
function holders(path: string): string[] {
    return processes()
        .filter((p) => {
            try {
                return readdirSync(`/proc/${p.pid}/fd`).some((fd) => {
                    try {
                        return readlinkSync(`/proc/${p.pid}/fd/${fd}`) === path;
                    } catch {
                        return false;
                    }
                });
            } catch {
                return false;
            }
        })
        .map((p) => `pid ${p.pid} (${p.comm}, uid ${p.uid})`);
}

// Grants the adapter to the pages of `origin`, as an administrator does.
function writePolicy(origin: string): void {
    const grant = { WebHidAllowDevicesForUrls: [{ devices: [{ vendor_id: 0x0888, product_id: 0x8831 }], urls: [origin] }] };
    writeFileSync(POLICY, JSON.stringify(grant), { mode: 0o644 });
}

// Unplugs the adapter and waits until its node is gone and udevd has handled the removal: a
// record of the old node still in udevd's database would make the next plug look handled before
// udevd has applied its rules to the new node (a node number is used again at once).
async function unplug(): Promise<void> {
    const node = adapterNode();
    const record = node ? `/run/udev/data/c${readFileSync(`/sys/class/hidraw/${basename(node)}/dev`, "utf8").trim()}` : null;
    const a = await gadget("unplug");
    if (!a.final.startsWith("ok") && !/not plugged/.test(a.final)) throw new Error(`unplug: ${a.final}`);
    await until(async () => adapterNode() === null && !(record && existsSync(record)), "the adapter's node to go");
}
// Plugs it in and waits until udevd has handled its node; nothing received so far.
async function plug(): Promise<string> {
    await command("clear");
    await command("plug adapter");
    return until(async () => adapterNode(), "the adapter's node");
}

const state = (page: Page): Promise<string> => page.getByRole("status").innerText();
const boxText = async (page: Page, console: string, button: string): Promise<string> =>
    (await page.locator(boxId(`${console} ${button}`)).textContent()) ?? "";
const unappliedMark = (page: Page): Promise<boolean> => page.locator("#btn_Applay .unapplied").isVisible();
const grantedDevices = (page: Page): Promise<number> =>
    page.evaluate(async () => (await (navigator as Navigator & { hid: { getDevices(): Promise<unknown[]> } }).hid.getDevices()).length);

async function litLamps(page: Page, word: string): Promise<string[]> {
    return page.$$eval(`#page_${word} .lamp`, (lamps) =>
        lamps.filter((l) => !(l as HTMLElement).hidden).map((l) => (l as HTMLElement).dataset.button ?? "").sort(),
    );
}

async function pickMouse(page: Page, box: string, entry: string): Promise<void> {
    await page.locator(`#${box}`).click();
    await page.getByRole("menuitem", { name: entry, exact: true }).click();
}

// Apply, and the message it ends with (closed).
async function apply(page: Page): Promise<string> {
    await page.locator("#btn_Applay").click();
    const box = page.getByRole("alertdialog");
    const text = (await box.locator(".message-text").textContent()) ?? "";
    await box.getByRole("button").last().click();
    return text;
}

// What the firmware received once it holds `count` reports, as hex; each travelled the variant's
// way and was taken.
async function receivedReports(count: number, what: string): Promise<string[]> {
    const got: Received[] = await until(
        async () => {
            const r = await received();
            return r.length >= count && r;
        },
        what,
        async () => {
            const r = await received();
            const shown = r.map((x) => `${hex(x.bytes.slice(0, 5))} (${x.way}, ${x.outcome})`).join(", ");
            const seen = watched
                ? ` The page: "${await state(watched)}"; ${await watched.locator(".banners").innerText()}; ${pageLog.slice(-20).join(" | ")}`
                : "";
            return `received ${r.length}: ${shown || "none"}.${seen}`;
        },
    );
    for (const r of got) {
        assert.equal(r.way, way, `${what}: ${hex(r.bytes.slice(0, 4))} travelled as ${r.way}`);
        assert.equal(r.outcome, "ok", `${what}: ${hex(r.bytes.slice(0, 4))} was ${r.outcome}`);
    }
    return got.map((r) => hex(r.bytes));
}

const readRequests = (): number[][] => IDS.map((id) => frame(0x31, [id]));
const modeSelects = (id: number): number[][] => Array.from({ length: 6 }, () => frame(0x32, [1, id]));
const writes = (block: number[]): number[][] => IDS.map((_, i) => frame(0x30, block.slice(27 * i, 27 * i + 27)));

// Debian's Chromium as the user: its own home, profile and downloads, through a launcher that
// drops to the user. Without its sandbox: the machine runs the command in a chroot, where the
// kernel refuses new user namespaces (EPERM, even to root), and Debian's setuid helper
// (chromium-sandbox) is not installed.
async function launchAsUser(): Promise<{ context: BrowserContext; dir: string }> {
    const dir = mkdtempSync(join(tmpdir(), "velorin-kernel-web-"));
    chmodSync(dir, 0o755);
    const [home, profile, downloads] = ["home", "profile", "downloads"].map((d) => join(dir, d));
    for (const d of [home, profile, downloads]) {
        mkdirSync(d);
        chownSync(d, USER, USER);
    }
    const launcher = join(dir, "chromium");
    const env = `HOME=${home} XDG_CONFIG_HOME=${home}/.config XDG_CACHE_HOME=${home}/.cache XDG_RUNTIME_DIR=${home}`;
    writeFileSync(launcher, `#!/bin/sh\nexec setpriv --reuid=${USER} --regid=${USER} --clear-groups env ${env} ${CHROMIUM} "$@"\n`, {
        mode: 0o755,
    });
    const start = Date.now();
    const context = await chromium.launchPersistentContext(profile, {
        executablePath: launcher,
        chromiumSandbox: false,
        args: ["--disable-background-networking", "--disable-component-update", "--disable-dev-shm-usage"],
        timeout: HANG,
        downloadsPath: downloads,
        locale: "zh-CN",
        serviceWorkers: "block",
        acceptDownloads: true,
        viewport: { width: 840, height: 760 },
    });
    context.setDefaultTimeout(HANG);
    // Save as a download, as in a browser without the page's file pickers: a picker's dialog has
    // no one to answer it here.
    await context.addInitScript(() => {
        for (const name of ["showOpenFilePicker", "showSaveFilePicker"]) {
            delete (window as unknown as Record<string, unknown>)[name];
            delete (Window.prototype as unknown as Record<string, unknown>)[name];
        }
    });
    say(`Chromium ${context.browser()?.version() ?? ""} started as uid ${USER} in ${since(start)}`);
    return { context, dir };
}

describe("Velorin Web over the kernel's hidraw", { skip: unavailable }, () => {
    let context: BrowserContext | undefined;
    let dir = "";
    let site: Served | undefined;
    let page: Page;
    const errors: string[] = []; // uncaught errors in the page
    const expected = seed(); // what the adapter holds

    before(async () => {
        say(`adapter variant ${variant}: output reports travel as ${way}`);
        rmSync(POLICY, { force: true });
        rmSync(SEAT_RULE, { force: true });
        // The policy folder is there from the start, so the browser watches it for the grant.
        mkdirSync(dirname(POLICY), { recursive: true, mode: 0o755 });
        await command("reset");
        await unplug();
        await storeBlock(expected);
        await plug();
        site = await serve(SITE, 0);
        ({ context, dir } = await launchAsUser());
        // A page of its own: a navigation of the blank one the browser opened with was once aborted
        // (net::ERR_ABORTED) on a busy machine, where the browser's own first navigation of it, to
        // about:blank, can come after ours.
        page = await context.newPage();
        page.on("pageerror", (e) => errors.push(e.message));
        page.on("console", (m) => pageLog.push(`${m.type()}: ${m.text()}`.slice(0, 300)));
        watched = page;
        const start = Date.now();
        await page.goto(site.url, { timeout: HANG });
        await page.waitForSelector("body.ready");
        say(`the page was ready after ${since(start)}`);
    });
    after(async () => {
        // The browser ends before the gadget is unplugged for good.
        await context?.close();
        await site?.close();
        rmSync(POLICY, { force: true });
        rmSync(SEAT_RULE, { force: true });
        if (dir) rmSync(dir, { recursive: true, force: true });
        assert.deepEqual(errors, [], "no uncaught errors in the page");
    });

    test("not granted: the page sees no adapter and offers to connect", async () => {
        const uids = [...new Set(processes().filter((p) => p.comm === "chromium").map((p) => p.uid))];
        assert.deepEqual(uids, [USER], "the browser runs as the user");
        const native = await page.evaluate(() => {
            const d = Object.getOwnPropertyDescriptor(Navigator.prototype, "hid");
            return !!d?.get && /\[native code\]/.test(Function.prototype.toString.call(d.get));
        });
        assert.ok(native, "navigator.hid is the browser's own");
        assert.ok(adapterNode(), "the adapter is plugged in");
        assert.equal(await grantedDevices(page), 0);
        assert.equal(await state(page), "未连接");
        const connect = page.getByRole("button", { name: "连接适配器" });
        assert.ok((await connect.isVisible()) && (await connect.isEnabled()), "the connect button is offered");
        assert.deepEqual(await received(), [], "nothing was sent to the adapter");
        say(`not granted: ${adapterNode()} is plugged in, getDevices() gives none, the page shows "未连接" and "连接适配器"`);
    });

    test("granted by policy to a user who may not open the node: the refused open and how to fix it", async () => {
        writePolicy(site!.url.replace(/\/$/, ""));
        const start = Date.now();
        await until(async () => (await grantedDevices(page)) === 1, "the browser to take the policy");
        say(`the policy grants 0888:8831 to ${site!.url} (taken after ${since(start)})`);
        await unplug();
        const node = await plug();
        const st = statSync(node);
        assert.ok(st.uid === 0 && (st.mode & 0o077) === 0, `only root may open ${node}: uid ${st.uid}, mode ${(st.mode & 0o777).toString(8)}`);
        const banner = page.getByRole("alert").filter({ hasText: "浏览器无法打开适配器。" });
        await banner.waitFor();
        assert.match(await banner.innerText(), /udev/);
        assert.equal(await state(page), "未连接");
        assert.deepEqual(holders(node), [], `nobody holds ${node} open`);
        assert.deepEqual(await received(), [], "nothing was sent to the adapter");
        say(`refused: ${node} is uid ${st.uid} mode ${(st.mode & 0o777).toString(8)}; the page says "浏览器无法打开适配器。"`);
    });

    test("with the node the user's: the page connects by itself and shows the records the adapter holds", async () => {
        // udevd takes a new rule at the first event at least 3 s after it last looked (udevadm
        // refuses to run in a chroot): change events on the node until the rule gives it to the user.
        writeFileSync(SEAT_RULE, `ACTION!="remove", SUBSYSTEM=="hidraw", ATTRS{idVendor}=="0888", ATTRS{idProduct}=="8831", OWNER="${USER}"\n`);
        let asked = 0;
        await until(async () => {
            const node = adapterNode();
            if (node && statSync(node).uid === USER) return true;
            if (node && Date.now() - asked > 1000) {
                writeFileSync(`/sys/class/hidraw/${basename(node)}/uevent`, "change");
                asked = Date.now();
            }
            return false;
        }, "udevd to take the rule");
        // The page meets the adapter again when it is plugged in, as its message says.
        await unplug();
        const node = await plug();
        assert.equal(statSync(node).uid, USER, `${node} is the user's`);
        await until(async () => (await state(page)) === CONNECTED, "the page to connect");
        if (await page.getByRole("alert").filter({ hasText: "浏览器无法打开适配器。" }).isVisible())
            say("connected, but the page still shows its message about the refused open");
        const held = holders(node);
        say(`the page shows "${await state(page)}"; ${node} is held open by ${held.join(", ") || "nobody"}`);
        assert.ok(held.some((h) => h.endsWith(`(chromium, uid ${USER})`)), `the browser holds ${node} open: ${held.join(", ")}`);

        // The read-back: one request per console in block order, then the shown console's mode.
        const sent = await receivedReports(10, "the read-back and the mode selects");
        assert.deepEqual(sent, [...readRequests(), ...modeSelects(1)].map(hex));
        say(`the gadget received ${sent.length} reports, each as ${way}: 4 × 31 (read), 6 × 32 (mode PS3)`);
        // What the page holds is what the firmware holds, byte for byte (Save writes the page's records).
        const [download] = await Promise.all([page.waitForEvent("download"), page.locator("#btn_savecfg").click()]);
        const saved = [...readFileSync(await download.path())];
        assert.equal(hex(await records()), hex(expected));
        assert.equal(hex(saved), hex(expected), "the saved records are the firmware's");
        const shown: [string, string, number][] = [
            ["PS3", "L2", 22],
            ["PS4", "A", 27 + 19],
            ["SWITCH", "Y", 54 + 18],
            ["XBOX", "B", 81 + 21],
        ];
        for (const [console, button, at] of shown) assert.equal(await boxText(page, console, button), letter(expected[at]), `${console} ${button}`);
        assert.equal(await unappliedMark(page), false);
    });

    test("apply writes the records and verifies them; the firmware keeps the change", async () => {
        await command("clear");
        await page.getByRole("tab", { name: "XBOX" }).click();
        await pickMouse(page, "btn_xbox_key_A", "鼠标右键");
        assert.equal(await boxText(page, "XBOX", "A"), "鼠标右键");
        assert.equal(await unappliedMark(page), true);
        assert.equal(await apply(page), "烧录成功");
        expected[81 + 19] = 0xa1; // XBOX A: the right mouse button
        // The selection's mode selects, the four writes, the mode selects of the console shown, and
        // the verifying read-back.
        const sent = await receivedReports(6 + 4 + 6 + 4, "the apply");
        assert.deepEqual(sent, [...modeSelects(3), ...writes(expected), ...modeSelects(3), ...readRequests()].map(hex));
        assert.equal(hex(await records()), hex(expected));
        say(`apply: the gadget received 4 × 30, 6 × 32, 4 × 31 as ${way} and holds XBOX byte 19 = a1`);
        assert.equal(await unappliedMark(page), false);
    });

    test("the lamps follow the pad states the gadget sends", async () => {
        // `pad` takes the data bytes after the A1 C4 marker: the sticks (2-5), then bytes 6 to 10,
        // the buttons in 8 to 10 (A is bit 0 of byte 8, B bit 1). A burst of 60 states ends with
        // the left stick at X 60, Y 1: left and up.
        const stream: { play: string; lit: string[] }[] = [
            { play: "burst 60", lit: ["lxhih_L", "lyhih_UP"] },
            { play: "pad 80808080000001", lit: ["A"] },
            { play: "pad 80808080000003", lit: ["A", "B"] },
            { play: "pad 80808080", lit: [] },
        ];
        // "stats pads N sent M": pad states queued and input reports the host took, so far.
        const stats = async (): Promise<[number, number]> => {
            const line = (await gadget("stats")).lines.join(" ");
            const m = /pads (\d+) sent (\d+)/.exec(line);
            if (!m) throw new Error(`no stats: ${line}`);
            return [Number(m[1]), Number(m[2])];
        };
        const [padsBefore, sentBefore] = await stats();
        for (const s of stream) {
            await command(s.play);
            const want = JSON.stringify(s.lit);
            await until(async () => JSON.stringify(await litLamps(page, "xbox")) === want, `lamps ${s.lit.join(",")} after ${s.play}`);
        }
        const [pads, sent] = await stats();
        assert.equal(pads - padsBefore, 60 + 3);
        assert.equal(sent - sentBefore, pads - padsBefore, "the host took every pad state and nothing else");
        say(`lamps: the host took all ${pads - padsBefore} pad states; the lamps showed the last of each step`);
    });

    test("an unplug leaves the page unconnected with its lamps out; a replug reconnects and reads back", async () => {
        await command("pad 80808080000001");
        await until(async () => (await litLamps(page, "xbox")).join() === "A", "the A lamp");
        await unplug();
        await until(async () => (await state(page)) === "未连接", "the page to see the unplug");
        assert.deepEqual(await litLamps(page, "xbox"), []);
        const node = await plug();
        await until(async () => (await state(page)) === CONNECTED, "the page to reconnect");
        const sent = await receivedReports(10, "the read-back after the replug");
        assert.deepEqual(sent, [...readRequests(), ...modeSelects(3)].map(hex));
        assert.equal(await boxText(page, "XBOX", "A"), "鼠标右键");
        assert.equal(await unappliedMark(page), false);
        say(`replug: "${await state(page)}", read back again; ${node} held by ${holders(node).join(", ")}`);
    });

    test("an edit survives an unplug and replug: still shown and unapplied, and apply writes it", async () => {
        await pickMouse(page, "btn_xbox_key_B", "鼠标左键");
        assert.equal(await unappliedMark(page), true);
        await unplug();
        await until(async () => (await state(page)) === "未连接", "the page to see the unplug");
        await plug();
        await until(async () => (await state(page)) === CONNECTED, "the page to reconnect");
        await receivedReports(10, "the read-back after the replug");
        assert.equal(await boxText(page, "XBOX", "B"), "鼠标左键", "the edit is still shown after the read-back");
        assert.equal(await unappliedMark(page), true, "the edit is still marked unapplied");
        await command("clear");
        assert.equal(await apply(page), "烧录成功");
        expected[81 + 21] = 0xa0; // XBOX B: the left mouse button
        const sent = await receivedReports(4 + 6 + 4, "the apply");
        assert.deepEqual(sent, [...writes(expected), ...modeSelects(3), ...readRequests()].map(hex));
        assert.equal(hex(await records()), hex(expected));
    });
});
