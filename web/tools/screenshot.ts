// Headless screenshots of the served site with the stand-in adapter injected (as the tests do; the
// site never carries it): connected, records read back from default.kvf, a few lamps lit.
//
//   node screenshot.js URL OUT.png                 the PS4 page, the browser's language Chinese
//   node screenshot.js URL OUTDIR --all            every page and the menu, keyboard and messages,
//                                                  a shared link with its clash marks, what Apply
//                                                  will change and the printed sheet, in Chinese,
//                                                  English and Japanese, and a phone in each (the
//                                                  README's)
import { execFileSync } from "node:child_process";
import { readFileSync } from "node:fs";
import { mkdir, unlink } from "node:fs/promises";
import { join } from "node:path";
import type { Browser, Page } from "playwright-core";
import { BUILD, launch } from "../test/harness.js";

const STANDIN = readFileSync(join(BUILD, "standin.js"), "utf8");

async function open(browser: Browser, url: string, lang: string, phone?: { width: number; height: number }): Promise<Page> {
    const context = await browser.newContext({
        locale: lang === "zh" ? "zh-CN" : lang === "ja" ? "ja-JP" : "en-US",
        viewport: phone ?? { width: 824, height: 636 },
        ...(phone ? { hasTouch: true, isMobile: true } : {}),
        serviceWorkers: "block",
    });
    const seed = [...readFileSync(join(BUILD, "site", "default.kvf"))];
    await context.addInitScript((s) => {
        (window as unknown as { __velorinStandInConfig: unknown }).__velorinStandInConfig = { granted: true, seed: s };
    }, seed);
    await context.addInitScript({ content: STANDIN });
    const page = await context.newPage();
    await page.goto(url);
    await page.waitForSelector("body.ready");
    await page.waitForSelector(".conn-dot.on", { timeout: 20_000 });
    await page.waitForFunction(() => document.querySelector("#btn_ps3_key_L2 .box-value")?.textContent !== "");
    return page;
}

async function lamps(page: Page, bytes: number[]): Promise<void> {
    await page.evaluate((b) => (window as unknown as { __velorinStandIn: { pad(b: number[]): void } }).__velorinStandIn.pad(b), bytes);
    await page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
}

// The default with Space on PS4's L1 and R2 too (velorinctl set default.kvf ps4 L1=Space R2=Space,
// then velorinctl link).
const SHARED_FRAGMENT =
    "#m=AQQHFhrhAAAAABkpECseHyAhCCwV4KGgFAoAAgQHFhrhAAAAABkpECseHyAhCCwV4KEsLApFBAQHFhrhAAAAABkpECseHyAhCCwV4KGgFApFAwQHFhrhAAAAABkpECseHyAhCCwV4KGgFAoA";

// A pad with A, L1, R2, the D-pad up and the left stick pushed left held.
const HELD = [0xa1, 0xc4, 0x20, 0x80, 0x80, 0x80, 0, 0, 0x41, 0x02, 0x01, 0, ...new Array(20).fill(0)];

async function shot(page: Page, path: string): Promise<void> {
    await page.mouse.move(0, 0);
    await page.locator("#app").screenshot({ path });
    console.log(path);
}

async function main(): Promise<void> {
    const [url, out, all] = process.argv.slice(2);
    if (!url || !out) throw new Error("usage: screenshot.js URL OUT.png | URL OUTDIR --all");
    const browser = await launch();
    try {
        if (!all) {
            const page = await open(browser, url, "zh");
            await page.getByRole("tab", { name: "PS4" }).click();
            await lamps(page, HELD);
            await shot(page, out);
            return;
        }
        await mkdir(out, { recursive: true });
        for (const lang of ["zh", "en", "ja"]) {
            const page = await open(browser, url, lang);
            for (const word of ["ps3", "ps4", "switch", "xbox"]) {
                await page.locator(`#btn_${word}`).click();
                await lamps(page, HELD);
                await shot(page, join(out, `web-${lang}-${word}.png`));
            }
            await page.locator("#btn_ps3").click();
            await page.locator("#btn_ps3_key_L1").click();
            await page.locator(".menu-item").nth(2).hover();
            await shot(page, join(out, `web-${lang}-menu.png`));
            await page.locator(".menu-item").first().click();
            await page.locator(".keyboard").waitFor();
            await shot(page, join(out, `web-${lang}-keyboard.png`));
            await page.keyboard.press("Escape");
            await page.locator("#btn_ps3_key_R1").click();
            await page.locator(".menu-item").nth(1).click();
            await page.locator("#btn_Applay").hover();
            await shot(page, join(out, `web-${lang}-unapplied.png`));
            await page.locator("#btn_Applay").click();
            await page.locator(".message").waitFor();
            await shot(page, join(out, `web-${lang}-applied.png`));
            await page.context().close();

            // A link to the default with Space also on PS4's L1 and R2: the clash marks, what Apply
            // will change, and the sheet printed to PDF (pdftoppm makes it a picture).
            const shared = await open(browser, url + SHARED_FRAGMENT, lang);
            await shared.locator("#btn_ps4").click();
            await shot(shared, join(out, `web-${lang}-link.png`));
            await shared.locator("#btn_Applay").click({ button: "right" });
            await shared.locator(".menu-item").last().click();
            await shared.locator("#changes-panel").waitFor();
            await shot(shared, join(out, `web-${lang}-changes.png`));
            await shared.keyboard.press("Escape");
            await shared.evaluate(() => void (window.print = () => undefined));
            await shared.keyboard.press("Control+p");
            const pdf = join(out, `web-${lang}-sheet.pdf`);
            await shared.pdf({ path: pdf, format: "A4" });
            execFileSync("pdftoppm", ["-png", "-r", "60", "-singlefile", pdf, join(out, `web-${lang}-sheet`)]);
            await unlink(pdf);
            console.log(join(out, `web-${lang}-sheet.png`));
            await shared.context().close();
        }
        // A phone (390 by 844, touch) in each language: the page, and a box's menu opened by a tap.
        for (const lang of ["zh", "en", "ja"]) {
            const page = await open(browser, url, lang, { width: 390, height: 844 });
            await page.locator("#btn_ps4").tap();
            await lamps(page, HELD);
            await page.screenshot({ path: join(out, `web-${lang}-phone.png`) });
            console.log(join(out, `web-${lang}-phone.png`));
            await page.locator("#btn_ps4_key_R1").tap();
            await page.locator(".menu").waitFor();
            await page.screenshot({ path: join(out, `web-${lang}-phone-menu.png`) });
            console.log(join(out, `web-${lang}-phone-menu.png`));
            await page.context().close();
        }
        // The two messages that matter most on Linux and in other browsers.
        for (const [name, config] of [
            ["no-webhid", { noWebHid: true }],
            ["open-refused", { granted: true, refuseOpen: true }],
        ] as const) {
            const context = await browser.newContext({ locale: "en-US", viewport: { width: 824, height: 800 }, serviceWorkers: "block" });
            await context.addInitScript((c) => {
                (window as unknown as { __velorinStandInConfig: unknown }).__velorinStandInConfig = c;
            }, config);
            await context.addInitScript({ content: STANDIN });
            const page = await context.newPage();
            await page.goto(url);
            await page.waitForSelector(".banner");
            await shot(page, join(out, `web-en-${name}.png`));
            await context.close();
        }
    } finally {
        await browser.close();
    }
}

main().catch((e: Error) => {
    console.error(`screenshot: ${e.message}`);
    process.exit(1);
});
