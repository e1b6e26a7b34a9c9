// The page against the window: the function menu's size and rows, its highlight only under the
// pointer, how it closes (a click outside reaches its target, a middle click does not close it,
// losing the focus does); lang.xml and background.png beside the page; a long product name cut;
// the on-screen keyboard's focus mark.
import { describe, test } from "node:test";
import assert from "node:assert/strict";
import type { Page } from "playwright-core";
import { openPage, sharedBrowser } from "./harness.js";

// The rows of the open menu drawn highlighted.
const highlighted = (page: Page): Promise<number> =>
    page.locator(".menu-item").evaluateAll((rows) => rows.filter((r) => getComputedStyle(r).backgroundColor !== "rgba(0, 0, 0, 0)").length);

// A 1x1 PNG.
const PNG = Buffer.from("iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==", "base64");

function langXml(encoding: "utf-8" | "utf-16le"): Buffer {
    const xml =
        '<?xml version="1.0"?>\n<root><title name="Pad Box"/><applay name="Write"/><Rclick name="RMB"/>' +
        '<msgRestore name="Back to defaults?"/><ignored name="x"/></root>\n';
    return encoding === "utf-8" ? Buffer.from(xml, "utf8") : Buffer.concat([Buffer.from([0xff, 0xfe]), Buffer.from(xml, "utf16le")]);
}

describe("audit against the window", () => {
    const shared = sharedBrowser();

    test("the menu: 108 by 106 with 26-pixel rows, highlighted under the pointer only; how it closes", async () => {
        const s = await openPage(shared.browser, shared.site);
        const { page } = s;
        await page.locator("#btn_ps3_key_L1").click();
        const menu = page.getByRole("menu");
        const size = await menu.evaluate((m: HTMLElement) => [m.offsetWidth, m.offsetHeight, (m.firstChild as HTMLElement).offsetHeight]);
        assert.deepEqual(size, [108, 106, 26]);
        assert.equal(await highlighted(page), 0);
        await page.locator(".menu-item").nth(2).hover();
        assert.equal(await highlighted(page), 1);
        await page.mouse.move(5, 5); // off the menu
        assert.equal(await highlighted(page), 0);
        await page.keyboard.press("ArrowDown"); // the keys' choice, until the pointer comes
        await page.locator(".menu-item").nth(3).hover();
        assert.equal(await highlighted(page), 1);
        // A middle click outside leaves it open; a click on another box moves the menu there at once.
        await page.locator("#btn_ps3_key_R1").click({ button: "middle" });
        assert.equal(await menu.getAttribute("aria-label"), "PS3 L1");
        await page.locator("#btn_ps3_key_R1").click();
        assert.equal(await menu.getAttribute("aria-label"), "PS3 R1");
        // A right click on a tab reaches the tab: its copy menu.
        await page.locator("#btn_xbox").click({ button: "right" });
        assert.equal(await menu.getAttribute("aria-label"), "XBOX");
        // The page losing the focus (another window, another tab) closes it.
        await page.evaluate(() => window.dispatchEvent(new FocusEvent("blur")));
        assert.equal(await menu.count(), 0);
        await s.close();
    });

    const overrides = [
        { what: "a UTF-8 lang.xml", lang: langXml("utf-8"), apply: "Write", title: "Pad Box" },
        { what: "a UTF-16 lang.xml", lang: langXml("utf-16le"), apply: "Write", title: "Pad Box" },
        { what: "a lang.xml that is no XML", lang: Buffer.from("<root><title name="), apply: "Apply", title: "Orlesta Adapter Mapper" },
    ];
    for (const o of overrides) {
        test(`${o.what} and a background.png beside the page, as beside the window's program`, async () => {
            const s = await openPage(shared.browser, shared.site, { locale: "en-US" });
            const { page, context } = s;
            await context.route(/\/lang\.xml$/, (r) => r.fulfill({ contentType: "application/xml", body: o.lang }));
            await context.route(/\/background\.png$/, (r) => r.fulfill({ contentType: "image/png", body: PNG }));
            await page.reload();
            await page.waitForSelector("body.ready");
            await page.waitForFunction(() => getComputedStyle(document.querySelector(".window")!).backgroundImage.includes("background.png"));
            await page.getByRole("button", { name: o.apply, exact: true }).waitFor();
            assert.equal(await page.locator(".title").textContent(), o.title);
            if (o.apply === "Write") {
                // Every display text is the file's, whatever the language; those it lacks are empty.
                assert.equal(await page.locator("#btn_loadcfg").textContent(), "");
                await page.locator("#btn_ps3_key_L1").click();
                assert.deepEqual(await page.getByRole("menuitem").allTextContents(), ["", "", "RMB", ""]);
                await page.keyboard.press("Escape");
                // The restore question: the file's text, captioned with its title.
                await page.locator("#btn_default").click();
                const question = page.getByRole("alertdialog", { name: "Pad Box" });
                assert.equal(await question.locator(".message-text").textContent(), "Back to defaults?");
                await question.getByRole("button", { name: "No" }).click();
            }
            await s.close();
        });
    }

    test("a long product name is cut with an ellipsis; the keyboard's focus mark is clearly visible", async () => {
        const productName = "Velorin Four-in-One Pad Adapter for Every Console, Rev. C with a very long name";
        const s = await openPage(shared.browser, shared.site, { standIn: { granted: true, productName } });
        const { page } = s;
        const state = page.locator(".conn-text");
        await page.locator(".conn-dot.on").waitFor();
        assert.equal(await state.getAttribute("title"), `已连接：${productName}`);
        const cut = await state.evaluate((e) => [e.scrollWidth > e.clientWidth, getComputedStyle(e).textOverflow]);
        assert.deepEqual(cut, [true, "ellipsis"]);
        const title = (await page.locator(".title").boundingBox())!;
        const conn = (await page.locator(".connection").boundingBox())!;
        assert.ok(conn.x >= title.x + title.width, "the connection state leaves the title whole");
        await page.locator("#btn_ps3_key_L1").focus();
        await page.keyboard.press("Enter");
        await page.keyboard.press("ArrowDown");
        await page.keyboard.press("Enter");
        const mark = await page.locator(".key:focus").evaluate((k) => {
            const c = getComputedStyle(k);
            return [k.textContent, c.outlineStyle, parseFloat(c.outlineWidth) >= 2];
        });
        assert.deepEqual(mark, ["Esc", "solid", true]);
        await s.close();
    });
});
