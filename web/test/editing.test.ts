// Editing aids: the unapplied mark (counted by content against what was read back, an edit undone
// is no change), the warning before leaving while changes are neither applied nor saved, the copy
// between consoles as one undoable step, and nothing lost across a replug: the page's wiring of the
// core's editing session, whose rules are tested in tests/core.
import { describe, test } from "node:test";
import assert from "node:assert/strict";
import type { Page } from "playwright-core";
import { boxId, openPage, sharedBrowser, standIn, until } from "./harness.js";

// Byte `i` of the record of block position `console` in the stand-in firmware's 108 bytes.
async function firmwareByte(page: Page, console: number, i: number): Promise<number> {
    return (await standIn.records(page))[console * 27 + i];
}
const XBOX = 3; // block position
const A_BYTE = 19; // the record byte of the A button

async function box(page: Page, name: string): Promise<string> {
    return (await page.locator(boxId(name)).textContent()) ?? "";
}

async function pickMouse(page: Page, name: string, entry: string): Promise<void> {
    await page.getByRole("button", { name, exact: true }).click();
    await page.getByRole("menuitem", { name: entry }).click();
}

const markShown = (page: Page): Promise<boolean> => page.locator(".unapplied").isVisible();

describe("editing", () => {
    const shared = sharedBrowser();

    test("the mark follows the content: an edit shows it, its undo clears it, apply clears it", async () => {
        const s = await openPage(shared.browser, shared.site, { standIn: { granted: true } });
        const { page } = s;
        await until(async () => (await standIn.sent(page)).length >= 10, "the read-back");
        assert.equal(await markShown(page), false);
        await pickMouse(page, "PS3 L2", "鼠标左键");
        assert.equal(await markShown(page), true);
        assert.equal(
            await page.getByRole("button", { name: "应用" }).getAttribute("title"),
            "更改尚未应用：PS3\n适配器中的 PS3 记录与此不同；右键单击「应用」可改用适配器中的记录\nPS3 L2：（无） → 鼠标左键",
        );
        await page.keyboard.press("Control+z");
        assert.equal(await markShown(page), false);
        await page.keyboard.press("Control+y");
        assert.equal(await markShown(page), true);
        // Picking back what the adapter holds is no change either.
        const held = await box(page, "PS3 R2");
        await pickMouse(page, "PS3 R2", "鼠标中键");
        await page.keyboard.press("Control+z");
        assert.equal(await box(page, "PS3 R2"), held);
        await page.getByRole("button", { name: "应用" }).click();
        await page.getByRole("alertdialog").getByRole("button").click();
        assert.equal(await markShown(page), false);
        await s.close();
    });

    test("leaving with changes neither applied nor saved asks first; after a save it does not", async () => {
        const s = await openPage(shared.browser, shared.site);
        const { page } = s;
        await pickMouse(page, "PS3 L1", "鼠标右键");
        let asked = 0;
        page.on("dialog", (d) => {
            if (d.type() === "beforeunload") ++asked;
            void d.dismiss(); // stay on the page
        });
        await page.close({ runBeforeUnload: true });
        await until(async () => asked > 0, "the beforeunload question");
        assert.equal(page.isClosed(), false);

        const other = await s.context.newPage();
        await other.goto(page.url());
        await other.waitForSelector("body.ready");
        await pickMouse(other, "PS3 L1", "鼠标右键");
        const download = other.waitForEvent("download");
        await other.getByRole("button", { name: "保存文件" }).click();
        await download;
        let askedAfterSave = 0;
        other.on("dialog", (d) => {
            ++askedAfterSave;
            void d.accept();
        });
        await other.close({ runBeforeUnload: true });
        await until(async () => other.isClosed(), "the page closed");
        assert.equal(askedAfterSave, 0);
        await s.close();
    });

    test("copy between consoles: every shared button, SHARE and CAPTURE only between PS4 and SWITCH; one step", async () => {
        const s = await openPage(shared.browser, shared.site);
        const { page } = s;
        await page.getByRole("tab", { name: "PS4" }).click();
        await pickMouse(page, "PS4 A", "鼠标右键");
        await pickMouse(page, "PS4 SHARE", "鼠标中键");
        await page.getByRole("tab", { name: "SWITCH" }).click();
        await pickMouse(page, "SWITCH B", "鼠标左键");
        await page.getByRole("tab", { name: "PS4" }).click({ button: "right" });
        const menu = page.getByRole("menu");
        assert.deepEqual(await menu.getByRole("menuitem").allTextContents(), ["复制到 PS3", "复制到 SWITCH", "复制到 XBOX"]);
        await page.getByRole("menuitem", { name: "复制到 SWITCH" }).click();
        await page.getByRole("tab", { name: "SWITCH" }).click();
        assert.equal(await box(page, "SWITCH A"), "鼠标右键");
        assert.equal(await box(page, "SWITCH CAPTURE"), "鼠标中键");
        assert.equal(await box(page, "SWITCH B"), ""); // PS4's B is empty: copied as well
        await page.getByRole("tab", { name: "PS4" }).click({ button: "right" });
        await page.getByRole("menuitem", { name: "复制到 XBOX" }).click();
        await page.getByRole("tab", { name: "XBOX" }).click();
        assert.equal(await box(page, "XBOX A"), "鼠标右键");
        await page.keyboard.press("Control+z");
        assert.equal(await box(page, "XBOX A"), "");
        await page.keyboard.press("Control+z");
        await page.getByRole("tab", { name: "SWITCH" }).click();
        assert.equal(await box(page, "SWITCH B"), "鼠标左键");
        assert.equal(await box(page, "SWITCH CAPTURE"), "");
        await s.close();
    });

    test("nothing lost: an edit survives a replug and a replug after an unplug during apply; a file loaded before connecting is what apply writes", async () => {
        const s = await openPage(shared.browser, shared.site, { standIn: { granted: true } });
        const { page } = s;
        await until(async () => (await page.locator(".conn-dot.on").count()) > 0, "the connection");
        await until(async () => (await standIn.sent(page)).length >= 4, "the read-back");
        await page.getByRole("tab", { name: "XBOX" }).click();
        await pickMouse(page, "XBOX A", "鼠标右键");
        const adapterA = await firmwareByte(page, XBOX, A_BYTE);
        assert.notEqual(adapterA, 0xa1);

        // Unplugged and plugged in again: the read-back keeps the edit and says so.
        await standIn.unplug(page);
        await until(async () => (await page.locator(".conn-dot.on").count()) === 0, "the removal");
        await standIn.clearSent(page);
        await standIn.plug(page);
        await until(async () => (await page.locator(".banner.kept").count()) > 0, "the kept changes named");
        assert.equal(await box(page, "XBOX A"), "鼠标右键");
        assert.equal(await markShown(page), true);
        assert.match((await page.locator(".conn-note").textContent()) ?? "", /已保留 XBOX 的更改/);
        // The banner's command takes the adapter's record instead: one step, undone with Ctrl+Z.
        await page.locator(".banner.kept").getByRole("button", { name: "改用适配器中的记录（XBOX）" }).click();
        assert.notEqual(await box(page, "XBOX A"), "鼠标右键");
        assert.equal(await markShown(page), false);
        await page.keyboard.press("Control+z");
        assert.equal(await box(page, "XBOX A"), "鼠标右键");

        // An unplug in the middle of an apply (after PS3 and PS4), then the replug the message asks
        // for: XBOX, never written, keeps the edit, and the next apply writes it.
        await standIn.unplugAfterReports(page, 2);
        await page.getByRole("button", { name: "应用" }).click();
        await page.getByRole("alertdialog").getByRole("button").click();
        await until(async () => (await page.locator(".conn-dot.on").count()) === 0, "the removal");
        await standIn.plug(page);
        await until(async () => (await page.locator(".banner.kept").count()) > 0, "the read-back after the replug");
        assert.equal(await box(page, "XBOX A"), "鼠标右键");
        await page.getByRole("button", { name: "应用" }).click();
        await page.getByRole("alertdialog").getByRole("button").click();
        assert.equal(await firmwareByte(page, XBOX, A_BYTE), 0xa1);
        assert.equal(await markShown(page), false);
        await s.close();
    });

    test("a file loaded before connecting is kept by the read-back and is what apply writes", async () => {
        const s = await openPage(shared.browser, shared.site, { standIn: { granted: false } });
        const { page } = s;
        const file = Buffer.alloc(108);
        for (let i = 0; i < 108; ++i) file[i] = i % 27 === 0 ? 0 : 0x1e + (i % 10); // digits
        const chooser = page.waitForEvent("filechooser");
        await page.getByRole("button", { name: "选择文件" }).click();
        await (await chooser).setFiles({ name: "mine.kvf", mimeType: "application/octet-stream", buffer: file });
        await page.getByRole("button", { name: "连接适配器" }).click();
        await until(async () => (await page.locator(".banner.kept").count()) > 0, "the read-back");
        await page.getByRole("button", { name: "应用" }).click();
        await page.getByRole("alertdialog").getByRole("button").click();
        const held = await standIn.records(page);
        for (let c = 0; c < 4; ++c)
            for (const i of [1, 5, 10, 19, 25])
                assert.equal(held[c * 27 + i], file[c * 27 + i], `record ${c} byte ${i}`);
        await s.close();
    });
});
