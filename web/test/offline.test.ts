// Offline and updates: after the first visit the page loads with no network at all; when the site
// on the server changes, the page says a newer version is ready and reloads into it on request.
// The server lets the browser keep every file for an hour, as many static hosts do: the newer version
// must still come from the server, not from the browser's copies of the old one.
import { after, before, describe, test } from "node:test";
import assert from "node:assert/strict";
import { cpSync, mkdtempSync, readFileSync, renameSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";
import type { IncomingMessage } from "node:http";
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
        site = await serve(dir, 0, 3600);
    });
    after(async () => {
        await browser.close();
        await site.close();
        rmSync(dir, { recursive: true, force: true });
    });

    test("a second visit works offline; a changed site is offered, and taken on reload", async () => {
        const s = await openPage(browser, site, { serviceWorkers: true, standIn: false, httpCache: true });
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

        // A new site, put in place as a static host should be updated: its files first, the worker last,
        // each by a rename, so that nothing ever reads a half-written file (an empty sw.js is a valid
        // worker that would be offered and never take over). The new worker's cache has another name.
        const publish = (name: string, edit: (text: string) => string): void => {
            const file = join(dir, name);
            const text = edit(readFileSync(file, "utf8"));
            assert.notEqual(text, readFileSync(file, "utf8"), `${name} changed`);
            writeFileSync(`${file}.part`, text);
            renameSync(`${file}.part`, file);
        };
        publish("index.html", (t) => t.replace('content="Velorin Web:', 'content="Velorin Web (next):'));
        let checked = false; // a check for a newer worker has read the new sw.js
        const onRequest = (request: IncomingMessage): void => {
            if (request.url?.startsWith("/sw.js")) checked = true;
        };
        site.server.on("request", onRequest);
        publish("sw.js", (t) => t.replace(/const CACHE = "([^"]+)"/, 'const CACHE = "$1-next"'));
        // The browser also checks on its own a few seconds after each navigation, and update() joins a
        // check under way, which may have read the old sw.js: ask until a check has read the new one.
        while (!checked) await page.evaluate(() => navigator.serviceWorker.getRegistration().then((r) => r?.update()));
        site.server.off("request", onRequest);
        const notice = page.locator(".banner.update");
        await notice.waitFor();
        assert.match((await notice.textContent()) ?? "", /新版本已准备好/);
        const reloaded = page.waitForEvent("load");
        await notice.getByRole("button", { name: "重新加载" }).click();
        await reloaded;
        await page.waitForSelector("body.ready");
        const caches = await page.evaluate(() => globalThis.caches.keys());
        assert.equal(caches.length, 1, caches.join(", ")); // the old site's cache is gone
        assert.match(caches[0], /-next$/);
        // The page is the new site's, from the server: not the browser's kept copy of the old one.
        assert.match((await page.locator('meta[name="description"]').getAttribute("content")) ?? "", /\(next\)/);
        await s.close();
    });
});
