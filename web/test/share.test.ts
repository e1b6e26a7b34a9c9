// Sharing, checking and printing a mapping in the page: a link made by velorinctl opens as the
// user's unapplied changes and Apply writes exactly its bytes; "Copy link" gives a link that
// velorinctl turns back into the same file; a malformed link changes nothing; the clash marks, the
// list of what Apply will change, and the printed sheet. The rules themselves (the codec, the clash
// finder, the change list, the sheet) are the core's and are tested in tests/core: this is the
// page's wiring of them.
import { describe, test } from "node:test";
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { mkdtempSync, readFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import type { Page } from "playwright-core";
import { ROOT, SITE, boxId, hex, openPage, sharedBrowser, standIn, until } from "./harness.js";

const VELORINCTL = join(ROOT, "build", "default", "tools", "velorinctl", "velorinctl");
const DEFAULT = join(SITE, "default.kvf");

function ctl(...args: string[]): string {
    return execFileSync(VELORINCTL, args, { encoding: "utf8" }).trim();
}

const alertText = async (page: Page): Promise<string> => (await page.getByRole("alertdialog").locator(".message-text").textContent()) ?? "";

// The default with Space on PS4's L1 and R2 (the default has it on A): a clash of three buttons.
function sharedFile(dir: string): Buffer {
    const file = join(dir, "mine.kvf");
    ctl("set", DEFAULT, "ps4", "L1=Space", "R2=Space", "-o", file);
    return readFileSync(file);
}

describe("sharing", () => {
    const shared = sharedBrowser();

    test("a velorinctl link opens as unapplied changes, Apply writes its bytes, and Copy link gives the same file back", async () => {
        const dir = mkdtempSync(join(tmpdir(), "velorin-share-"));
        const file = sharedFile(dir);
        const link = ctl("link", join(dir, "mine.kvf"), "--base", "http://localhost/");
        const fragment = link.slice(link.indexOf("#"));
        const s = await openPage(shared.browser, shared.site, {
            standIn: { granted: true, seed: [...readFileSync(DEFAULT)] },
            query: fragment,
        });
        const { page } = s;
        await s.context.grantPermissions(["clipboard-read", "clipboard-write"]);
        await until(async () => (await page.locator(".conn-dot.on").count()) > 0, "the connection");
        await until(async () => (await standIn.sent(page)).length >= 4, "the read-back");
        // Taken: the link's records are shown, not yet written, and the address has lost its fragment.
        assert.equal(new URL(page.url()).hash, "");
        await page.getByRole("tab", { name: "PS4" }).click();
        assert.equal(await page.locator(boxId("PS4 L1")).textContent(), "Space");
        assert.equal(await page.locator(".unapplied").isVisible(), true);
        assert.notDeepEqual((await standIn.records(page)).slice(27, 54), [...file.subarray(27, 54)]);

        // The clash marks on PS4's three Space boxes, each naming the other two, and on no other box.
        const marked = await page.locator(".box.clash").evaluateAll((boxes) => boxes.map((b) => b.id));
        assert.deepEqual(marked.sort(), ["btn_ps4_key_A", "btn_ps4_key_L1", "btn_ps4_key_R2"]);
        const l1 = page.locator("#btn_ps4_key_L1");
        assert.equal(await l1.getAttribute("title"), "同一按键也分配给了 R2、A");
        const described = (await l1.getAttribute("aria-describedby"))!.split(" ");
        const description = await page.evaluate((ids) => ids.map((id) => document.getElementById(id)?.textContent).join(" "), described);
        assert.equal(description, "Space 同一按键也分配给了 R2、A");

        // What Apply will change: PS4's two buttons, old key to new, in the tooltip and the panel.
        const apply = page.getByRole("button", { name: "应用", exact: true });
        assert.match((await apply.getAttribute("title")) ?? "", /\nPS4 L1：Q → Space\nPS4 R2：鼠标左键 → Space$/);
        await apply.click({ button: "right" });
        await page.getByRole("menuitem", { name: "查看应用将写入的更改" }).click();
        const panel = page.getByRole("dialog", { name: "应用将写入的更改" });
        assert.deepEqual(await panel.locator("h3").allTextContents(), ["PS4"]);
        assert.deepEqual(await panel.getByRole("listitem").allTextContents(), ["L1：Q → Space", "R2：鼠标左键 → Space"]);
        await page.keyboard.press("Escape");
        assert.equal(await panel.count(), 0);

        await apply.click();
        assert.equal(await alertText(page), "烧录成功");
        await page.getByRole("alertdialog").getByRole("button").click();
        assert.equal(hex(await standIn.records(page)), hex(file));

        // Copy link: the page's own address with the fragment, which velorinctl reads back into
        // the very same file.
        await page.getByRole("toolbar").getByRole("button", { name: "复制链接" }).click();
        const copied = await page.evaluate(() => navigator.clipboard.readText());
        assert.equal(copied, `${shared.site.url}${fragment}`);
        assert.equal(await page.locator(".banner.link pre").textContent(), copied);
        const back = join(dir, "back.kvf");
        ctl("import-link", copied, "-o", back);
        assert.equal(hex(readFileSync(back)), hex(file));
        await s.close();
    });

    test("a malformed link changes nothing and says why; unsaved changes are kept unless the user says otherwise", async () => {
        const dir = mkdtempSync(join(tmpdir(), "velorin-share-"));
        sharedFile(dir);
        const good = ctl("link", join(dir, "mine.kvf"), "--base", "http://localhost/");
        const mapping = good.slice(good.indexOf("#m=") + 3);
        const s = await openPage(shared.browser, shared.site);
        const { page } = s;
        await page.getByRole("tab", { name: "PS4" }).click();
        await page.getByRole("button", { name: "PS4 L1", exact: true }).click();
        await page.getByRole("menuitem", { name: "鼠标中键" }).click();
        const l1 = (): Promise<string | null> => page.locator(boxId("PS4 L1")).textContent();
        const go = (hash: string): Promise<void> => page.evaluate((h) => void (location.hash = h), hash);

        const bad: [string, RegExp][] = [
            [`m=${mapping.slice(0, 143)}`, /长度不对/],
            [`m=${mapping.slice(0, 140)}!@*$`, /不允许的字符/],
            [`m=${"A".repeat(10 * 1024 * 1024)}`, /太长/],
            [`m=${mapping}&m=${mapping}`, /两个按键映射/],
        ];
        for (const [hash, why] of bad) {
            await go(hash);
            await page.getByRole("alertdialog").waitFor();
            const text = await alertText(page);
            assert.match(text, why, hash.slice(0, 40));
            assert.match(text, /按键映射没有改变/);
            await page.getByRole("alertdialog").getByRole("button").click();
            assert.equal(await l1(), "鼠标中键");
            assert.equal(new URL(page.url()).hash, "");
        }

        // A good link over unsaved changes: the question, whose default keeps them.
        await go(`m=${mapping}`);
        await page.getByRole("alertdialog").waitFor();
        await page.keyboard.press("Enter"); // the focused default, "否"
        assert.equal(await page.getByRole("alertdialog").count(), 0);
        assert.equal(await l1(), "鼠标中键");
        await go(`m=${mapping}`);
        await page.getByRole("alertdialog").getByRole("button", { name: "是" }).click();
        assert.equal(await l1(), "Space");
        // One step, like a loaded file.
        await page.keyboard.press("Control+z");
        assert.equal(await l1(), "鼠标中键");
        await s.close();
    });

    test("Ctrl+P and the toolbar print the sheet alone, one page in the page's language", async () => {
        const s = await openPage(shared.browser, shared.site, { query: "?lang=ja" });
        const { page } = s;
        await page.evaluate(() => {
            const w = window as unknown as { printed: number };
            w.printed = 0;
            window.print = () => void ++w.printed;
        });
        await page.keyboard.press("Control+p");
        await page.getByRole("toolbar").getByRole("button", { name: "キー割り当て表を印刷" }).click();
        assert.equal(await page.evaluate(() => (window as unknown as { printed: number }).printed), 2);
        const sheet = page.locator("#print-sheet svg");
        assert.equal(await sheet.getAttribute("lang"), "ja");
        assert.equal(await sheet.locator("title").textContent(), "キー割り当て表");
        // On screen only the window; printed only the sheet.
        assert.equal(await sheet.isVisible(), false);
        await page.emulateMedia({ media: "print" });
        assert.equal(await sheet.isVisible(), true);
        assert.equal(await page.locator("#window").isVisible(), false);
        for (const format of ["A4", "Letter"]) {
            const pdf = (await page.pdf({ format })).toString("latin1");
            assert.equal(pdf.match(/\/Type\s*\/Page[^s]/g)?.length, 1, `${format}: one page`);
        }
        await s.close();
    });
});
