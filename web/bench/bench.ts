// Velorin Web's figures, each with a baseline measured in the same run (bench/web runs it):
//   size        every file of the site compressed (gzip -9, what a static host serves), against the
//               uncompressed total;
//   first paint first-contentful-paint of the page in a fresh tab on localhost in headless
//               Chromium, counted only once the texts and controls are in the page (the later of the
//               first paint and the page's "velorin-texts" mark), and when every control is usable
//               (the core loaded and bound, body.ready), both against the first paint of a one-line
//               page from the same server, measured in turn with the page in the same run;
//   apply       click on apply to the result on screen against the stand-in adapter (four writes,
//               six mode selects, the verifying read-back), against the same fourteen reports sent
//               straight through the stand-in by a script.
// Prints one TABLE line per figure: name, value, baseline, ratio, target, met.
import { mkdirSync, readdirSync, readFileSync, statSync, writeFileSync } from "node:fs";
import { availableParallelism, loadavg } from "node:os";
import { join } from "node:path";
import { gzipSync } from "node:zlib";
import type { Browser, Page } from "playwright-core";
import { BUILD, SITE, launch } from "../test/harness.js";
import { serve } from "../tools/serve.js";

const RUNS = Number(process.env.VELORIN_BENCH_RUNS ?? 9);
const STANDIN = readFileSync(join(BUILD, "standin.js"), "utf8");

function median(values: number[]): number {
    const v = [...values].sort((a, b) => a - b);
    return v.length % 2 ? v[(v.length - 1) / 2] : (v[v.length / 2 - 1] + v[v.length / 2]) / 2;
}

function files(dir: string): string[] {
    return readdirSync(dir, { recursive: true })
        .map((f) => join(dir, String(f)))
        .filter((f) => statSync(f).isFile());
}

function row(name: string, value: string, baseline: string, ratio: string, target: string, met: boolean): void {
    console.log(["TABLE", name, value, baseline, ratio, target, met ? "met" : "MISSED"].join("\t"));
}

// First contentful paint of a fresh tab, and (for the site) when the page is ready: every
// control built, the core loaded (body.ready), both from the navigation's start.
async function firstPaint(browser: Browser, url: string, site: boolean): Promise<{ paint: number; ready: number }> {
    // No stand-in: a user's first visit, with the browser's own WebHID.
    const context = await browser.newContext({ serviceWorkers: "block" });
    const page = await context.newPage();
    await page.goto(url);
    const paint = await page.evaluate(
        (site) =>
            new Promise<number>((resolve) => {
                new PerformanceObserver((list) => {
                    const e = list.getEntriesByName("first-contentful-paint")[0];
                    if (!e) return;
                    // A paint without the texts does not count: the texts' paint is the next one.
                    const texts = site ? performance.getEntriesByName("velorin-texts")[0]?.startTime : 0;
                    resolve(Math.max(e.startTime, texts ?? Infinity));
                }).observe({ type: "paint", buffered: true });
            }),
        site,
    );
    const ready = site
        ? await page.evaluate(
              () =>
                  new Promise<number>((resolve) => {
                      const at = (): boolean => document.body.classList.contains("ready");
                      if (at()) return resolve(performance.now());
                      new MutationObserver((_, o) => {
                          if (at()) {
                              o.disconnect();
                              resolve(performance.now());
                          }
                      }).observe(document.body, { attributes: true });
                  }),
          )
        : 0;
    await context.close();
    return { paint, ready };
}

async function connectedPage(browser: Browser, url: string): Promise<Page> {
    const context = await browser.newContext({ serviceWorkers: "block" });
    await context.addInitScript(() => {
        (window as unknown as { __velorinStandInConfig: unknown }).__velorinStandInConfig = { granted: true };
    });
    await context.addInitScript({ content: STANDIN });
    const page = await context.newPage();
    await page.goto(url);
    await page.waitForSelector(".conn-dot.on");
    // Let the read-back and its mode selects finish.
    await page.waitForFunction(() =>
        (window as unknown as { __velorinStandIn: { sent(): unknown[] } }).__velorinStandIn.sent().length >= 10,
    );
    return page;
}

async function applyOnce(page: Page): Promise<number> {
    const ms = await page.evaluate(
        () =>
            new Promise<number>((resolve) => {
                const t0 = performance.now();
                const seen = new MutationObserver(() => {
                    if (document.querySelector(".message")) {
                        seen.disconnect();
                        resolve(performance.now() - t0);
                    }
                });
                seen.observe(document.body, { subtree: true, childList: true });
                (document.getElementById("btn_Applay") as HTMLButtonElement).click();
            }),
    );
    await page.locator(".message-button").click();
    return ms;
}

