// The site served under a folder of its host, as GitHub Pages serves a project's site at
// https://OWNER.github.io/velorin/: the page loads, connects to the adapter, and its service worker,
// scoped to that folder, controls the page and keeps the site's files there in the cache named after
// the version. Nothing is asked of the host outside the folder.
import { after, before, describe, test } from "node:test";
import assert from "node:assert/strict";
import { readFileSync } from "node:fs";
import { join } from "node:path";
import type { Browser } from "playwright-core";
import { launch, openPage, ROOT, SITE, standIn, until } from "./harness.js";
import { serve, type Served } from "../tools/serve.js";

const FOLDER = "/velorin/";

describe("served under a folder", () => {
    let browser: Browser;
    let site: Served;
    const outside: string[] = [];
    before(async () => {
        browser = await launch();
        site = await serve(SITE, 0, 0, FOLDER);
        site.server.on("request", (r) => {
            if (!r.url?.startsWith(FOLDER)) outside.push(r.url ?? "");
        });
    });
    after(async () => {
        await browser.close();
        await site.close();
    });

    test("the page loads and connects, and its worker controls it from the folder", async () => {
        const version = /^project\(velorin VERSION (\S+?)[\s)]/m.exec(readFileSync(join(ROOT, "CMakeLists.txt"), "utf8"))?.[1];
        assert.ok(version, "CMakeLists.txt names the version");
        assert.match(site.url, /^http:\/\/localhost:\d+\/velorin\/$/);

        const s = await openPage(browser, site, { serviceWorkers: true });
        const { page } = s;
        await page.getByRole("button", { name: "连接适配器" }).click();
        await until(async () => (await page.locator(".conn-dot.on").count()) > 0, "the connection");
        await until(async () => (await standIn.sent(page)).filter((r) => r[0] === 0x31).length === 4, "the read-back");

        const scope = await until(
            () => page.evaluate(() => navigator.serviceWorker.getRegistration().then((r) => (r?.active ? r.scope : null))),
            "an active service worker",
        );
        assert.equal(scope, site.url);
        await page.reload();
        await page.waitForSelector("body.ready");
        assert.equal(await page.evaluate(() => navigator.serviceWorker.controller?.scriptURL), `${site.url}sw.js`);

        // One cache, named after the version, holding the page and its files under the folder.
        const cached = await page.evaluate(async () => {
            const names = await caches.keys();
            const urls = await Promise.all(names.map(async (n) => (await (await caches.open(n)).keys()).map((r) => r.url)));
            return { names, urls: urls.flat() };
        });
        assert.equal(cached.names.length, 1, cached.names.join(", "));
        assert.match(cached.names[0], new RegExp(`^velorin-web-${version.replace(/\./g, "\\.")}-[0-9a-f]{16}$`));
        for (const file of ["", "index.html", "main.js", "velorin-core.wasm", "manifest.webmanifest", "70-velorin.rules"])
            assert.ok(cached.urls.includes(site.url + file), `${file || "the folder"} is cached`);
        assert.deepEqual(cached.urls.filter((u) => !u.startsWith(site.url)), []);

        // Installed as an app, it starts in the folder and stays in it.
        const manifest = await page.evaluate(async () => {
            const link = document.querySelector<HTMLLinkElement>('link[rel="manifest"]');
            if (!link) return null;
            const m = (await (await fetch(link.href)).json()) as { start_url: string; scope: string };
            return { start: new URL(m.start_url, link.href).href, scope: new URL(m.scope, link.href).href };
        });
        assert.deepEqual(manifest, { start: site.url, scope: site.url });
        assert.deepEqual(outside, []);
        await s.close();
    });
});
