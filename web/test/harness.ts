// What every browser test shares: Debian's Chromium through playwright-core, the built site served
// on localhost, and pages opened with the stand-in adapter installed before the page's own code runs.
import { after, before } from "node:test";
import { chromium, type Browser, type BrowserContext, type Page } from "playwright-core";
import { readFileSync } from "node:fs";
import { dirname, join, resolve } from "node:path";
import { fileURLToPath } from "node:url";
import { serve, type Served } from "../tools/serve.js";

// build/web/node/test -> build/web
export const BUILD = resolve(dirname(fileURLToPath(import.meta.url)), "..", "..");
export const ROOT = resolve(BUILD, "..", "..");
export const SITE = join(BUILD, "site");
const STANDIN = join(BUILD, "standin.js");
export const CHROMIUM = "/usr/bin/chromium";

// The browser opens nothing beyond localhost: no background networking, no component updates.
export async function launch(extra: string[] = []): Promise<Browser> {
    const args = ["--disable-background-networking", "--disable-component-update", ...extra];
    if (process.getuid?.() === 0) args.push("--no-sandbox");
    return chromium.launch({ executablePath: CHROMIUM, args, timeout: 60_000 });
}

export interface StandInConfig {
    present?: boolean;
    granted?: boolean;
    refuseOpen?: boolean;
    noWebHid?: boolean;
    blocked?: boolean;
    seed?: number[];
    productName?: string;
    featureReport?: boolean;
}

export interface OpenOptions {
    locale?: string; // the browser's language (default zh-CN)
    query?: string; // appended to the URL, e.g. "?lang=ja"
    standIn?: StandInConfig | false; // false: the browser's own navigator.hid
    serviceWorkers?: boolean;
    // The browser's HTTP cache in use, as for a user. Routing requests turns it off, so a request
    // elsewhere is then noted and fails the session's close instead of being stopped.
    httpCache?: boolean;
    // The browser's own file pickers (showOpenFilePicker, showSaveFilePicker), whose dialogs a
    // headless browser cannot show: by default the page finds none and uses the file input and a
    // download, as in a browser without them; a test that wants them puts stand-ins in place.
    pickers?: boolean;
    // A phone: its viewport in CSS pixels, a touch screen, a mobile browser, two device pixels per
    // CSS pixel.
    phone?: { width: number; height: number; userAgent?: string };
    viewport?: { width: number; height: number };
}

export interface Session {
    context: BrowserContext;
    page: Page;
    close(): Promise<void>;
}

export async function openPage(browser: Browser, site: Served, options: OpenOptions = {}): Promise<Session> {
    const phone = options.phone;
    const context = await browser.newContext({
        locale: options.locale ?? "zh-CN",
        serviceWorkers: options.serviceWorkers ? "allow" : "block",
        acceptDownloads: true,
        viewport: phone ? { width: phone.width, height: phone.height } : (options.viewport ?? { width: 840, height: 760 }),
        ...(phone ? { hasTouch: true, isMobile: true, deviceScaleFactor: 2 } : {}),
        ...(phone?.userAgent ? { userAgent: phone.userAgent } : {}),
    });
    // Every wait and action waits for an event; its limit (thirty times what a step takes on a loaded
    // machine) only ends a hung run.
    context.setDefaultTimeout(30_000);
    // Nothing but the site: a request elsewhere fails the test.
    const local = /^http:\/\/localhost:\d+\//;
    const elsewhere: string[] = [];
    if (options.httpCache) {
        context.on("request", (r) => {
            if (!local.test(r.url())) elsewhere.push(r.url());
        });
    } else {
        await context.route((url) => !local.test(url.href), (route) => route.abort());
    }
    if (!options.pickers)
        await context.addInitScript(() => {
            for (const name of ["showOpenFilePicker", "showSaveFilePicker"]) {
                delete (window as unknown as Record<string, unknown>)[name];
                delete (Window.prototype as unknown as Record<string, unknown>)[name];
            }
        });
    if (options.standIn !== false) {
        await context.addInitScript((config) => {
            (window as unknown as { __velorinStandInConfig: unknown }).__velorinStandInConfig = config;
        }, options.standIn ?? {});
        await context.addInitScript({ content: readFileSync(STANDIN, "utf8") });
    }
    const page = await context.newPage();
    const errors: string[] = [];
    page.on("pageerror", (e) => errors.push(e.message));
    await page.goto(site.url + (options.query ?? ""));
    await page.waitForSelector("body.ready");
    if (errors.length) throw new Error(`page errors: ${errors.join("; ")}`);
    const close = async (): Promise<void> => {
        await context.close();
        if (elsewhere.length) throw new Error(`requests beyond the site: ${elsewhere.join(", ")}`);
    };
    return { context, page, close };
}

