// The page once its core has loaded: the core (core.ts, the editing session and the adapter's
// protocol in WebAssembly), the commands (commands.ts), the files (files.ts), the adapter over
// WebHID (adapter.ts), the mapping as a link (link.ts) and the printable sheet (print.ts), tied to
// the view that main.ts showed first; and the offer of a newer version.
import { Adapter, webHidAvailability } from "./adapter.js";
import { Commands } from "./commands.js";
import { type Core, loadCore } from "./core.js";
import { Files } from "./files.js";
import { t } from "./i18n.js";
import { Links } from "./link.js";
import type { Messages } from "./messages.js";
import { Printer } from "./print.js";
import type { View } from "./view.js";

export class App {
    readonly commands: Commands;
    private readonly files: Files;
    private readonly links: Links;
    private readonly printer: Printer;
    updateRequested = false; // the user chose to reload into a newer version

    constructor(
        private readonly view: View,
        readonly messages: Messages,
        private readonly core: Core,
    ) {
        this.files = new Files(core, messages, view.fileInput, () => this.commands.refresh());
        this.commands = new Commands(core, view, messages, this.files);
        this.links = new Links(core, messages, () => this.commands.refresh());
        this.printer = new Printer(core);
        this.commands.printSheet = () => this.print();
    }

    // The toolbar's commands: the records as a link, the printable sheet (also Ctrl+P).
    copyLink(): void {
        if (!this.messages.modal) void this.links.copy();
    }
    print(): void {
        if (!this.messages.modal) this.printer.print();
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
                } else {
                    messages.dropBanner("open-refused"); // it opened after all
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
        view.warmLamps();
        commands.refresh();
        const unavailable = webHidAvailability();
        if (unavailable) {
            messages.noWebHid(unavailable);
            view.connectButton.disabled = true;
        }
        void adapter.start();
        // A link's mapping, now and whenever the address's fragment changes (a link pasted into the
        // address bar of this page does not reload it).
        void this.links.open();
        window.addEventListener("hashchange", () => void this.links.open());
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

export function registerServiceWorker(app: App): void {
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

// Loads the core (its WebAssembly compiled by main.ts) and starts the page on it; the service
// worker once it runs.
export async function startApp(view: View, messages: Messages, compiled: Promise<WebAssembly.Module>): Promise<App> {
    const app = new App(view, messages, await loadCore(compiled));
    app.start();
    registerServiceWorker(app);
    return app;
}
