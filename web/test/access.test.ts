// The three languages, the names a screen reader hears, and the whole pick done with the keyboard.
import { describe, test } from "node:test";
import assert from "node:assert/strict";
import type { Page } from "playwright-core";
import { boxId, openPage, sharedBrowser } from "./harness.js";

async function focusedName(page: Page): Promise<string> {
    return page.evaluate(() => {
        const e = document.activeElement as HTMLElement | null;
        return e?.getAttribute("aria-label") ?? e?.textContent?.trim() ?? "";
    });
}

async function box(page: Page, name: string): Promise<string> {
    return (await page.locator(boxId(name)).textContent()) ?? "";
}

describe("languages and accessibility", () => {
    const shared = sharedBrowser();

    // The browser's language chooses, with the window's fallback: every language that is neither
    // Chinese nor Japanese gets English; ?lang= overrides.
    const languages = [
        { locale: "zh-CN", query: "", apply: "应用", load: "选择文件", right: "鼠标右键", keyboard: "键盘", lang: "zh-CN" },
        { locale: "en-US", query: "", apply: "Apply", load: "Load file", right: "Right click", keyboard: "Keyboard", lang: "en" },
        { locale: "ja-JP", query: "", apply: "適用", load: "読み込み", right: "右クリック", keyboard: "キーボード", lang: "ja" },
        { locale: "fr-FR", query: "", apply: "Apply", load: "Load file", right: "Right click", keyboard: "Keyboard", lang: "en" },
        { locale: "en-US", query: "?lang=ja", apply: "適用", load: "読み込み", right: "右クリック", keyboard: "キーボード", lang: "ja" },
    ];
    for (const l of languages) {
        test(`${l.locale}${l.query}: commands, menu entries and names in its language`, async () => {
            const s = await openPage(shared.browser, shared.site, { locale: l.locale, query: l.query });
            const { page } = s;
            assert.equal(await page.evaluate(() => document.documentElement.lang), l.lang);
            await page.getByRole("button", { name: l.apply, exact: true }).waitFor();
            await page.getByRole("button", { name: l.load, exact: true }).waitFor();
            for (const tab of ["PS3", "PS4", "SWITCH", "XBOX"]) await page.getByRole("tab", { name: tab }).waitFor();
            // The toolbar and the connection state share the caption strip with the title, never over it.
            const [title, caption] = [(await page.locator(".title").boundingBox())!, (await page.locator(".connection").boundingBox())!];
            assert.ok(caption.x >= title.x + title.width || caption.y + caption.height <= title.y, "the title is not covered");
            await page.getByRole("tab", { name: "XBOX" }).click();
            await page.getByRole("button", { name: "XBOX A", exact: true }).click();
            const menu = page.getByRole("menu");
            const entries = await menu.getByRole("menuitem").allTextContents();
            assert.equal(entries.length, 4);
            assert.deepEqual([entries[0], entries[2]], [l.keyboard, l.right]);
            await page.getByRole("menuitem", { name: l.right }).click();
            assert.equal(await box(page, "XBOX A"), l.right);
            await s.close();
        });
    }

    test("screen-reader names: tabs, boxes with their key, commands, menu entries, keys", async () => {
        const s = await openPage(shared.browser, shared.site);
        const { page } = s;
        const tabs = page.getByRole("tablist").getByRole("tab");
        assert.deepEqual(await tabs.allTextContents(), ["PS3", "PS4", "SWITCH", "XBOX"]);
        assert.equal(await page.getByRole("tab", { name: "PS3" }).getAttribute("aria-selected"), "true");
        // Only the selected page's boxes are there for a screen reader.
        assert.equal(await page.getByRole("button", { name: "XBOX A", exact: true }).count(), 0);
        await page.getByRole("tab", { name: "XBOX" }).click();
        const xboxA = page.getByRole("button", { name: "XBOX A", exact: true });
        await page.getByRole("button", { name: "XBOX 左摇杆上", exact: true }).waitFor();
        for (const command of ["选择文件", "保存文件", "恢复默认", "应用"])
            await page.getByRole("button", { name: command, exact: true }).waitFor();
        await xboxA.click();
        await page.getByRole("menuitem", { name: "鼠标右键" }).click();
        // The box's key is its description.
        const described = await xboxA.evaluate((b) => document.getElementById(b.getAttribute("aria-describedby")!)?.textContent);
        assert.equal(described, "鼠标右键");
        await xboxA.click();
        await page.getByRole("menuitem", { name: "键盘" }).click();
        const keyboard = page.getByRole("dialog", { name: "键盘" });
        await keyboard.getByRole("button", { name: "Space", exact: true }).waitFor();
        await keyboard.getByRole("button", { name: "~ `", exact: true }).waitFor();
        const comma = keyboard.getByRole("button", { name: "< ,", exact: true });
        assert.equal(await comma.getAttribute("aria-disabled"), "true");
        await comma.click({ force: true }); // an unavailable key: nothing happens, the keyboard stays
        assert.equal(await keyboard.isVisible(), true);
        await page.keyboard.press("Escape");
        assert.equal(await keyboard.count(), 0);
        assert.equal(await box(page, "XBOX A"), "鼠标右键");
        await s.close();
    });

    test("keyboard only: tab to a console, a box, the menu, the on-screen keyboard; undo and redo", async () => {
        const s = await openPage(shared.browser, shared.site);
        const { page } = s;
        // The toolbar: one stop of Tab, at first on the language menu; Left and Right move inside
        // it (past undo and redo, which have nothing to do yet) and change no language.
        await page.keyboard.press("Tab");
        assert.equal(await page.evaluate(() => document.activeElement?.id), "language");
        await page.keyboard.press("ArrowRight");
        assert.equal(await focusedName(page), "复制链接");
        await page.keyboard.press("ArrowRight");
        assert.equal(await focusedName(page), "打印按键映射表");
        await page.keyboard.press("ArrowRight");
        assert.equal(await page.evaluate(() => document.activeElement?.id), "language");
        await page.keyboard.press("ArrowLeft");
        assert.equal(await focusedName(page), "打印按键映射表");
        assert.equal(await page.locator("#language").inputValue(), "zh");
        await page.keyboard.press("Tab"); // the connect button
        await page.keyboard.press("Tab");
        assert.equal(await focusedName(page), "PS3");
        await page.keyboard.press("ArrowRight");
        assert.equal(await focusedName(page), "PS4");
        await page.keyboard.press("Enter");
        assert.equal(await page.getByRole("tab", { name: "PS4" }).getAttribute("aria-selected"), "true");
        await page.keyboard.press("Tab");
        assert.equal(await focusedName(page), "PS4 L2"); // the left column first, from the top
        await page.keyboard.press("Tab");
        assert.equal(await focusedName(page), "PS4 L1");
        await page.keyboard.press("Enter");
        await page.getByRole("menu").waitFor();
        await page.keyboard.press("ArrowDown"); // nothing selected yet: Down selects the first entry
        await page.keyboard.press("Enter");
        const keyboard = page.getByRole("dialog", { name: "键盘" });
        await keyboard.waitFor();
        assert.equal(await focusedName(page), "Esc"); // the first key, at the top left
        await page.keyboard.press("ArrowDown"); // ~ `
        assert.equal(await focusedName(page), "~ `");
        await page.keyboard.press("ArrowDown"); // Tab
        await page.keyboard.press("ArrowRight"); // Q
        assert.equal(await focusedName(page), "Q");
        await page.keyboard.press("Enter");
        assert.equal(await keyboard.count(), 0);
        assert.equal(await box(page, "PS4 L1"), "Q");
        assert.equal(await focusedName(page), "PS4 L1");
        // The menu again: Up selects the last entry (middle mouse button).
        await page.keyboard.press("Enter");
        await page.keyboard.press("ArrowUp");
        await page.keyboard.press("Enter");
        assert.equal(await box(page, "PS4 L1"), "鼠标中键");
        await page.keyboard.press("Control+z");
        assert.equal(await box(page, "PS4 L1"), "Q");
        await page.keyboard.press("Control+z");
        assert.equal(await box(page, "PS4 L1"), "");
        await page.keyboard.press("Control+Shift+z");
        assert.equal(await box(page, "PS4 L1"), "Q");
        await page.keyboard.press("Control+y");
        assert.equal(await box(page, "PS4 L1"), "鼠标中键");
        // Esc closes the menu without a change.
        await page.keyboard.press("Enter");
        await page.keyboard.press("Escape");
        assert.equal(await page.getByRole("menu").count(), 0);
        assert.equal(await box(page, "PS4 L1"), "鼠标中键");
        // Undo in the toolbar, pressed until nothing is left to undo: the toolbar stays a stop of
        // Tab, on the language menu again.
        await page.locator("#language").focus();
        await page.keyboard.press("ArrowRight");
        assert.equal(await focusedName(page), "撤销");
        await page.keyboard.press("Enter");
        assert.equal(await box(page, "PS4 L1"), "Q");
        await page.keyboard.press("Enter");
        assert.equal(await box(page, "PS4 L1"), "");
        const stops = await page.evaluate(() =>
            [...document.querySelectorAll<HTMLElement>("#toolbar button, #toolbar select")].filter((e) => e.tabIndex === 0).map((e) => e.id),
        );
        assert.deepEqual(stops, ["language"]);
        await s.close();
    });
});
