// Phones and narrow windows: at 360x640 and 390x844 with touch, and at 1280 wide with a 200 % zoom
// (640 CSS pixels), every control is inside the viewport and can be reached; a tap opens a box's
// menu, the keyboard, message boxes and the changes panel fit the screen, and a long press gives
// the copy menu (and the apply button's menu) as a right click does. A phone's browser without WebHID says so and
// names the computer's browsers.
import { describe, test } from "node:test";
import assert from "node:assert/strict";
import type { Locator, Page } from "playwright-core";
import { boxId, openPage, sharedBrowser, standIn, until } from "./harness.js";

const ANDROID = "Mozilla/5.0 (Linux; Android 14; Pixel 8) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/156.0.0.0 Mobile Safari/537.36";

// Whether the element's box lies inside the viewport (a pixel of rounding allowed).
async function inside(page: Page, target: Locator): Promise<string | null> {
    const r = await target.boundingBox();
    const v = page.viewportSize()!;
    if (!r) return "not shown";
    const ok = r.x >= -1 && r.y >= -1 && r.x + r.width <= v.width + 1 && r.y + r.height <= v.height + 1;
    return ok ? null : `${Math.round(r.x)},${Math.round(r.y)} ${Math.round(r.width)}x${Math.round(r.height)} in ${v.width}x${v.height}`;
}

// Holds a touch on the element until its menu opens, then lifts it.
async function longPress(page: Page, target: Locator): Promise<void> {
    const r = (await target.boundingBox())!;
    const cdp = await page.context().newCDPSession(page);
    const point = { x: r.x + r.width / 2, y: r.y + r.height / 2 };
    await cdp.send("Input.dispatchTouchEvent", { type: "touchStart", touchPoints: [point] });
    await page.getByRole("menu").waitFor();
    await cdp.send("Input.dispatchTouchEvent", { type: "touchEnd", touchPoints: [] });
    await cdp.detach();
}

describe("phones and narrow windows", () => {
    const shared = sharedBrowser();

    const screens = [
        { what: "360x640, touch, Chinese", phone: { width: 360, height: 640 }, locale: "zh-CN", right: "鼠标右键", copy: "复制到 SWITCH" },
        { what: "390x844, touch, English", phone: { width: 390, height: 844 }, locale: "en-US", right: "Right click", copy: "Copy to SWITCH" },
        { what: "390x844, touch, Japanese", phone: { width: 390, height: 844 }, locale: "ja-JP", right: "右クリック", copy: "SWITCH にコピー" },
        { what: "1280 wide at 200 %", viewport: { width: 640, height: 400 }, locale: "en-US", right: "Right click", copy: "Copy to SWITCH" },
    ];
    for (const s of screens) {
        test(`${s.what}: every control reachable; tap, keyboard, messages and long press inside the screen`, async () => {
            const session = await openPage(shared.browser, shared.site, {
                locale: s.locale,
                standIn: { granted: true },
                ...(s.phone ? { phone: s.phone } : { viewport: s.viewport }),
            });
            const { page } = session;
            await until(async () => (await standIn.sent(page)).length >= 10, "the read-back");
            const touch = !!s.phone;
            const tap = (l: Locator): Promise<void> => (touch ? l.tap() : l.click());
            // Nothing to scroll sideways; every control of every page can be scrolled into the viewport.
            assert.equal(await page.evaluate(() => document.documentElement.scrollWidth <= document.documentElement.clientWidth), true);
            const outside: string[] = [];
            for (const word of ["ps3", "ps4", "switch", "xbox"]) {
                await tap(page.locator(`#btn_${word}`));
                const controls = page.locator(`#page_${word} .box, .tab, .command, .tool, #language`);
                for (const c of await controls.all()) {
                    await c.scrollIntoViewIfNeeded(); // the page may be taller than the screen
                    const where = await inside(page, c);
                    if (where) outside.push(`${await c.getAttribute("id")}: ${where}`);
                }
            }
            assert.deepEqual(outside, []);

            // A tap on a box of the right column opens its menu inside the screen.
            const box = page.locator("#btn_xbox_key_R1");
            await tap(box);
            const menu = page.getByRole("menu");
            assert.equal(await inside(page, menu), null);
            await tap(menu.getByRole("menuitem", { name: s.right }));
            assert.equal(await page.locator(boxId("XBOX R1")).textContent(), s.right);
            // The on-screen keyboard fits the screen, and a tap on a key assigns it.
            await tap(box);
            await tap(page.getByRole("menuitem").first());
            const keyboard = page.getByRole("dialog");
            assert.equal(await inside(page, keyboard), null);
            await tap(keyboard.getByRole("button", { name: "Q", exact: true }));
            assert.equal(await page.locator(boxId("XBOX R1")).textContent(), "Q");

            // A long press (a right click without touch) on a tab: the copy menu, whole, inside.
            const tab = page.locator("#btn_ps3");
            if (touch) await longPress(page, tab);
            else await tab.click({ button: "right" });
            assert.equal(await inside(page, menu), null);
            const row = menu.getByRole("menuitem", { name: s.copy });
            assert.equal(await row.evaluate((e) => e.scrollWidth <= e.clientWidth), true, "the entry is not cut");
            await page.keyboard.press("Escape");
            // The apply button's menu the same way (the adapter holds other records now): what
            // Apply will change, in a panel inside the screen, then the adapter's records instead.
            const apply = page.locator("#btn_Applay");
            const applyMenu = async (): Promise<void> => {
                if (touch) await longPress(page, apply);
                else await apply.click({ button: "right" });
            };
            await applyMenu();
            assert.equal(await inside(page, menu), null);
            await tap(menu.getByRole("menuitem").last());
            const panel = page.locator("#changes-panel");
            assert.equal(await inside(page, panel), null);
            assert.match((await panel.locator("li").first().textContent()) ?? "", /Q/);
            await tap(panel.getByRole("button"));
            assert.equal(await panel.count(), 0);
            await applyMenu();
            await tap(menu.getByRole("menuitem").first());
            assert.equal(await page.locator(boxId("XBOX R1")).textContent(), "", "the adapter's record taken");
            // A message box inside the screen.
            await tap(page.locator("#btn_default"));
            const question = page.getByRole("alertdialog");
            assert.equal(await inside(page, question), null);
            await tap(question.getByRole("button").last());
            await session.close();
        });
    }

    test("a phone's browser without WebHID says so and names the computer's browsers; files work", async () => {
        const session = await openPage(shared.browser, shared.site, {
            locale: "en-US",
            standIn: { noWebHid: true },
            phone: { width: 390, height: 844, userAgent: ANDROID },
        });
        const { page } = session;
        const banner = page.locator(".banner.no-webhid");
        assert.match((await banner.textContent()) ?? "", /phones and tablets have no WebHID.*on a computer\. Loading and saving files still works/);
        assert.equal(await page.locator(".connect").isDisabled(), true);
        const chooser = page.waitForEvent("filechooser");
        await page.locator("#btn_loadcfg").tap();
        await (await chooser).setFiles({ name: "a.kvf", mimeType: "application/octet-stream", buffer: Buffer.alloc(108, 0x04) });
        await until(async () => (await page.locator(boxId("PS3 L2")).textContent()) === "A", "the loaded file shown");
        await session.close();
    });
});
