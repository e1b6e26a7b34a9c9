// Writes the page's view into the built site's index.html, so that the first paint has the frame,
// the tabs, the boxes, the toolbar and their texts before any script file has arrived:
//
//   node prerender.js SITE_DIR
//
// Opens the built site in headless Chromium once per language, lets main.js build the view (the
// rest of the page, app.js, is held back) and keeps what it built: one <template> per language,
// the positions its elements carry (style attributes, which the page's policy refuses in markup)
// as rules of one style sheet, and one inline script that picks the language as main.js does
// (i18n.js's own chooseLanguage), puts that language's copy in the page and fits it to the screen
// (view.js's own fitScale), so that a phone's first paint is already scaled. main.js later builds the
// live view in its place. The policy allows that sheet and that script by their hashes. The view's
// code is the only description of the view: nothing here knows its layout.
import { readFileSync, writeFileSync } from "node:fs";
import { createHash } from "node:crypto";
import { join } from "node:path";
import { launch } from "../test/harness.js";
import { serve } from "./serve.js";

const LANGUAGES = ["zh", "en", "ja"] as const;

interface Copy {
    markup: string;
    styles: string[];
    title: string;
    htmlLang: string;
}

function fail(message: string): never {
    console.error(`prerender: ${message}`);
    process.exit(1);
}

function hash(text: string): string {
    return `'sha256-${createHash("sha256").update(text, "utf8").digest("base64")}'`;
}

async function main(): Promise<void> {
    const siteDir = process.argv[2];
    if (!siteDir) fail("usage: prerender.js SITE_DIR");
    const indexPath = join(siteDir, "index.html");
    const template = readFileSync(indexPath, "utf8");
    const site = await serve(siteDir);
    const browser = await launch();
    const copies = new Map<string, Copy>();
    let choose = "";
    let fit = "";
    let design = 0;
    let styleCount = 0;
    try {
        for (const lang of LANGUAGES) {
            const context = await browser.newContext({ serviceWorkers: "block" });
            // The rest of the page never arrives: the view stays as main.js built it.
            await context.route(/\/app\.js$/, () => new Promise<void>(() => undefined));
            const page = await context.newPage();
            await page.goto(`${site.url}?lang=${lang}`);
            await page.waitForFunction(() => performance.getEntriesByName("velorin-view").length > 0, undefined, { timeout: 60_000 });
            const copy = await page.evaluate(
                (first) =>
                    new Promise<Copy>((resolve) =>
                        // After the frames in which the view places its caption strip.
                        requestAnimationFrame(() =>
                            requestAnimationFrame(() => {
                                // A menu's choice is a property, not markup: write it as markup.
                                for (const o of document.querySelectorAll<HTMLOptionElement>("#app option"))
                                    o.toggleAttribute("selected", o.selected);
                                const app = document.getElementById("app")!.cloneNode(true) as HTMLElement;
                                const styles: string[] = [];
                                for (const e of app.querySelectorAll<HTMLElement>("[style]")) {
                                    const rules: string[] = [];
                                    for (let i = 0; i < e.style.length; ++i) {
                                        const name = e.style[i];
                                        rules.push(`${name}:${e.style.getPropertyValue(name)} !important`);
                                    }
                                    e.removeAttribute("style");
                                    e.dataset.s = String(first + styles.length);
                                    styles.push(rules.join(";"));
                                }
                                resolve({ markup: app.innerHTML, styles, title: document.title, htmlLang: document.documentElement.lang });
                            }),
                        ),
                    ),
                styleCount,
            );
            styleCount += copy.styles.length;
            if (/:\/\/|<script/i.test(copy.markup)) fail(`the ${lang} view holds an absolute address or a script`);
            copies.set(lang, copy);
            if (!choose)
                [choose, fit, design] = await page.evaluate(async () => {
                    // The page's own modules, by their addresses (strings, not modules this script compiles against).
                    const [i18n, view, data] = ["./i18n.js", "./view.js", "./data.js"];
                    const { chooseLanguage } = (await import(i18n)) as { chooseLanguage: unknown };
                    const { fitScale } = (await import(view)) as { fitScale: unknown };
                    const width = ((await import(data)) as { default: { main: { width: number } } }).default.main.width;
                    return [String(chooseLanguage), String(fitScale), width] as const;
                });
            await context.close();
        }
    } finally {
        await browser.close();
        await site.close();
    }
    if (!/^function chooseLanguage\(/.test(choose)) fail("i18n.js has no chooseLanguage function");
    if (!/^function fitScale\(/.test(fit) || !(design > 0)) fail("view.js has no fitScale function or data.js no window width");

    const sheet = "\n" + [...copies.values()].flatMap((c) => c.styles).map((s, i) => `[data-s="${i}"]{${s}}`).join("\n") + "\n";
    const meta = Object.fromEntries([...copies].map(([lang, c]) => [lang, { title: c.title, lang: c.htmlLang }]));
    const script =
        `\n(function () {\n${choose}\n` +
        `var meta = ${JSON.stringify(meta)};\n` +
        `var lang = chooseLanguage(location.search, navigator.languages || [navigator.language]);\n` +
        `var copy = document.getElementById("view-" + lang);\n` +
        `var app = document.getElementById("app");\n` +
        // Fitted to the screen from the first paint, as main.js fits the live view. The width is
        // read and the fit set while the page is still empty: read after the copy is in, it laid
        // the whole view out once, and the fit then had it styled and laid out again.
        `${fit}\n` +
        `var fit = fitScale(document.documentElement.clientWidth, ${design});\n` +
        `document.documentElement.style.setProperty("--fit", fit.toFixed(4));\n` +
        `app.replaceChildren(copy.content.cloneNode(true));\n` +
        // A scaled window has the toolbar and the connection state in a row above it.
        `if (fit < 1) app.querySelector(".connection").classList.add("above");\n` +
        `document.documentElement.lang = meta[lang].lang;\n` +
        `document.title = meta[lang].title;\n` +
        `performance.mark("velorin-texts");\n})();\n`;
    const templates = [...copies].map(([lang, c]) => `<template id="view-${lang}">${c.markup}</template>`).join("\n");

    const policy = /(script-src 'self' 'wasm-unsafe-eval')(; style-src 'self' '[^']+')/;
    const main = '<main id="app">';
    if (!policy.test(template) || !template.includes(main) || !template.includes("</main>\n"))
        fail(`${indexPath}: no policy with script-src and style-src hashes, or no <main id="app">`);
    const page = template
        .replace(policy, `$1 ${hash(script)}$2 ${hash(sheet)}`)
        .replace("</head>", `<style>${sheet}</style>\n</head>`)
        .replace(main, `${templates}\n${main}`)
        .replace("</main>\n", `</main>\n<script>${script}</script>\n`);
    writeFileSync(indexPath, page, "utf8");
}

main().catch((e: Error) => fail(e.message));
