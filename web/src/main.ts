// Velorin Web: the window's main view in a page. This module shows the view built from the window's
// layouts (view.ts) in place of the copy of it that the page's markup painted first, fits it to
// the screen, takes a lang.xml and a background.png placed beside the page, and switches the
// language; then it loads the rest (app.ts: the core in WebAssembly, the commands, the files, the
// adapter over WebHID, the mapping as a link, the printable sheet) and says so if that fails.
import type { App } from "./app.js";
import data from "./data.js";
import { chooseLanguage, loadDisplayTexts, MAX_LANG_XML, setLanguage, type Lang } from "./i18n.js";
import { Messages } from "./messages.js";
import { fitScale, View } from "./view.js";

// The 800 by 600 window scaled down to the width of a narrow screen (as the page's copy does first).
function fitToViewport(): void {
    const fit = fitScale(document.documentElement.clientWidth, data.main.width);
    document.documentElement.style.setProperty("--fit", fit.toFixed(4));
}

// At most `max` bytes of a response's body, or null for a larger one.
async function bounded(response: Response, max: number): Promise<Uint8Array | null> {
    if (Number(response.headers.get("Content-Length") ?? 0) > max || !response.body) return null;
    const reader = response.body.getReader();
    const parts: Uint8Array[] = [];
    let size = 0;
    for (;;) {
        const { done, value } = await reader.read();
        if (done) break;
        size += value.length;
        if (size > max) {
            await reader.cancel();
            return null;
        }
        parts.push(value);
    }
    const out = new Uint8Array(size);
    let at = 0;
    for (const p of parts) {
        out.set(p, at);
        at += p.length;
    }
    return out;
}

// A lang.xml and a background.png beside the page replace the display texts and the window's
// background, as the same files beside the window's program do. Either is optional; one that is
// missing, too large or unreadable changes nothing.
async function applyOverrides(view: View): Promise<void> {
    const texts = fetch("lang.xml", { cache: "no-cache" })
        .then(async (r) => {
            const bytes = r.ok ? await bounded(r, MAX_LANG_XML) : null;
            if (bytes && loadDisplayTexts(bytes)) view.retext();
        })
        .catch(() => undefined);
    const picture = new Image();
    picture.src = "background.png";
    const background = picture
        .decode()
        .then(() => {
            view.frame.style.backgroundImage = `url("${picture.src}")`;
            view.frame.style.backgroundSize = "100% 100%";
        })
        .catch(() => undefined);
    await Promise.all([texts, background]);
}

// The core's WebAssembly, compiled while it arrives (its preload is this request) and while the
// view is built; app.ts instantiates it. From a server that does not say application/wasm, the
// bytes are fetched again and compiled once they are all in; a broken module fails once.
function compileCore(): Promise<WebAssembly.Module> {
    const url = new URL("./velorin-core.wasm", import.meta.url);
    const bytes = (): Promise<WebAssembly.Module> =>
        fetch(url, { credentials: "same-origin" })
            .then((r) => (r.ok ? r.arrayBuffer() : Promise.reject(new Error(`velorin-core.wasm: HTTP ${r.status}`))))
            .then((b) => WebAssembly.compile(b));
    const compiled = WebAssembly.compileStreaming(fetch(url, { credentials: "same-origin" })).catch((e: unknown) =>
        e instanceof TypeError ? bytes() : Promise.reject(e),
    );
    compiled.catch(() => undefined); // said once the page asks for it
    return compiled;
}

// `run` once the page's first frame (its markup's copy of the view) is on screen, or soon after in a
// tab that draws no frames (one opened in the background).
function afterFirstFrame(run: () => void): void {
    let done = false;
    const once = (): void => {
        if (!done) {
            done = true;
            run();
        }
    };
    requestAnimationFrame(() => setTimeout(once, 0));
    setTimeout(once, 100);
}

function main(): void {
    const core = compileCore();
    const rest = import("./app.js");
    rest.catch(() => undefined); // said below
    afterFirstFrame(() => start(core, rest));
}

function start(core: Promise<WebAssembly.Module>, rest: Promise<typeof import("./app.js")>): void {
    setLanguage(chooseLanguage(location.search, navigator.languages ?? [navigator.language]));
    fitToViewport();
    window.addEventListener("resize", fitToViewport);
    let app: App | null = null;
    const commands = (): App["commands"] | undefined => app?.commands;
    const root = document.getElementById("app")!;
    // The page was painted from its own markup: a copy of this view that the build made
    // (web/tools/prerender.ts). The live view is built in its place in one task, so no frame is
    // painted in between.
    root.querySelector(".stage > .connection")?.remove();
    for (const part of root.querySelectorAll(".window, .banners")) part.replaceChildren();
    const view = new View(root, {
        selectConsole: (id) => commands()?.selectConsole(id),
        copyMenu: (from, tab) => void commands()?.copyMenu(from, tab),
        pick: (box) => void commands()?.pick(box),
        command: (name) => void commands()?.command(name),
        applyMenu: (button) => void commands()?.applyMenu(button),
        connect: () => void commands()?.connect(),
        fileChosen: (input) => void app?.fileChosen(input),
        undo: () => commands()?.undo(),
        redo: () => commands()?.redo(),
        copyLink: () => app?.copyLink(),
        print: () => app?.print(),
        language: (lang: Lang) => {
            setLanguage(lang);
            // The address keeps the choice for a reload or a bookmark.
            const url = new URL(location.href);
            url.searchParams.set("lang", lang);
            history.replaceState(history.state, "", url);
            view.retext();
            messages.retext();
            commands()?.refresh();
        },
    });
    view.build();
    const messages = new Messages(view.layer, view.banner);
    performance.mark("velorin-view");
    void applyOverrides(view);
    rest.then(({ startApp }) => startApp(view, messages, core))
        .then(
            (started) => {
                app = started;
            },
            (e: unknown) => {
                document.body.classList.add("failed");
                messages.coreFailed((e instanceof Error ? e.message : String(e)).slice(0, 200));
            },
        );
}

main();