// The fourteen reports of an apply, straight through the stand-in: the cost of the stand-in itself.
async function reportsOnce(page: Page): Promise<number> {
    return page.evaluate(async () => {
        const hid = (navigator as unknown as { hid: { getDevices(): Promise<{ sendReport(id: number, d: Uint8Array): Promise<void>; addEventListener(t: string, f: () => void): void; removeEventListener(t: string, f: () => void): void }[]> } }).hid;
        const [device] = await hid.getDevices();
        const report = (bytes: number[]): Uint8Array => {
            const r = new Uint8Array(64);
            r.set(bytes);
            return r;
        };
        const t0 = performance.now();
        for (const id of [1, 2, 4, 3]) await device.sendReport(0, report([0x30, 0xaa, 0x55, id]));
        for (let i = 0; i < 6; ++i) await device.sendReport(0, report([0x32, 0xaa, 0x55, 1, 1]));
        for (const id of [1, 2, 4, 3]) {
            const reply = new Promise<void>((resolve) => {
                const on = (): void => {
                    device.removeEventListener("inputreport", on);
                    resolve();
                };
                device.addEventListener("inputreport", on);
            });
            await device.sendReport(0, report([0x31, 0xaa, 0x55, id]));
            await reply;
        }
        return performance.now() - t0;
    });
}

// The machine's one-minute load average: the figures mean little without it on a shared machine.
function load(): string {
    return loadavg()[0].toFixed(2);
}

async function main(): Promise<void> {
    const loads = [load()];
    const siteFiles = files(SITE);
    const raw = siteFiles.reduce((n, f) => n + statSync(f).size, 0);
    const gz = siteFiles.reduce((n, f) => n + gzipSync(readFileSync(f), { level: 9 }).length, 0);
    for (const f of siteFiles)
        console.log(`  ${f.slice(SITE.length + 1).padEnd(28)} ${statSync(f).size.toString().padStart(7)} B  gzip ${gzipSync(readFileSync(f), { level: 9 }).length} B`);
    row("site size (gzip -9, all files)", `${(gz / 1024).toFixed(1)} KB`, `${(raw / 1024).toFixed(1)} KB raw`, (gz / raw).toFixed(2), "at most 300 KB", gz <= 300 * 1024);

    const baselineDir = join(BUILD, "bench-baseline");
    mkdirSync(baselineDir, { recursive: true });
    writeFileSync(join(baselineDir, "index.html"), "<!doctype html><meta charset=utf-8><title>baseline</title><p>Velorin</p>\n");
    const site = await serve(SITE);
    const baseline = await serve(baselineDir);
    const browser = await launch();
    try {
        await firstPaint(browser, site.url, true); // warm the server's file cache and the browser
        const paints: number[] = [];
        const readies: number[] = [];
        const blanks: number[] = [];
        for (let i = 0; i < RUNS; ++i) {
            const p = await firstPaint(browser, site.url, true);
            paints.push(p.paint);
            readies.push(p.ready);
            blanks.push((await firstPaint(browser, baseline.url, false)).paint);
        }
        loads.push(load());
        const fp = median(paints);
        const fb = median(blanks);
        const rd = median(readies);
        row("first paint with texts", `${fp.toFixed(1)} ms`, `${fb.toFixed(1)} ms (one-line page)`, (fp / fb).toFixed(2), "at most 1.3x", fp <= 1.3 * fb);
        row("every control usable", `${rd.toFixed(1)} ms`, `${fb.toFixed(1)} ms (one-line page)`, (rd / fb).toFixed(2), "at most 2x", rd <= 2 * fb);

        const page = await connectedPage(browser, site.url);
        await applyOnce(page); // warm-up
        await reportsOnce(page);
        const applies: number[] = [];
        const reports: number[] = [];
        for (let i = 0; i < RUNS; ++i) {
            applies.push(await applyOnce(page));
            reports.push(await reportsOnce(page));
        }
        loads.push(load());
        const ap = median(applies);
        const rp = median(reports);
        row("apply against the stand-in", `${ap.toFixed(2)} ms`, `${rp.toFixed(2)} ms (14 reports, no page)`, (ap / rp).toFixed(2), "under 20 ms", ap < 20);
        console.log(`  apply runs: ${applies.map((x) => x.toFixed(2)).join(" ")}`);
        console.log(`  first paint runs: ${paints.map((x) => x.toFixed(1)).join(" ")}`);
        console.log(`  ready runs: ${readies.map((x) => x.toFixed(1)).join(" ")}`);
        console.log(`  one-line page runs: ${blanks.map((x) => x.toFixed(1)).join(" ")}`);
        console.log(`LOAD\t${availableParallelism()} CPUs; load average (1 min) ${loads[0]} at the start, ${loads[1]} after first paint, ${loads[2]} after apply`);
    } finally {
        await browser.close();
        await site.close();
        await baseline.close();
    }
}

main().catch((e: Error) => {
    console.error(`bench: ${e.message}`);
    process.exit(1);
});
