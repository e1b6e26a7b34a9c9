// What the page says when it cannot reach the adapter: a browser without WebHID, a policy that
// blocks it, and an open() refused (Linux permissions), with the udev rule the site serves itself;
// apply with no adapter, a default that cannot be fetched, a file with odd contents and a reply
// that names no console, each in the page's language and saying what to do. Also that the site
// never carries the stand-in.
import { describe, test } from "node:test";
import assert from "node:assert/strict";
import { readdirSync, readFileSync } from "node:fs";
import { join } from "node:path";
import type { Page } from "playwright-core";
import { boxId, launch, openPage, ROOT, sharedBrowser, SITE, standIn, until } from "./harness.js";

describe("messages", () => {
    const shared = sharedBrowser();

    const cases = [
        { what: "no navigator.hid", config: { noWebHid: true }, locale: "en-US", text: /no WebHID.*Chrome, Edge or Opera.*files still works/ },
        // Chinese sentences follow one another without a space.
        { what: "no navigator.hid, Chinese", config: { noWebHid: true }, locale: "zh-CN", text: /不支持 WebHID.*Chrome、Edge 或 Opera。文件功能仍然可以使用/ },
        { what: "a blocking policy", config: { blocked: true }, locale: "en-US", text: /policy.*blocks WebHID/ },
    ];
    for (const c of cases) {
        test(`${c.what}: the message names what works, files keep working`, async () => {
            const s = await openPage(shared.browser, shared.site, { standIn: c.config, locale: c.locale });
            const { page } = s;
            if (c.config.blocked) await page.locator(".connect").click();
            const alert = page.locator(".banner.no-webhid");
            await alert.waitFor();
            assert.match((await alert.textContent()) ?? "", c.text);
            assert.equal(await page.locator(".connect").isDisabled(), true);
            // A file still loads.
            const chooser = page.waitForEvent("filechooser");
            await page.locator("#btn_loadcfg").click();
            await (await chooser).setFiles({ name: "a.kvf", mimeType: "application/octet-stream", buffer: Buffer.alloc(108, 0x04) });
            const l2 = page.locator("#btn_ps3_key_L2 .box-value");
            await until(async () => (await l2.textContent()) === "A", "the loaded file shown");
            await s.close();
        });
    }

    test("a page that is not a secure context: the message says where WebHID works", async () => {
        // velorin.test is this machine, but not "localhost": a plain http page there is insecure.
        const insecure = await launch(["--host-resolver-rules=MAP velorin.test 127.0.0.1"]);
        try {
            const context = await insecure.newContext({ locale: "en-US", serviceWorkers: "block" });
            await context.route(/^(?!http:\/\/velorin\.test:\d+\/)/, (route) => route.abort());
            const page = await context.newPage();
            await page.goto(shared.site.url.replace("localhost", "velorin.test"));
            await page.waitForSelector("body.ready");
            assert.equal(await page.evaluate(() => isSecureContext), false);
            const text = (await page.locator(".banner.no-webhid").textContent()) ?? "";
            assert.match(text, /secure page \(HTTPS or http:\/\/localhost\)/);
            assert.equal(await page.locator(".connect").isDisabled(), true);
        } finally {
            await insecure.close();
        }
    });

    test("a refused open: the cause, the udev rule served by the site, the two commands, the Snap caveat", async () => {
        const s = await openPage(shared.browser, shared.site, { standIn: { granted: true, refuseOpen: true } });
        const { page } = s;
        const banner = page.locator(".banner.open-refused");
        await banner.waitFor();
        const text = (await banner.textContent()) ?? "";
        assert.match(text, /无法打开适配器/);
        assert.match(text, /hidraw/);
        assert.match(text, /sudo install -m 0644 70-velorin\.rules \/etc\/udev\/rules\.d\//);
        assert.match(text, /sudo udevadm control --reload-rules && sudo udevadm trigger/);
        assert.match(text, /Snap 或 Flatpak/);
        const href = await banner.getByRole("link", { name: "70-velorin.rules" }).getAttribute("href");
        const served = await page.evaluate((h) => fetch(h!).then((r) => r.text()), href);
        assert.equal(served, readFileSync(join(ROOT, "packaging", "70-velorin.rules"), "utf8"));
        assert.equal(await page.locator(".conn-dot.on").count(), 0);
        // The rule installed and the adapter plugged in again: it opens, and the banner goes.
        await page.evaluate(() => (window as unknown as { __velorinStandIn: { refuseOpen(on: boolean): void } }).__velorinStandIn.refuseOpen(false));
        await standIn.unplug(page);
        await standIn.plug(page);
        await until(async () => (await page.locator(".conn-dot.on").count()) === 1, "the connection");
        assert.equal(await banner.count(), 0);
        await s.close();
    });

    test("a device that is not quite the adapter (a feature report) is refused with the reason", async () => {
        const s = await openPage(shared.browser, shared.site, { standIn: { featureReport: true }, locale: "en-US" });
        const { page } = s;
        await page.getByRole("button", { name: "Connect adapter" }).click();
        const box = page.getByRole("alertdialog");
        await box.waitFor();
        assert.match((await box.textContent()) ?? "", /not the adapter.*feature 8/);
        await box.getByRole("button", { name: "OK" }).click();
        assert.equal(await page.locator(".conn-dot.on").count(), 0);
        assert.equal(await page.evaluate(() => (window as unknown as { __velorinStandIn: { opened(): boolean } }).__velorinStandIn.opened()), false);
        await s.close();
    });

    // Each case ends in one message box: its text and whether it carries the error icon.
    const boxes = [
        {
            what: "apply with no adapter connected says to connect it first",
            locale: "en-US",
            run: (page: Page) => page.getByRole("button", { name: "Apply", exact: true }).click(),
            text: /^No adapter is connected\. Press Connect adapter and choose the adapter in the browser's list first, then apply\.$/,
        },
        {
            what: "apply with no adapter, in Chinese",
            locale: "zh-CN",
            run: (page: Page) => page.getByRole("button", { name: "应用", exact: true }).click(),
            text: /^没有连接适配器。请先按「连接适配器」/,
        },
        {
            what: "a default that cannot be fetched is said",
            locale: "ja-JP",
            run: async (page: Page) => {
                await page.route(/default\.kvf$/, (r) => r.abort());
                await page.locator("#btn_default").click();
                await page.getByRole("alertdialog").getByRole("button", { name: "はい" }).click();
            },
            text: /^既定の割り当てを読み取れませんでした（.+）。ネットワーク接続を確認/,
        },
    ];
    for (const b of boxes) {
        test(`${b.what}; an error box with the error icon`, async () => {
            const s = await openPage(shared.browser, shared.site, { locale: b.locale });
            const { page } = s;
            await b.run(page);
            const box = page.locator(".message.error");
            await box.waitFor();
            assert.match((await box.locator(".message-text").textContent()) ?? "", b.text);
            assert.equal(await box.locator(".message-icon.error").isVisible(), true);
            await s.close();
        });
    }

    test("a file with odd console ids and a code naming no key loads as the window loads it, and the page says what is odd", async () => {
        const s = await openPage(shared.browser, shared.site, { locale: "en-US" });
        const { page } = s;
        const bytes = Buffer.alloc(120, 0x04); // longer than a block: the first 108 bytes count
        [1, 2, 4, 3].forEach((id, i) => (bytes[27 * i] = id));
        bytes[27] = 0x07; // PS4's record names console 7
        bytes[22] = 0xff; // PS3 L2: a reserved code, no key
        const chooser = page.waitForEvent("filechooser");
        await page.locator("#btn_loadcfg").click();
        await (await chooser).setFiles({ name: "odd.kvf", mimeType: "application/octet-stream", buffer: bytes });
        const banner = page.locator(".banner.file-odd");
        await banner.waitFor();
        const text = (await banner.textContent()) ?? "";
        assert.match(text, /odd\.kvf was loaded/);
        assert.match(text, /PS4 record names console 0x07 instead of 2/);
        assert.match(text, /PS3 L2 \(0xFF\)/);
        assert.doesNotMatch(text, /XBOX|SWITCH/);
        assert.equal(await page.locator(boxId("PS3 L2")).textContent(), "0xFF");
        assert.equal(await page.locator(boxId("PS3 L1")).textContent(), "A");
        await s.close();
    });

    test("a read-back reply that names no console is named, not shown as records", async () => {
        const seed = new Array<number>(108).fill(0x04);
        [1, 2, 4, 3].forEach((id, i) => (seed[27 * i] = id));
        seed[27] = 0x00; // the adapter's PS4 record answers with console byte 0
        const s = await openPage(shared.browser, shared.site, { standIn: { granted: true, seed } });
        const { page } = s;
        const banner = page.locator(".banner.misnamed");
        await banner.waitFor();
        assert.match((await banner.textContent()) ?? "", /对 PS4 的读取请求的回答标明了别的主机/);
        await until(async () => (await standIn.sent(page)).length >= 10, "the read-back");
        assert.equal(await page.locator(boxId("PS3 L2")).textContent(), "A");
        assert.equal(await page.locator(boxId("PS4 L2")).textContent(), "", "PS4 keeps what it showed");
        assert.equal(await page.locator(boxId("XBOX L2")).textContent(), "A", "the read-back went on");
        assert.match((await page.locator("#btn_Applay").getAttribute("title")) ?? "", /PS4/);
        await s.close();
    });

    test("the site carries neither the stand-in nor the firmware", () => {
        const files = readdirSync(SITE, { recursive: true }) as string[];
        for (const f of files) {
            assert.doesNotMatch(f, /standin|firmware/i);
            if (/\.(js|html)$/.test(f)) assert.doesNotMatch(readFileSync(join(SITE, f), "utf8"), /__velorinStandIn|VelorinFirmware/);
        }
    });
});
