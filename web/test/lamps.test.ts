// The lamps: pad-state input reports light the lamps of the selected page (the described bits),
// a console selection puts them out, a report without the pad-state marker changes nothing, and
// an unplugged adapter leaves every lamp dark.
import { describe, test } from "node:test";
import assert from "node:assert/strict";
import type { Page } from "playwright-core";
import { openPage, sharedBrowser, standIn, until } from "./harness.js";

// Data bytes 0-11 of a pad state: the A1 C4 marker, the sticks, the button bytes 8 to 10.
function pad(over: Partial<Record<number, number>>): number[] {
    const bytes = [0xa1, 0xc4, 0x80, 0x80, 0x80, 0x80, 0, 0, 0, 0, 0, 0, ...new Array(20).fill(0)];
    for (const [i, v] of Object.entries(over)) bytes[Number(i)] = v!;
    return bytes;
}

async function litLamps(page: Page, word: string): Promise<string[]> {
    return page.$$eval(`#page_${word} .lamp`, (lamps) =>
        lamps.filter((l) => !(l as HTMLElement).hidden).map((l) => (l as HTMLElement).dataset.button ?? "").sort(),
    );
}

describe("lamps", () => {
    const shared = sharedBrowser();

    test("each pad state lights exactly the described lamps of the selected console", async () => {
        const s = await openPage(shared.browser, shared.site, { standIn: { granted: true } });
        const { page } = s;
        await until(async () => (await page.locator(".conn-dot.on").count()) > 0, "the reconnection");
        const cases: { console: string; state: number[]; lit: string[] }[] = [
            { console: "PS3", state: pad({ 8: 0x01 }), lit: ["A"] },
            { console: "PS3", state: pad({ 2: 0x7f }), lit: ["lxhih_L"] },
            { console: "PS3", state: pad({ 2: 0x81, 3: 0x00 }), lit: ["lxhih_R", "lyhih_UP"] },
            { console: "PS3", state: pad({ 10: 0x05 }), lit: ["ARROW_L", "ARROW_UP"] },
            { console: "PS3", state: pad({ 9: 0x80 }), lit: [] }, // no SHARE or CAPTURE on PS3
            { console: "SWITCH", state: pad({ 9: 0x80 }), lit: ["CAPTURE"] },
            { console: "PS4", state: pad({ 9: 0x81, 8: 0xc0 }), lit: ["L1", "L2", "R1", "SHARE"] },
            { console: "XBOX", state: pad({ 9: 0x7e }), lit: ["HOME", "LSTICK_KEY", "R2", "RSTICK_KEY", "SELECT", "START"] },
        ];
        for (const c of cases) {
            const word = c.console.toLowerCase();
            if ((await page.getByRole("tab", { name: c.console }).getAttribute("aria-selected")) !== "true")
                await page.getByRole("tab", { name: c.console }).click();
            await standIn.pad(page, c.state);
            const lit = await until(async () => {
                const now = await litLamps(page, word);
                return JSON.stringify(now) === JSON.stringify(c.lit) ? now : null;
            }, `${c.console} lamps ${c.lit.join(",")}, have ${(await litLamps(page, word)).join(",")}`);
            assert.deepEqual(lit, c.lit);
            // A lit lamp shows its picture (hidden lamps load it only when first shown).
            await until(
                async () =>
                    page.$$eval(`#page_${word} .lamp:not([hidden])`, (lamps) =>
                        lamps.every((l) => (l as HTMLImageElement).complete && (l as HTMLImageElement).naturalWidth > 0),
                    ),
                `${c.console} lamps drawn`,
            );
            // A held button's box reads as pressed.
            const pressed = await page.$$eval(`#page_${word} .box[aria-pressed=true]`, (boxes) =>
                boxes.map((b) => b.id.replace(/^btn_\w+?_key_/, "")).sort(),
            );
            assert.deepEqual(pressed, c.lit);
        }
        // Another console: its lamps start dark even while a button is held.
        await standIn.pad(page, pad({ 8: 0x01 }));
        await until(async () => (await litLamps(page, "xbox")).length === 1, "XBOX A lit");
        await page.getByRole("tab", { name: "PS3" }).click();
        assert.deepEqual(await litLamps(page, "ps3"), []);
        // A record reply (no marker) is not a pad state: the lamps stay as they were.
        await standIn.pad(page, pad({ 8: 0x02 }));
        await until(async () => (await litLamps(page, "ps3")).join() === "B", "PS3 B lit");
        await standIn.pad(page, [0x01, ...new Array(31).fill(0xff)]);
        await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
        assert.deepEqual(await litLamps(page, "ps3"), ["B"]);
        // Unplugged: every lamp goes out, and the state says so.
        await standIn.unplug(page);
        await until(async () => (await litLamps(page, "ps3")).length === 0, "the lamps out");
        assert.equal(await page.locator(".conn-dot.on").count(), 0);
        assert.equal(await page.getByRole("status").textContent(), "未连接");
        // Plugged in again: connected and read back by itself, and one pad state lights one lamp.
        await standIn.clearSent(page);
        await standIn.plug(page);
        await until(async () => (await page.locator(".conn-dot.on").count()) > 0, "the reconnection");
        await until(async () => (await standIn.sent(page)).filter((r) => r[0] === 0x31).length === 4, "the read-back");
        await standIn.pad(page, pad({ 8: 0x10 }));
        await until(async () => (await litLamps(page, "ps3")).join() === "Y", "PS3 Y lit");
        await s.close();
    });
});

