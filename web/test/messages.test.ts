// What the page says when it cannot reach the adapter: a browser without WebHID, a policy that
// blocks it, and an open() refused (Linux permissions), with the udev rule the site serves itself.
// Also that the site never carries the stand-in.
import { describe, test } from "node:test";
import assert from "node:assert/strict";
import { readdirSync, readFileSync } from "node:fs";
import { join } from "node:path";
import { launch, openPage, ROOT, sharedBrowser, SITE, standIn, until } from "./harness.js";

describe("messages", () => {
    const shared = sharedBrowser();

    const cases = [
        { what: "no navigator.hid", config: { noWebHid: true }, locale: "en-US", text: /no WebHID.*Chrome, Edge or Opera.*files still works/ },
        { what: "no navigator.hid, Chinese", config: { noWebHid: true }, locale: "zh-CN", text: /不支持 WebHID.*Chrome、Edge 或 Opera.*文件功能仍然可以使用/ },
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

    test("the site carries neither the stand-in nor the firmware", () => {
        const files = readdirSync(SITE, { recursive: true }) as string[];
        for (const f of files) {
            assert.doesNotMatch(f, /standin|firmware/i);
            if (/\.(js|html)$/.test(f)) assert.doesNotMatch(readFileSync(join(SITE, f), "utf8"), /__velorinStandIn|VelorinFirmware/);
        }
    });
});
