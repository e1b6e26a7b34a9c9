// Velorin Web: the window's main view in a page. It puts the parts together: the view built from the
// window's layouts (view.ts), shown with its texts before anything else loads; then the core
// (core.ts, the editing session and the adapter's protocol in WebAssembly), the commands
// (commands.ts), the files (files.ts), what the page tells the user (messages.ts) and the adapter
// over WebHID (adapter.ts). It also fits the window to the screen, takes a lang.xml and a
// background.png placed beside the page, switches the language, and offers a newer version.
import { Adapter, webHidAvailability } from "./adapter.js";
import { Commands } from "./commands.js";
import { type Core, loadCore } from "./core.js";
import data from "./data.js";
import { Files } from "./files.js";
import { chooseLanguage, loadDisplayTexts, MAX_LANG_XML, setLanguage, t, type Lang } from "./i18n.js";
import { Messages } from "./messages.js";
import { View } from "./view.js";

class App {
    readonly commands: Commands;
    private readonly files: Files;
    updateRequested = false; // the user chose to reload into a newer version

    constructor(
        private readonly view: View,
        readonly messages: Messages,
        private readonly core: Core,
    ) {
        this.files = new Files(core, messages, view.fileInput, () => this.commands.refresh());
        this.commands = new Commands(core, view, messages, this.files);
    }

    // The view tied to the core, then the adapter: the pages show the records, the adapter can be used.
    start(): void {
        const { view, commands, messages, core } = this;
        view.bind(core);
        document.addEventListener("keydown", (e) => commands.onKey(e));
        window.addEventListener("beforeunload", (e) => {
            if (core.unsaved()) {
                e.preventDefault();
                e.returnValue = "";
            }
        });
        const adapter = new Adapter(core, {
            onState: () => {
                if (!adapter.connected) {
                    core.joyClear();
                    view.drawLamps();
                }
                commands.showMarks();
            },
            onReadBack: (consoles, complete, kept, misnamed) => commands.readBackDone(consoles, complete, kept, misnamed),
            onPadState: () => {
                commands.followPad();
                view.scheduleLamps();
            },
            onFailure: (f) => void messages.failure(f),
        });
        commands.adapter = adapter;
        document.body.classList.add("ready");
        commands.refresh();
        const unavailable = webHidAvailability();
        if (unavailable) {
            messages.noWebHid(unavailable);
            view.connectButton.disabled = true;
        }
        void adapter.start();
    }

    fileChosen(input: HTMLInputElement): Promise<void> {
        return this.files.loadChosen(input);
    }

    // A newer version of the site is installed and waits: offer to use it. The reload asks the worker
    // waiting at the time of the click, which is the newest one if another arrived meanwhile.
    updateReady(waiting: () => ServiceWorker | null): void {
        this.messages.offer(
            "update",
            () => t("新版本已准备好。"),
            () => t("重新加载"),
            () => {
                const worker = waiting();
                if (!worker) return;
                this.updateRequested = true;
                worker.postMessage("skip-waiting");
            },
        );
    }
}

function registerServiceWorker(app: App): void {
    if (!("serviceWorker" in navigator)) return;
    // Only a newer version the user asked for reloads the page (the first worker's claim does not).
    navigator.serviceWorker.addEventListener("controllerchange", () => {
        if (app.updateRequested) location.reload();
    });
    navigator.serviceWorker
        .register("sw.js")
        .then((reg) => {
            // A page with no worker yet gets its first one: nothing to offer.
            const offer = (): void => {
                if (reg.waiting && navigator.serviceWorker.controller) app.updateReady(() => reg.waiting);
            };
            // A newer worker may have been found before this page registered (the browser checks on its
            // own after a navigation): follow the one installing now as well as any found later.
            const follow = (w: ServiceWorker | null): void => {
                w?.addEventListener("statechange", () => {
                    if (w.state === "installed") offer();
                });
            };
            follow(reg.installing);
            reg.addEventListener("updatefound", () => follow(reg.installing));
            offer();
        })
        .catch(() => undefined); // a page without a service worker still works online
}

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
    const commands = (): Commands | undefined => app?.commands;
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
    loadCore().then(
        (core) => {
            app = new App(view, messages, core);
            app.start();
            registerServiceWorker(app);
        },
        (e: unknown) => {
            document.body.classList.add("failed");
            messages.coreFailed(e instanceof Error ? e.message.slice(0, 200) : String(e).slice(0, 200));
        },
    );
}

main();