// A pad press moves the focus to its box only for a keyboard user (once the keyboard has moved the
// focus), never behind the menu, and never opens anything, not even pressed twice in a row. Of
// buttons pressed together, the first in the described lamp order wins.
describe("pad presses", () => {
    const shared = sharedBrowser();

    test("a press focuses its box only after keyboard use, and opens no menu", async () => {
        const s = await openPage(shared.browser, shared.site, { standIn: { granted: true } });
        const { page } = s;
        await until(async () => (await page.locator(".conn-dot.on").count()) > 0, "the reconnection");
        const focused = (): Promise<string> => page.evaluate(() => document.activeElement?.id ?? "");
        const released = pad({});
        type Step =
            | { click: string } // a mouse click on the element with this id
            | { key: string } // a key pressed on whatever has the focus
            | { state: number[]; lit: string[]; focus: string; menu?: boolean }; // a pad state, then where the focus is
        const steps: Step[] = [
            // A mouse user: the tab clicked keeps the focus whatever the pad does.
            { click: "btn_ps3" },
            { state: pad({ 8: 0x01 }), lit: ["A"], focus: "btn_ps3" },
            { state: released, lit: [], focus: "btn_ps3" },
            { state: pad({ 8: 0x01 }), lit: ["A"], focus: "btn_ps3" }, // twice in a row: still no menu
            { state: released, lit: [], focus: "btn_ps3" },
            // The keyboard moves the focus: from now on a new press finds its box.
            { key: "Tab" },
            { state: pad({ 8: 0x41 }), lit: ["A", "L1"], focus: "btn_ps3_key_L1" }, // together: L1 comes before A
            { state: released, lit: [], focus: "btn_ps3_key_L1" },
            { state: pad({ 8: 0x01 }), lit: ["A"], focus: "btn_ps3_key_A" },
            { state: released, lit: [], focus: "btn_ps3_key_A" },
            { state: pad({ 8: 0x01 }), lit: ["A"], focus: "btn_ps3_key_A" }, // the second press opens nothing
            { state: pad({ 8: 0x03 }), lit: ["A", "B"], focus: "btn_ps3_key_B" }, // B new, A still held
            { state: released, lit: [], focus: "btn_ps3_key_B" },
            // A stick moves the focus only when pushed to its edge, not when it drifts.
            { state: pad({ 2: 0x7f }), lit: ["lxhih_L"], focus: "btn_ps3_key_B" },
            { state: pad({ 2: 0x00 }), lit: ["lxhih_L"], focus: "btn_ps3_key_lxhih_L" },
            { state: pad({ 3: 0xff }), lit: ["lyhih_DOWN"], focus: "btn_ps3_key_lyhih_DOWN" },
            { state: released, lit: [], focus: "btn_ps3_key_lyhih_DOWN" },
            // Behind the function menu (opened with the keyboard) the pad moves nothing.
            { key: "Enter" },
            { state: pad({ 8: 0x08 }), lit: ["X"], focus: "", menu: true },
            { state: released, lit: [], focus: "", menu: true },
            { key: "Escape" },
            { state: pad({ 8: 0x08 }), lit: ["X"], focus: "btn_ps3_key_X" },
            { state: released, lit: [], focus: "btn_ps3_key_X" },
            // A mouse click hides the keyboard's focus again: the pad leaves the focus where it is.
            { click: "btn_ps4" },
            { click: "btn_ps3" },
            { state: pad({ 8: 0x01 }), lit: ["A"], focus: "btn_ps3" },
            { state: released, lit: [], focus: "btn_ps3" },
        ];
        for (const [i, step] of steps.entries()) {
            if ("click" in step) await page.locator(`#${step.click}`).click();
            else if ("key" in step) await page.keyboard.press(step.key);
            else {
                await standIn.pad(page, step.state);
                const what = `step ${i}: lamps ${step.lit.join(",")}`;
                await until(async () => JSON.stringify(await litLamps(page, "ps3")) === JSON.stringify(step.lit), what);
                const menus = await page.getByRole("menu").count();
                assert.equal(menus, step.menu ? 1 : 0, `step ${i}: the menu is ${step.menu ? "open" : "closed"}`);
                // Behind the menu the focus stays in the menu.
                if (step.menu) assert.ok(await page.evaluate(() => document.activeElement?.closest("[role=menu]") !== null), `step ${i}: the focus in the menu`);
                else assert.equal(await focused(), step.focus, `step ${i}: the focus`);
            }
        }
        await s.close();
    });
});
