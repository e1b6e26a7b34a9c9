// Files: the page's .kvf is byte for byte what velorinctl writes for the same assignment; the
// default is the window's default.kvf; a short file is refused, a long one loads its first 108
// bytes; loading sends nothing to the adapter.
import { after, before, describe, test } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import type { Page } from "playwright-core";
import { boxId, hex, openPage, ROOT, sharedBrowser, SITE, standIn, until } from "./harness.js";

const VELORINCTL = join(ROOT, "build", "default", "tools", "velorinctl", "velorinctl");

async function save(page: Page): Promise<Buffer> {
    const download = page.waitForEvent("download");
    await page.getByRole("button", { name: "保存文件" }).click();
    const d = await download;
    assert.match(d.suggestedFilename(), /\.kvf$/);
    return readFileSync((await d.path())!);
}

async function load(page: Page, bytes: Buffer): Promise<void> {
    const chooser = page.waitForEvent("filechooser");
    await page.getByRole("button", { name: "选择文件" }).click();
    await (await chooser).setFiles({ name: "chosen.kvf", mimeType: "application/octet-stream", buffer: bytes });
}

async function restoreDefault(page: Page, answer: "是" | "否"): Promise<void> {
    await page.getByRole("button", { name: "恢复默认" }).click();
    const question = page.getByRole("alertdialog");
    assert.equal(await question.locator(".message-text").textContent(), "是否恢复默认");
    await question.getByRole("button", { name: answer }).click();
}

async function pick(page: Page, box: string, menu: string, key?: string): Promise<void> {
    await page.getByRole("button", { name: box, exact: true }).click();
    await page.getByRole("menuitem", { name: menu }).click();
    if (key) await page.getByRole("dialog").getByRole("button", { name: key, exact: true }).click();
}

async function box(page: Page, name: string): Promise<string> {
    return (await page.locator(boxId(name)).textContent()) ?? "";
}

describe("files", () => {
    const shared = sharedBrowser();
    let dir: string;
    before(() => {
        dir = mkdtempSync(join(tmpdir(), "velorin-web-"));
    });
    after(() => {
        rmSync(dir, { recursive: true, force: true });
    });

    test("an edited default saves as the same bytes velorinctl writes, and loads back", async () => {
        const s = await openPage(shared.browser, shared.site);
        const { page } = s;
        // Nothing read, nothing loaded: 108 zero bytes.
        assert.equal(hex(await save(page)), hex(new Array(108).fill(0)));
        await restoreDefault(page, "否");
        assert.equal(await box(page, "PS3 L2"), "");
        await restoreDefault(page, "是");
        await until(async () => (await box(page, "PS3 L2")) !== "", "the default restored");
        const defaults = readFileSync(join(SITE, "default.kvf"));
        assert.equal(hex(await save(page)), hex(defaults));

        const fromCtl = join(dir, "ctl.kvf");
        execFileSync(VELORINCTL, ["set", join(SITE, "default.kvf"), "ps4", "L2=Q", "R2=E", "SHARE=mouse-right", "-o", fromCtl]);
        await page.getByRole("tab", { name: "PS4" }).click();
        await pick(page, "PS4 L2", "键盘", "Q");
        await pick(page, "PS4 R2", "键盘", "E");
        await pick(page, "PS4 SHARE", "鼠标右键");
        const saved = await save(page);
        assert.equal(hex(saved), hex(readFileSync(fromCtl)));

        // Back to the default, then the file: the boxes show what it holds.
        await restoreDefault(page, "是");
        await until(async () => (await box(page, "PS4 L2")) !== "Q", "the default restored");
        await load(page, readFileSync(fromCtl));
        assert.equal(await box(page, "PS4 L2"), "Q");
        assert.equal(await box(page, "PS4 SHARE"), "鼠标右键");
        await s.close();
    });

    test("a 107-byte file is refused and changes nothing; a 200-byte file gives its first 108 bytes", async () => {
        const s = await openPage(shared.browser, shared.site, { standIn: { granted: true } });
        const { page } = s;
        await page.locator(".conn-dot.on").waitFor();
        const before = await save(page);
        await standIn.clearSent(page);
        const bytes = Buffer.alloc(200);
        for (let i = 0; i < 200; ++i) bytes[i] = 0x04 + (i % 26);
        await load(page, bytes.subarray(0, 107));
        const box = page.getByRole("alertdialog");
        assert.equal(await box.locator(".message-text").textContent(), "文件 chosen.kvf 只有 107 字节，不是按键分配文件（至少 108 字节）。没有载入任何内容。");
        await box.getByRole("button").click();
        assert.equal(hex(await save(page)), hex(before));
        await load(page, bytes);
        assert.equal(hex(await save(page)), hex(bytes.subarray(0, 108)));
        // Loading changes only the page: nothing went to the adapter.
        assert.deepEqual(await standIn.sent(page), []);
        await s.close();
    });
});
