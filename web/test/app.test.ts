// What people expect of a web app: the language menu (switching keeps unsaved edits and the undo
// history), undo and redo buttons that follow the editing session, and the browser's save and open
// pickers (a name and a folder), with stand-ins for the pickers' dialogs, which a headless browser
// cannot show.
import { describe, test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { join } from "node:path";
import type { Page } from "playwright-core";
import { boxId, hex, openPage, sharedBrowser, SITE, until } from "./harness.js";

const box = async (page: Page, name: string): Promise<string> => (await page.locator(boxId(name)).textContent()) ?? "";

async function pickMouse(page: Page, name: string, entry: string): Promise<void> {
    await page.getByRole("button", { name, exact: true }).click();
    await page.getByRole("menuitem", { name: entry }).click();
}

// Stand-ins for the pickers: the save picker's file collects what is written (and fails on close
// when told to), the open picker hands out a file of the given bytes; `cancel` answers as a
// closed dialog does.
function pickerStandIns(config: { cancel?: boolean; failClose?: boolean; open?: number[] }): void {
    const w = window as unknown as Record<string, unknown>;
    const abort = (): never => {
        throw new DOMException("The user aborted a request.", "AbortError");
    };
    w.__picked = [];
    w.showSaveFilePicker = async (options: object) => {
        (w.__picked as object[]).push(options);
        if (config.cancel) abort();
        const chunks: number[] = [];
        return {
            createWritable: async () => ({
                write: async (data: Uint8Array) => void chunks.push(...data),
                close: async () => {
                    if (config.failClose) throw new DOMException("The disk is full.", "QuotaExceededError");
                    w.__written = chunks;
                },
            }),
        };
    };
    w.showOpenFilePicker = async (options: object) => {
        (w.__picked as object[]).push(options);
        if (config.cancel) abort();
        return [{ getFile: async () => new File([new Uint8Array(config.open ?? [])], "picked.kvf") }];
    };
}

describe("app", () => {
    const shared = sharedBrowser();

    test("the language menu switches every text and keeps the edits and their undo", async () => {
        const s = await openPage(shared.browser, shared.site);
        const { page } = s;
        await pickMouse(page, "PS3 L1", "鼠标右键");
        await page.getByLabel("语言").selectOption("en");
        await page.getByRole("button", { name: "Apply", exact: true }).waitFor();
        assert.equal(await page.evaluate(() => [document.documentElement.lang, new URL(location.href).searchParams.get("lang")].join()), "en,en");
        assert.equal(await box(page, "PS3 L1"), "Right click");
        assert.equal(await page.getByRole("button", { name: "PS3 L1", exact: true }).count(), 1);
        assert.match((await page.locator("#btn_Applay").getAttribute("title")) ?? "", /^Changes not yet applied: PS3/);
        await page.getByLabel("Language").selectOption("ja");
        await page.getByRole("button", { name: "元に戻す" }).click();
        assert.equal(await box(page, "PS3 L1"), "");
        await s.close();
    });

    test("undo and redo buttons follow what the editing session can undo and redo", async () => {
        const s = await openPage(shared.browser, shared.site);
        const { page } = s;
        const undo = page.getByRole("button", { name: "撤销" });
        const redo = page.getByRole("button", { name: "重做" });
        const state = async (): Promise<string> => `${await undo.isEnabled()} ${await redo.isEnabled()}`;
        assert.equal(await state(), "false false");
        await pickMouse(page, "PS3 L1", "鼠标右键");
        await pickMouse(page, "PS3 L1", "鼠标左键");
        assert.equal(await state(), "true false");
        await undo.click();
        assert.equal(await box(page, "PS3 L1"), "鼠标右键");
        assert.equal(await state(), "true true");
        await undo.click();
        assert.equal(await state(), "false true");
        await redo.click();
        await redo.click();
        assert.equal(await box(page, "PS3 L1"), "鼠标左键");
        assert.equal(await state(), "true false");
        await s.close();
    });

    test("save and open with the browser's pickers: name, file type, bytes; a failed write is said", async () => {
        const defaults = [...readFileSync(join(SITE, "default.kvf"))];
        const s = await openPage(shared.browser, shared.site, { pickers: true, locale: "en-US" });
        const { page } = s;
        await page.addInitScript(pickerStandIns, { open: defaults });
        await page.reload();
        await page.waitForSelector("body.ready");
        let downloads = 0;
        page.on("download", () => ++downloads);
        // Open: the picker's file loads.
        await page.getByRole("button", { name: "Load file", exact: true }).click();
        await until(async () => (await box(page, "PS3 L2")) !== "", "the picked file shown");
        // Save: the picker is asked for velorin.kvf of the .kvf type, and gets the 108 bytes.
        await page.keyboard.press("Control+s");
        const written = await until(() => page.evaluate(() => (window as unknown as { __written?: number[] }).__written), "the written file");
        assert.equal(hex(written), hex(defaults));
        const asked = await page.evaluate(() => (window as unknown as { __picked: object[] }).__picked);
        assert.deepEqual(asked[1], {
            suggestedName: "velorin.kvf",
            types: [{ description: "Velorin assignment file", accept: { "application/octet-stream": [".kvf"] } }],
        });
        // A write that fails when the file is put in place: said, and the file there stays.
        await page.evaluate(pickerStandIns, { failClose: true });
        await page.getByRole("button", { name: "Save file", exact: true }).click();
        const box2 = page.getByRole("alertdialog");
        assert.match((await box2.textContent()) ?? "", /not saved \(.*disk is full.*\); the file that was there is unchanged/);
        await box2.getByRole("button").click();
        // Cancelled pickers do nothing at all: no download instead, no message.
        await page.evaluate(pickerStandIns, { cancel: true });
        await page.getByRole("button", { name: "Save file", exact: true }).click();
        await page.getByRole("button", { name: "Load file", exact: true }).click();
        assert.equal(await page.evaluate(() => (window as unknown as { __picked: object[] }).__picked.length), 2);
        assert.equal(await page.getByRole("alertdialog").count(), 0);
        assert.equal(downloads, 0);
        await s.close();
    });
});
