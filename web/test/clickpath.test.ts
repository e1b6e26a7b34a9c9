// The whole click path against the stand-in adapter: connect and read back, select a console, pick
// keys and mouse buttons through the menu and the on-screen keyboard, apply; the firmware's records
// and every report it received are compared byte for byte with the described frames. Then the
// read-back with a missing reply and the failures of apply.
import { describe, test } from "node:test";
import assert from "node:assert/strict";
import type { Page } from "playwright-core";
import { boxId, frame, hex, openPage, sharedBrowser, standIn, until } from "./harness.js";

const IDS = [1, 2, 4, 3]; // PS3, PS4, SWITCH, XBOX in block order

// Four records the firmware starts with: each console's id, then a letter per byte (HID codes
// 0x04..0x1D), different per console; bytes 6-9 and byte 26 are not zero, so the apply's
// preparation shows.
function seed(): number[] {
    const block: number[] = [];
    IDS.forEach((id, i) => {
        block.push(id);
        for (let b = 1; b < 27; ++b) block.push(0x04 + ((b + 3 * i) % 26));
    });
    return block;
}
const letter = (code: number): string => String.fromCharCode(0x41 + code - 0x04);

async function connect(page: Page): Promise<void> {
    await page.getByRole("button", { name: "连接适配器" }).click();
    await until(async () => (await page.locator(".conn-dot.on").count()) > 0, "the connection");
}

async function boxText(page: Page, name: string): Promise<string> {
    return (await page.locator(boxId(name)).textContent()) ?? "";
}

async function pickKey(page: Page, box: string, key: string): Promise<void> {
    await page.getByRole("button", { name: box, exact: true }).click();
    await page.getByRole("menuitem", { name: "键盘" }).click();
    await page.getByRole("dialog", { name: "键盘" }).getByRole("button", { name: key, exact: true }).click();
}

async function pickMouse(page: Page, box: string, entry: string): Promise<void> {
    await page.getByRole("button", { name: box, exact: true }).click();
    await page.getByRole("menuitem", { name: entry }).click();
}

async function messageText(page: Page): Promise<string> {
    const box = page.getByRole("alertdialog");
    await box.waitFor();
    const text = (await box.locator(".message-text").textContent()) ?? "";
    await box.getByRole("button").last().click();
    return text;
}

