// Velorin Web: the window's main view in a page. It puts the parts together: the core (core.ts, the
// editing session and the adapter's protocol in WebAssembly), the view built from the window's
// layouts (view.ts), the commands (commands.ts), the files (files.ts), what the page tells the user
// (messages.ts) and the adapter over WebHID (adapter.ts), the mapping as a link (link.ts) and the
// printable sheet (print.ts); and it offers a newer version of the site.
import { Adapter, webHidAvailability } from "./adapter.js";
import { Commands } from "./commands.js";
import { type Core, loadCore } from "./core.js";
import { Files } from "./files.js";
import { Links } from "./link.js";
import { Printer } from "./print.js";
import { chooseLanguage, language, setLanguage, t } from "./i18n.js";
import { Messages } from "./messages.js";
import { View } from "./view.js";
import { el } from "./widgets.js";

// The toolbar's pictures: strokes on a 24-unit square.
const LINK_ICON = ["M10.5 13.5a4 4 0 0 0 5.7 0l3.3-3.3a4 4 0 0 0-5.7-5.7l-1.4 1.4", "M13.5 10.5a4 4 0 0 0-5.7 0l-3.3 3.3a4 4 0 0 0 5.7 5.7l1.4-1.4"];
const PRINT_ICON = ["M7 9V3.5h10V9", "M7 17H4.5a1.5 1.5 0 0 1-1.5-1.5v-5A1.5 1.5 0 0 1 4.5 9h15a1.5 1.5 0 0 1 1.5 1.5v5a1.5 1.5 0 0 1-1.5 1.5H17", "M7 13.5h10v7H7z"];

function svgIcon(paths: string[]): SVGSVGElement {
    const ns = "http://www.w3.org/2000/svg";
    const svg = document.createElementNS(ns, "svg");
    svg.setAttribute("viewBox", "0 0 24 24");
    svg.setAttribute("aria-hidden", "true");
    for (const d of paths) {
        const path = document.createElementNS(ns, "path");
        path.setAttribute("d", d);
        svg.append(path);
    }
    return svg;
}

class App {
    readonly view: View;
    readonly messages: Messages;
    readonly commands: Commands;
    private readonly files: Files;
    private readonly links: Links;
    updateRequested = false; // the user chose to reload into a newer version

    constructor(
        root: HTMLElement,
        private readonly core: Core,
    ) {
        const c = (): Commands => this.commands;
        this.view = new View(root, core, {
            selectConsole: (id) => c().selectConsole(id),
            copyMenu: (from, tab) => void c().copyMenu(from, tab),
            pick: (box) => void c().pick(box),
            command: (name) => void c().command(name),
            applyMenu: (button) => void c().applyMenu(button),
            connect: () => void c().connect(),
            fileChosen: (input) => void this.files.loadChosen(input),
        });
        this.messages = new Messages(this.view.frame, this.view.banner);
        this.files = new Files(core, this.messages, () => this.commands.refresh());
        this.commands = new Commands(core, this.view, this.messages, this.files);
        this.links = new Links(core, this.messages, () => this.commands.refresh());
    }

    // The page's own commands in the toolbar: copy the records as a link, print the sheet (also
    // Ctrl+P).
    private buildToolbar(): void {
        const printer = new Printer(this.core);
        this.commands.printSheet = () => printer.print();
        const tools: [string, string, string[], () => void][] = [
            ["tool_copylink", t("复制链接"), LINK_ICON, () => void this.links.copy()],
            ["tool_print", t("打印按键映射表"), PRINT_ICON, () => printer.print()],
        ];
        // Pictures with their names as tooltips and for screen readers: the caption strip has no
        // room for words beside the title and the connection state in every language.
        for (const [id, text, icon, run] of tools) {
            const b = el("button", "tool");
            b.type = "button";
            b.id = id;
            b.title = text;
            b.setAttribute("aria-label", text);
            b.append(svgIcon(icon));
            b.addEventListener("click", () => {
                if (!this.messages.modal) run();
            });
            this.view.addTool(b);
        }
    }

    // The view, then the adapter: the pages show the records, the adapter can be used.
    start(): void {
        const { view, commands, messages, core } = this;
        view.build();
        this.buildToolbar();
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
            onReadBack: (consoles, complete, kept) => commands.readBackDone(consoles, complete, kept),
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
        // A link's mapping, now and whenever the address's fragment changes (a link pasted into the
        // address bar of this page does not reload it).
        void this.links.open();
        window.addEventListener("hashchange", () => void this.links.open());
    }

    // A newer version of the site is installed and waits: offer to use it. The reload asks the worker
    // waiting at the time of the click, which is the newest one if another arrived meanwhile.
    updateReady(waiting: () => ServiceWorker | null): void {
        const b = this.messages.showBanner("update", t("新版本已准备好。"));
        const reload = el("button", "banner-action", t("重新加载"));
        reload.type = "button";
        reload.addEventListener("click", () => {
            const worker = waiting();
            if (!worker) return;
            this.updateRequested = true;
            worker.postMessage("skip-waiting");
        });
        b.append(reload);
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

async function main(): Promise<void> {
    const lang = chooseLanguage(location.search, navigator.languages ?? [navigator.language]);
    setLanguage(lang);
    document.documentElement.lang = lang === "zh" ? "zh-CN" : language();
    // The window's frame is painted already (it is in the page); the controls follow the core.
    const root = document.getElementById("app")!;
    const app = new App(root, await loadCore());
    app.start();
    registerServiceWorker(app);
}

void main();
