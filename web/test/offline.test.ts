// Offline and updates: after the first visit the page loads with no network at all; when the site
// on the server changes, the page says a newer version is ready and reloads into it on request.
import { after, before, describe, test } from "node:test";
import assert from "node:assert/strict";
import { cpSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import type { Browser } from "playwright-core";
import { launch, openPage, SITE } from "./harness.js";
import { serve, type Served } from "../tools/serve.js";

describe("offline and updates", () => {
    let browser: Browser;
    let site: Served;
    let dir: string;
    before(async () => {
        browser = await launch();
        dir = mkdtempSync(join(tmpdir(), "velorin-site-"));
        cpSync(SITE, dir, { recursive: true });
        site = await serve(dir);
    });
    after(async () => {
        await browser.close();
        await site.close();
        rmSync(dir, { recursive: true, force: true });
    });

    test("a second visit works offline; a changed site is offered, and taken on reload", async () => {
        const s = await openPage(browser, site, { serviceWorkers: true, standIn: false });
        const { page, context } = s;
        await page.evaluate(() => navigator.serviceWorker.ready.then(() => undefined));
        await page.reload();
        await page.waitForSelector("body.ready");
        assert.equal(await page.evaluate(() => navigator.serviceWorker.controller !== null), true);

        await context.setOffline(true);
        await page.reload();
        await page.waitForSelector("body.ready");
        await page.getByRole("tab", { name: "XBOX" }).click();
        await page.getByRole("button", { name: "XBOX A", exact: true }).click();
        await page.getByRole("menuitem", { name: "鼠标右键" }).click();
        assert.equal(await page.locator("#btn_xbox_key_A .box-value").textContent(), "鼠标右键");
        await context.setOffline(false);

        // A new site: its worker's cache has another name.
        const sw = join(dir, "sw.js");
        writeFileSync(sw, readFileSync(sw, "utf8").replace(/const CACHE = "([^"]+)"/, 'const CACHE = "$1-next"'));
        await page.evaluate(() => navigator.serviceWorker.getRegistration().then((r) => r?.update()));
        const notice = page.locator(".banner.update");
        await notice.waitFor({ timeout: 20_000 });
        assert.match((await notice.textContent()) ?? "", /新版本已准备好/);
        const reloaded = page.waitForEvent("load", { timeout: 120_000 }); // only a hung run ends here
        await notice.getByRole("button", { name: "重新加载" }).click();
        await reloaded;
        await page.waitForSelector("body.ready");
        const caches = await page.evaluate(() => globalThis.caches.keys());
        assert.equal(caches.length, 1, caches.join(", ")); // the old site's cache is gone
        assert.match(caches[0], /-next$/);
        await s.close();
    });
});
