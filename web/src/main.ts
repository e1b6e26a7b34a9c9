// Velorin Web: the window's main view in a page. This module shows the view built from the window's
// layouts (view.ts) with its texts at the first paint (the page waits for nothing else: its
// module graph is only the view's), fits it to the screen, takes a lang.xml and a background.png
// placed beside the page, and switches the language; then it loads the rest (app.ts: the core in
// WebAssembly, the commands, the files, the adapter over WebHID, the mapping as a link, the
// printable sheet) and says so if that fails.
import type { App } from "./app.js";
import data from "./data.js";
import { chooseLanguage, loadDisplayTexts, MAX_LANG_XML, setLanguage, type Lang } from "./i18n.js";
import { Messages } from "./messages.js";
import { View } from "./view.js";

// The 800 by 600 window scaled down to the width of a narrow screen (a phone, a large zoom), never up.
function fitToViewport(): void {
    const width = document.documentElement.clientWidth;
    const margin = width < data.main.width + 24 ? 16 : 0;
    const fit = Math.max(0.2, Math.min(1, (width - margin) / data.main.width));
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

function main(): void {
    setLanguage(chooseLanguage(location.search, navigator.languages ?? [navigator.language]));
    fitToViewport();
    window.addEventListener("resize", fitToViewport);
    let app: App | null = null;
    const commands = (): App["commands"] | undefined => app?.commands;
    const root = document.getElementById("app")!;
    // The view first, with its texts: this module blocks the first paint until it has run.
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
    performance.mark("velorin-texts");
    void applyOverrides(view);
    // The rest of the page, all of its modules fetched at once now that the first paint has what
    // it needs (the page lists only the view's, so that they alone compete for the first paint).
    for (const module of ["app.js", "adapter.js", "commands.js", "core.js", "files.js", "changes.js", "link.js", "print.js", "velorin-core.js"]) {
        const link = document.createElement("link");
        link.rel = "modulepreload";
        link.href = module;
        document.head.append(link);
    }
    import("./app.js")
        .then(({ startApp }) => startApp(view, messages))
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