describe("click path", () => {
    const shared = sharedBrowser();

    test("connect, read back, pick, apply: the firmware holds exactly the bytes described", async () => {
        const s = await openPage(shared.browser, shared.site, { standIn: { seed: seed() } });
        const { page } = s;
        await connect(page);
        // Read-back: one request per console in block order, then the selected console's mode.
        const readBack = [...IDS.map((id) => frame(0x31, [id])), ...Array(6).fill(frame(0x32, [1, 1]))];
        await until(async () => (await standIn.sent(page)).length >= readBack.length, "the read-back");
        assert.deepEqual((await standIn.sent(page)).map(hex), readBack.map(hex));
        // PS3 L2 is record byte 22, XBOX Y byte 18.
        assert.equal(await boxText(page, "PS3 L2"), letter(seed()[22]));
        assert.equal(await boxText(page, "XBOX Y"), letter(seed()[81 + 18]));
        assert.equal(await page.locator(".unapplied").isVisible(), false);

        await standIn.clearSent(page);
        await page.getByRole("tab", { name: "XBOX" }).click();
        assert.equal(await page.getByRole("tab", { name: "XBOX" }).getAttribute("aria-selected"), "true");
        await until(async () => (await standIn.sent(page)).length >= 6, "the mode selects");
        assert.deepEqual((await standIn.sent(page)).map(hex), Array(6).fill(hex(frame(0x32, [1, 3]))));

        await pickKey(page, "XBOX A", "Q");
        await pickMouse(page, "XBOX B", "鼠标右键");
        await page.getByRole("tab", { name: "PS4" }).click();
        await pickKey(page, "PS4 SHARE", "Page Down");
        assert.equal(await boxText(page, "XBOX A"), "Q");
        assert.equal(await boxText(page, "XBOX B"), "鼠标右键");
        assert.equal(await boxText(page, "PS4 SHARE"), "PageDown");
        assert.equal(await page.locator(".unapplied").isVisible(), true);

        await standIn.clearSent(page);
        await page.getByRole("button", { name: "应用" }).click();
        // Captioned with the title display text, which is empty without a lang.xml, as in the window.
        assert.equal(await page.locator(".message.info .message-title").count(), 0);
        assert.equal(await messageText(page), "烧录成功");

        const expected = seed();
        expected[81 + 19] = 0x14; // XBOX A: Q
        expected[81 + 21] = 0xa1; // XBOX B: right mouse button
        expected[27 + 26] = 0x4e; // PS4 SHARE: Page Down
        IDS.forEach((id, i) => {
            expected[27 * i] = id;
            for (let b = 6; b <= 9; ++b) expected[27 * i + b] = 0;
            if (id === 1 || id === 3) expected[27 * i + 26] = 0; // PS3 and XBOX have no byte 26
        });
        assert.equal(hex(await standIn.records(page)), hex(expected));
        const writes = IDS.map((_, i) => frame(0x30, expected.slice(27 * i, 27 * i + 27)));
        const sent = [
            ...writes,
            ...Array(6).fill(frame(0x32, [1, 2])), // PS4 selected
            ...IDS.map((id) => frame(0x31, [id])), // the verifying read-back
        ];
        assert.deepEqual((await standIn.sent(page)).map(hex), sent.map(hex));
        assert.equal(await page.locator(".unapplied").isVisible(), false);
        await s.close();
    });

    test("read-back with a pad state before every reply: the pad states are not taken for records", async () => {
        const s = await openPage(shared.browser, shared.site, { standIn: { seed: seed() } });
        const { page } = s;
        const held = [0xa1, 0xc4, 0x80, 0x80, 0x80, 0x80, 0, 0, 0x01, 0, 0, 0, ...new Array(20).fill(0)];
        await standIn.padBeforeReply(page, held);
        await connect(page);
        await until(async () => (await boxText(page, "XBOX L2")) !== "", "the XBOX record");
        for (const [name, at] of [["PS3 L2", 22], ["PS4 A", 27 + 19], ["SWITCH Y", 54 + 18], ["XBOX L2", 81 + 22]] as const)
            assert.equal(await boxText(page, name), letter(seed()[at]), name);
        // The pad state itself lit the A lamp of the page shown.
        await until(async () => page.locator("#page_ps3 .lamp[data-button=A]").isVisible(), "the A lamp");
        await s.close();
    });

    test("apply to an adapter that drops the writes: the read-back finds it out and says so", async () => {
        const s = await openPage(shared.browser, shared.site, { standIn: { seed: seed() } });
        const { page } = s;
        await connect(page);
        await until(async () => (await standIn.sent(page)).length >= 10, "the read-back");
        await standIn.ignoreWrites(page, true);
        await pickMouse(page, "PS3 L1", "鼠标左键");
        await page.getByRole("button", { name: "应用" }).click();
        assert.match(await messageText(page), /没有接受这些记录.*PS3/);
        // The adapter still holds what it held; the mark stays.
        assert.equal(hex(await standIn.records(page)), hex(seed()));
        assert.equal(await page.locator(".unapplied").isVisible(), true);
        await s.close();
    });

    test("apply to an adapter that drops its interrupt OUT reports: the page cannot confirm it and says so", async () => {
        const s = await openPage(shared.browser, shared.site, { standIn: { seed: seed() } });
        const { page } = s;
        await connect(page);
        await until(async () => (await standIn.sent(page)).length >= 10, "the read-back");
        await standIn.ignoreInterruptOut(page);
        await pickMouse(page, "PS3 L1", "鼠标左键");
        await page.getByRole("button", { name: "应用" }).click();
        assert.match(await messageText(page), /没有回答读取请求/);
        assert.equal(hex(await standIn.records(page)), hex(seed()));
        assert.equal(await page.locator(".unapplied").isVisible(), true);
        await s.close();
    });

    test("read-back with a missing reply: the consoles before it are read, the rest stay and are named", async () => {
        const s = await openPage(shared.browser, shared.site, { standIn: { seed: seed() } });
        const { page } = s;
        await standIn.fault(page, 4, { drop: true }); // SWITCH's request is taken, never answered
        await connect(page);
        await until(async () => (await boxText(page, "PS4 L2")) !== "", "the PS4 record");
        assert.equal(await boxText(page, "PS3 L2"), letter(seed()[22]));
        assert.equal(await boxText(page, "PS4 L2"), letter(seed()[27 + 22]));
        await until(async () => (await standIn.sent(page)).length >= 3 + 6, "the mode selects");
        assert.equal(await boxText(page, "SWITCH L2"), "");
        assert.equal(await boxText(page, "XBOX L2"), "");
        // No request for XBOX after the missing SWITCH reply.
        assert.deepEqual(
            (await standIn.sent(page)).slice(0, 3).map(hex),
            [1, 2, 4].map((id) => hex(frame(0x31, [id]))),
        );
        const mark = page.locator(".unapplied");
        assert.equal(await mark.isVisible(), true);
        const tip = (await page.getByRole("button", { name: "应用" }).getAttribute("title")) ?? "";
        assert.match(tip, /SWITCH、XBOX/);
        assert.match((await page.locator(".banner.incomplete").textContent()) ?? "", /适配器没有回答 SWITCH、XBOX 的读取请求/);
        await s.close();
    });

    const failures: { what: string; arrange(page: Page): Promise<void>; message: RegExp; writes: number }[] = [
        {
            what: "the SWITCH write refused",
            arrange: (page) => standIn.fault(page, 4, { refuse: true }),
            message: /^适配器拒绝了 SWITCH 的记录；之后的记录没有写入。请拔出并重新插入适配器后再次应用。$/,
            writes: 3, // PS3 and PS4 taken, then the SWITCH write, refused
        },
        {
            what: "the adapter unplugged during apply",
            arrange: (page) => standIn.unplugAfterReports(page, 2),
            message: /拔出/,
            writes: 2, // the third write finds the adapter gone
        },
    ];
    for (const f of failures) {
        test(`apply with ${f.what}: no mode select follows, the message says what happened`, async () => {
            const s = await openPage(shared.browser, shared.site, { standIn: { seed: seed() } });
            const { page } = s;
            await connect(page);
            await until(async () => (await standIn.sent(page)).length >= 10, "the read-back");
            await f.arrange(page);
            await standIn.clearSent(page);
            await page.getByRole("button", { name: "应用" }).click();
            assert.match(await messageText(page), f.message);
            const sent = await standIn.sent(page);
            assert.ok(sent.every((r) => r[0] === 0x30), `only writes: ${sent.map(hex).join(" | ")}`);
            assert.ok(sent.length <= f.writes, `${sent.length} reports`);
            await s.close();
        });
    }
});
