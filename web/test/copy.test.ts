// The copy of the view that the build writes into index.html (web/tools/prerender.ts) is what the
// user sees until main.js has built the live view: it must show the same thing. Each case loads the
// page once with main.js held back (only the copy, painted by the page's markup and its inline
// script) and once normally (the live view, bound to the core), and compares what is shown: every
// visible control's id, its role and accessible name as Playwright's accessibility snapshot gives
// them, and its box on screen to within two pixels, on the page shown and in the toolbar.
//
// Only what is shown is compared. Before bind() the live view fills the page shown and leaves the
// other pages empty (they are filled when shown, so the first paint waits for one page only); the
// copy is taken at that moment, so its hidden pages have no boxes while the bound view's have.
// Hidden pages are never painted, and a page the user opens is the live view's by then.
// A box's accessible name ("PS3 A") comes from the core, which the copy never has: the copy's boxes
// must be unnamed rather than named wrongly.
import { describe, test } from "node:test";
import assert from "node:assert/strict";
import type { Page } from "playwright-core";
import { openPage, sharedBrowser, type OpenOptions } from "./harness.js";

interface Control {
    key: string; // the id, or the classes of an element without one
    box: boolean; // a box of a page
    rect: [number, number, number, number];
    aria: string; // "role \"name\"" from the accessibility snapshot
}

const CONTROLS = "#app :is(button, select, input, h1, [role=tab], [role=tablist], [role=tabpanel], [role=toolbar])";

async function shown(page: Page): Promise<Control[]> {
    const found = await page.evaluate((selector) => {
        const out: { key: string; box: boolean; rect: [number, number, number, number] }[] = [];
        document.querySelectorAll<HTMLElement>(selector).forEach((e, i) => {
            const r = e.getBoundingClientRect();
            if (!e.checkVisibility({ visibilityProperty: true }) || r.width === 0 || r.height === 0) return;
            e.dataset.compared = String(i);
            const key = e.id || `${e.tagName.toLowerCase()}.${[...e.classList].join(".")}`;
            out.push({ key, box: e.classList.contains("box"), rect: [r.x, r.y, r.width, r.height] });
        });
        return out;
    }, CONTROLS);
    const controls: Control[] = [];
    for (const f of found) {
        const e = page.locator(`[data-compared]`).nth(controls.length);
        // The element's own line of its snapshot: its role and name, not its children.
        const aria = (await e.ariaSnapshot()).split("\n")[0].replace(/^- /, "").replace(/:$/, "");
        controls.push({ ...f, aria });
    }
    // By key: bind() puts a page's boxes in the keyboard's order, which is not the order of their places.
    return controls.sort((a, b) => (a.key < b.key ? -1 : a.key > b.key ? 1 : 0));
}

async function firstPaint(options: OpenOptions & { lang: string }): Promise<Control[]> {
    const phone = options.phone;
    const context = await shared.browser.newContext({
        locale: "zh-CN",
        serviceWorkers: "block",
        viewport: phone ? { width: phone.width, height: phone.height } : { width: 840, height: 760 },
        ...(phone ? { hasTouch: true, isMobile: true, deviceScaleFactor: 2 } : {}),
    });
    // main.js never arrives: what is shown is the page's markup and its inline script.
    await context.route(/\/main\.js$/, () => new Promise<void>(() => undefined));
    const page = await context.newPage();
    await page.goto(`${shared.site.url}?lang=${options.lang}`, { waitUntil: "commit" });
    await page.waitForFunction(() => performance.getEntriesByName("velorin-texts").length > 0);
    const controls = await shown(page);
    await context.close();
    return controls;
}

async function live(options: OpenOptions & { lang: string }): Promise<Control[]> {
    const session = await openPage(shared.browser, shared.site, { ...options, query: `?lang=${options.lang}` });
    // After the frames in which the view places its caption strip.
    await session.page.evaluate(() => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r))));
    const controls = await shown(session.page);
    await session.close();
    return controls;
}

const shared = sharedBrowser();

describe("the view's copy in the page", () => {
    const cases: (OpenOptions & { lang: string; name: string })[] = [
        { name: "zh", lang: "zh" },
        { name: "en", lang: "en" },
        { name: "ja", lang: "ja" },
        { name: "ja on a phone", lang: "ja", phone: { width: 390, height: 844 } },
    ];
    for (const c of cases) {
        test(`shows what the live view shows (${c.name})`, async () => {
            const copy = await firstPaint(c);
            const view = await live(c);
            assert.deepEqual(
                copy.map((x) => x.key),
                view.map((x) => x.key),
                "the same controls are shown",
            );
            assert.ok(view.filter((x) => x.box).length > 20, "the page shown has its boxes");
            for (const [i, x] of copy.entries()) {
                const y = view[i];
                if (x.box) assert.match(x.aria, /^button$/, `${x.key}: the copy's box has no name`);
                else assert.equal(x.aria, y.aria, `${x.key}: role and name`);
                const off = x.rect.map((v, k) => Math.abs(v - y.rect[k]));
                assert.ok(Math.max(...off) <= 2, `${x.key}: at ${x.rect.join(",")} in the copy, ${y.rect.join(",")} live`);
            }
        });
    }
});
