// The start: the texts and controls are painted before the core has loaded, a core that cannot
// load is said (not an empty frame forever), the core's WebAssembly is fetched once (its preload
// is used), and the page's Content-Security-Policy refuses an inline script while the page works
// under it (every test runs under it).
import { describe, test } from "node:test";
import assert from "node:assert/strict";
import type { Browser } from "playwright-core";
import { sharedBrowser } from "./harness.js";
import type { Served } from "../tools/serve.js";

// A page whose requests for the core's .wasm get `answer`; resolves once the page has run its view.
async function openWithCore(browser: Browser, site: Served, locale: string, answer: "hold" | "broken") {
    const context = await browser.newContext({ locale, serviceWorkers: "block" });
    const wasm: string[] = [];
    let release = (): void => undefined;
    await context.route(/velorin-core\.wasm$/, async (route) => {
        wasm.push(route.request().url());
        if (answer === "broken") return route.fulfill({ contentType: "application/wasm", body: Buffer.from("not a module") });
        await new Promise<void>((r) => (release = r));
        return route.continue();
    });
    const page = await context.newPage();
    await page.goto(site.url);
    return { context, page, wasm, release: () => release() };
}

describe("start", () => {
    const shared = sharedBrowser();

    test("before the core has loaded, the first paint has the texts and the controls", async () => {
        const { context, page, wasm, release } = await openWithCore(shared.browser, shared.site, "en-US", "hold");
        const painted = await page.evaluate(
            () =>
                new Promise<{ paint: number; texts: number; ready: boolean; apply: string; tabs: number; boxes: number }>((resolve) => {
                    new PerformanceObserver((list) => {
                        const e = list.getEntriesByName("first-contentful-paint")[0];
                        if (!e) return;
                        resolve({
                            paint: e.startTime,
                            texts: performance.getEntriesByName("velorin-texts")[0]?.startTime ?? Infinity,
                            ready: document.body.classList.contains("ready"),
                            apply: document.getElementById("btn_Applay")?.textContent ?? "",
                            tabs: document.querySelectorAll("[role=tab]").length,
                            boxes: document.querySelectorAll("#page_ps3 .box").length,
                        });
                    }).observe({ type: "paint", buffered: true });
                }),
        );
        assert.equal(painted.ready, false, "the core was still held back");
        assert.ok(painted.texts <= painted.paint, `texts at ${painted.texts} ms, first paint at ${painted.paint} ms`);
        assert.deepEqual([painted.apply, painted.tabs, painted.boxes > 20], ["Apply", 4, true]);
        release();
        await page.waitForSelector("body.ready");
        assert.equal(wasm.length, 1, "the preloaded .wasm is the one the core uses");
        await context.close();
    });

    const failures = [
        { locale: "zh-CN", text: /页面未能完整加载（.+）。请重新加载页面/ },
        { locale: "en-US", text: /The page did not load completely \(.+\)\. Reload the page/ },
    ];
    for (const f of failures) {
        test(`a core that cannot load is said (${f.locale})`, async () => {
            const { context, page } = await openWithCore(shared.browser, shared.site, f.locale, "broken");
            const banner = page.locator(".banner.core-failed");
            await banner.waitFor();
            assert.match((await banner.textContent()) ?? "", f.text);
            assert.equal(await page.evaluate(() => document.body.classList.contains("ready")), false);
            await context.close();
        });
    }

    test("the Content-Security-Policy refuses an inline script; the page works under it", async () => {
        const context = await shared.browser.newContext({ serviceWorkers: "block" });
        const page = await context.newPage();
        await page.goto(shared.site.url);
        await page.waitForSelector("body.ready");
        const policy = (await page.locator('meta[http-equiv="Content-Security-Policy"]').getAttribute("content")) ?? "";
        // One inline script (the view's copy in the page's language) and the page's two sheets, by their hashes.
        assert.match(policy, /default-src 'self'; script-src 'self' 'wasm-unsafe-eval' 'sha256-[A-Za-z0-9+/=]+'; style-src 'self'( 'sha256-[A-Za-z0-9+/=]+'){2};/);
        const outcome = await page.evaluate(
            () =>
                new Promise<{ ran: boolean; directive: string }>((resolve) => {
                    document.addEventListener("securitypolicyviolation", (e) =>
                        resolve({ ran: "__inline" in window, directive: e.effectiveDirective }),
                    );
                    const s = document.createElement("script");
                    s.textContent = "window.__inline = true;";
                    document.body.append(s);
                }),
        );
        assert.deepEqual(outcome, { ran: false, directive: "script-src-elem" });
        // The page's own style sheet is the one allowed: the frame has its size and background.
        const frame = await page.locator(".window").evaluate((e) => [getComputedStyle(e).width, getComputedStyle(e).backgroundImage.slice(0, 14)]);
        assert.deepEqual(frame, ["800px", 'url("data:imag']);
        await context.close();
    });
});