export function startSite(): Promise<Served> {
    return serve(SITE);
}

// The stand-in's handle in the page.
export const standIn = {
    records: (page: Page): Promise<number[]> =>
        page.evaluate(() => (window as unknown as { __velorinStandIn: { records(): Promise<number[]> } }).__velorinStandIn.records()),
    sent: (page: Page): Promise<number[][]> =>
        page.evaluate(() => (window as unknown as { __velorinStandIn: { sent(): number[][] } }).__velorinStandIn.sent()),
    clearSent: (page: Page): Promise<void> =>
        page.evaluate(() => (window as unknown as { __velorinStandIn: { clearSent(): void } }).__velorinStandIn.clearSent()),
    fault: (page: Page, consoleId: number, f: { refuse?: boolean; drop?: boolean; delayMs?: number }): Promise<void> =>
        page.evaluate(
            ([id, fault]) =>
                (window as unknown as { __velorinStandIn: { fault(i: number, f: object): Promise<void> } }).__velorinStandIn.fault(id, fault),
            [consoleId, f] as const,
        ),
    ignoreWrites: (page: Page, on: boolean): Promise<void> =>
        page.evaluate((o) => (window as unknown as { __velorinStandIn: { ignoreWrites(o: boolean): Promise<void> } }).__velorinStandIn.ignoreWrites(o), on),
    ignoreInterruptOut: (page: Page): Promise<void> =>
        page.evaluate(() => (window as unknown as { __velorinStandIn: { ignoreInterruptOut(): Promise<void> } }).__velorinStandIn.ignoreInterruptOut()),
    padBeforeReply: (page: Page, bytes: number[] | null): Promise<void> =>
        page.evaluate((b) => (window as unknown as { __velorinStandIn: { padBeforeReply(b: number[] | null): void } }).__velorinStandIn.padBeforeReply(b), bytes),
    pad: (page: Page, bytes: number[]): Promise<void> =>
        page.evaluate((b) => (window as unknown as { __velorinStandIn: { pad(b: number[]): void } }).__velorinStandIn.pad(b), bytes),
    unplug: (page: Page): Promise<void> =>
        page.evaluate(() => (window as unknown as { __velorinStandIn: { unplug(): void } }).__velorinStandIn.unplug()),
    plug: (page: Page): Promise<void> =>
        page.evaluate(() => (window as unknown as { __velorinStandIn: { plug(): void } }).__velorinStandIn.plug()),
    unplugAfterReports: (page: Page, n: number): Promise<void> =>
        page.evaluate((count) => (window as unknown as { __velorinStandIn: { unplugAfterReports(n: number): void } }).__velorinStandIn.unplugAfterReports(count), n),
};

// The value shown by a box, named as a screen reader names it ("XBOX A"), on any page.
export function boxId(spoken: string): string {
    const [console, button] = spoken.split(" ");
    return `#btn_${console.toLowerCase()}_key_${button} .box-value`;
}

// Hex of bytes, for readable failures.
export function hex(bytes: ArrayLike<number>): string {
    return Array.from(bytes, (b) => b.toString(16).padStart(2, "0")).join(" ");
}

// The bytes of a described report: the command, AA 55, its arguments, zeros to 64 bytes.
export function frame(command: number, args: number[]): number[] {
    const bytes = new Array<number>(64).fill(0);
    bytes.splice(0, 3 + args.length, command, 0xaa, 0x55, ...args);
    return bytes;
}

// Waits for `check` to hold, polling; only a hung run reaches the limit.
export async function until<T>(check: () => Promise<T | undefined | null | false>, what: string, limitMs = 20_000): Promise<T> {
    const end = Date.now() + limitMs;
    for (;;) {
        const v = await check();
        if (v) return v;
        if (Date.now() > end) throw new Error(`gave up waiting for ${what}`);
        await new Promise((r) => setTimeout(r, 20));
    }
}

// The browser and the served site that every test of a describe block shares: launched before
// its first test, closed after its last.
export function sharedBrowser(): { readonly browser: Browser; readonly site: Served } {
    let browser: Browser | undefined;
    let site: Served | undefined;
    before(async () => {
        browser = await launch();
        site = await startSite();
    });
    after(async () => {
        await browser?.close();
        await site?.close();
    });
    return {
        get browser(): Browser {
            if (!browser) throw new Error("the browser is launched only when the tests start");
            return browser;
        },
        get site(): Served {
            if (!site) throw new Error("the site is served only when the tests start");
            return site;
        },
    };
}
