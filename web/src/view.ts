// The page's view: the window's main view built from its layouts (data.js): the title, the
// toolbar and the connection state, the console tabs, the four pages with their boxes and lamps,
// the command buttons and the apply button's mark. It is built before the core has loaded, so
// the page shows its texts and controls at once; bind() then ties the tabs and boxes to the core's
// consoles and buttons. It shows what the core says (the codes in the boxes, the lamps, the marks)
// and passes the user's clicks on to the commands; it decides nothing itself.
import data from "./data.js";
import type { Button } from "./data.js";
import type { ButtonInfo, Core } from "./core.js";
import { displayText, displayTextsLoaded, htmlLang, language, LANGUAGES, t, tr, type DisplayKey, type Lang } from "./i18n.js";
import { el } from "./widgets.js";

const MOUSE_TEXTS: DisplayKey[] = ["Lclick", "Rclick", "Mclick"];
// The command buttons whose captions a lang.xml replaces.
const COMMAND_TEXTS: Record<string, DisplayKey> = { btn_loadcfg: "loadcfg", btn_savecfg: "savecfg", btn_default: "default", btn_Applay: "applay" };
// Each language's name in itself, for the language menu.
const LANGUAGE_NAMES: Record<Lang, string> = { zh: "中文", en: "English", ja: "日本語" };
// How long a touch must rest on a tab or the apply button to open its menu, as a right click does.
const LONG_PRESS_MS = 500;

export interface BoxView {
    consoleId: number;
    button: ButtonInfo;
    element: HTMLButtonElement;
    value: HTMLSpanElement;
    lamp: HTMLElement | null;
}

// What the view's controls ask of the commands.
export interface ViewActions {
    selectConsole(id: number): void;
    copyMenu(from: number, tab: HTMLElement): void;
    pick(box: BoxView): void;
    command(name: string): void;
    applyMenu(button: HTMLElement): void;
    connect(): void;
    fileChosen(input: HTMLInputElement): void;
    undo(): void;
    redo(): void;
    language(lang: Lang): void;
    copyLink(): void;
    print(): void;
}

// The toolbar's pictures: strokes on a 24-unit square.
const LINK_ICON = [
    "M10.5 13.5a4 4 0 0 0 5.7 0l3.3-3.3a4 4 0 0 0-5.7-5.7l-1.4 1.4",
    "M13.5 10.5a4 4 0 0 0-5.7 0l-3.3 3.3a4 4 0 0 0 5.7 5.7l1.4-1.4",
];
const PRINT_ICON = [
    "M7 9V3.5h10V9",
    "M7 17H4.5a1.5 1.5 0 0 1-1.5-1.5v-5A1.5 1.5 0 0 1 4.5 9h15a1.5 1.5 0 0 1 1.5 1.5v5a1.5 1.5 0 0 1-1.5 1.5H17",
    "M7 13.5h10v7H7z",
];

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

// A picture of the skin table as a CSS background: `state` 0 normal, 1 hover, 2 pushed.
function skinStyle(e: HTMLElement, skinName: string): void {
    const skin = data.skins[skinName];
    e.style.width = `${skin.w}px`;
    e.style.height = `${skin.h}px`;
    e.style.backgroundImage = `url(art/${skin.art}.svg)`;
    e.style.backgroundSize = `${skin.w * skin.states}px ${skin.h}px`;
    e.style.setProperty("--state-w", `${skin.w}px`);
}

function at(e: HTMLElement, x: number, y: number): void {
    e.style.left = `${x}px`;
    e.style.top = `${y}px`;
}

// A right click, the context-menu key, or a touch resting on `e` opens its menu. The click that
// ends a long press is not a click.
function onMenuGesture(e: HTMLElement, open: () => void): void {
    let timer = 0;
    let start = { x: 0, y: 0 };
    let pressed = false;
    const cancel = (): void => {
        clearTimeout(timer);
        timer = 0;
    };
    e.addEventListener("contextmenu", (ev) => {
        ev.preventDefault();
        if (timer) {
            cancel();
            pressed = true;
        }
        open();
    });
    e.addEventListener("pointerdown", (ev) => {
        pressed = false;
        if (ev.pointerType === "mouse") return;
        start = { x: ev.clientX, y: ev.clientY };
        cancel();
        timer = window.setTimeout(() => {
            timer = 0;
            pressed = true;
            open();
        }, LONG_PRESS_MS);
    });
    e.addEventListener("pointermove", (ev) => {
        if (timer && Math.hypot(ev.clientX - start.x, ev.clientY - start.y) > 10) cancel();
    });
    for (const type of ["pointerup", "pointercancel", "pointerleave"]) e.addEventListener(type, cancel);
    e.addEventListener(
        "click",
        (ev) => {
            if (!pressed) return;
            pressed = false;
            ev.preventDefault();
            ev.stopImmediatePropagation();
        },
        true,
    );
}

// A code as the page names it in a list: the key's name, a mouse button's text, "(none)" for no
// key, and the number itself for a code that names no key.
export function codeText(core: Core, code: number): string {
    const mouse = core.mouseButton(code);
    if (mouse) return displayText(MOUSE_TEXTS[mouse - 1]);
    if (code === 0) return tr("CMainDlg", "（无）");
    return core.keyName(code) || `0x${code.toString(16).toUpperCase().padStart(2, "0")}`;
}

// "PS3、SWITCH": consoles listed the way the language lists them.
export function consoleList(core: Core, ids: number[]): string {
    return ids.map((id) => core.console(id).name).join(tr("CMainDlg", "、"));
}

// The word of a console tab of the layout ("btn_ps3": "ps3"): the key of its page in data.js.
function wordOfTab(name: string): string {
    return name.replace(/^btn_/, "");
}

// How far a window `design` pixels wide is scaled down to fit a screen `width` pixels wide: to the
// width less a margin on a narrow screen (a phone, a large zoom), never up. Self-contained: the
// page's copy of the view (web/tools/prerender.ts) runs this function's own text before any
// script file has arrived.
export function fitScale(width: number, design: number): number {
    const margin = width < design + 24 ? 16 : 0;
    return Math.max(0.2, Math.min(1, (width - margin) / design));
}

export class View {
    current = 1; // the selected console, as the window opens on PS3
    readonly frame: HTMLElement;
    readonly banner: HTMLElement;
    // Over the page, never scaled: menus, the keyboard and message boxes stay inside the viewport.
    readonly layer: HTMLElement;
    // One toolbar in the caption strip: the language, undo and redo, copy link and print.
    readonly toolbar: HTMLElement;
    readonly boxes: BoxView[] = [];
    readonly tabs = new Map<number, HTMLButtonElement>();
    private readonly panels = new Map<number, HTMLElement>();
    private readonly commands = new Map<string, HTMLButtonElement>();
    // Before bind(): the tabs, pages and boxes by the layout's words and names.
    private readonly tabOfWord = new Map<string, HTMLButtonElement>();
    private readonly pageOfWord = new Map<string, HTMLElement>();
    private currentWord = "";
    private core: Core | null = null;
    private titleElement!: HTMLElement;
    private mark!: HTMLElement;
    private stateText!: HTMLElement;
    private stateNote!: HTMLElement;
    private stateDot!: HTMLElement;
    private languageMenu!: HTMLSelectElement;
    private languageLabel!: HTMLLabelElement;
    private undoButton!: HTMLButtonElement;
    private redoButton!: HTMLButtonElement;
    private connection: { productName: string | null; kept: number[] } = { productName: null, kept: [] };
    private caption!: HTMLElement;
    connectButton!: HTMLButtonElement;
    fileInput!: HTMLInputElement;
    private readonly toolTexts: (() => void)[] = [];
    private lampFrame = 0;

    constructor(
        root: HTMLElement,
        private readonly actions: ViewActions,
    ) {
        // The frame is in the page already (layout.css paints it before any script runs).
        this.frame = root.querySelector<HTMLElement>(".window") ?? root.appendChild(el("div", "window"));
        this.banner = root.querySelector<HTMLElement>(".banners") ?? root.insertBefore(el("div", "banners"), this.frame);
        this.layer = document.querySelector<HTMLElement>(".layer") ?? document.body.appendChild(el("div", "layer"));
        this.toolbar = el("div", "toolbar");
        this.toolbar.id = "toolbar";
        this.toolbar.setAttribute("role", "toolbar");
    }

    // How far the window is scaled down to fit the screen (1: not at all).
    get scale(): number {
        return parseFloat(getComputedStyle(document.documentElement).getPropertyValue("--fit")) || 1;
    }

    get title(): string {
        return displayTextsLoaded() ? displayText("title") : tr("dlg_main", data.main.title.text);
    }

    // The whole view from the layouts, texts in the page's language; the tabs and boxes are tied
    // to the core by bind().
    build(): void {
        const m = data.main;
        this.titleElement = el("h1", "title");
        at(this.titleElement, m.title.x, m.title.y);

        // The toolbar, the connection state and the connect button, in the caption strip where the
        // window has its caption buttons (above the frame on a narrow screen).
        const conn = (this.caption = el("div", "connection"));
        const state = el("div", "conn-state");
        state.setAttribute("role", "status");
        this.stateDot = el("span", "conn-dot");
        this.stateText = el("span", "conn-text");
        this.stateNote = el("span", "conn-note");
        state.append(this.stateDot, this.stateText, this.stateNote);
        this.connectButton = el("button", "connect");
        this.connectButton.type = "button";
        this.connectButton.addEventListener("click", () => this.actions.connect());
        this.buildToolbar();
        const line = el("div", "conn-line");
        line.append(state, this.connectButton);
        conn.append(this.toolbar, line);

        const tablist = el("div", "tablist");
        tablist.setAttribute("role", "tablist");
        for (const b of m.tabs) tablist.append(this.makeTab(b));

        const pages = el("div", "pages");
        at(pages, m.pages.x, m.pages.y);
        pages.style.width = `${m.pages.w}px`;
        pages.style.height = `${m.pages.h}px`;
        for (const b of m.tabs) pages.append(this.makePage(wordOfTab(b.name)));

        const commands = el("div", "commands");
        for (const b of m.commands) commands.append(this.makeCommand(b));

        this.fileInput = el("input");
        this.fileInput.type = "file";
        this.fileInput.accept = ".kvf";
        this.fileInput.hidden = true;
        this.fileInput.addEventListener("change", () => this.actions.fileChosen(this.fileInput));

        this.frame.append(this.titleElement, tablist, pages, commands, this.fileInput);
        this.frame.parentElement!.insertBefore(conn, this.frame);
        this.showPage(wordOfTab(m.tabs[0].name));
        this.retext();
        // The caption strip is placed again when its contents change (a command added, a state).
        new ResizeObserver(() => requestAnimationFrame(() => this.placeCaption())).observe(conn);
        window.addEventListener("resize", () => this.placeCaption());
    }

    // The toolbar and the connection state sit in the caption strip, right of the title, while the
    // window is not scaled and they fit there; otherwise in a row of their own above the window.
    placeCaption(): void {
        const conn = this.caption;
        const scaled = this.scale < 1;
        conn.classList.remove("above");
        if (!scaled) {
            const c = conn.getBoundingClientRect();
            const title = this.titleElement.getBoundingClientRect();
            const tabs = [...this.tabOfWord.values()][0].getBoundingClientRect();
            if (c.left >= title.right + 8 && c.bottom <= tabs.top - 2) return;
        }
        conn.classList.add("above");
    }

    private buildToolbar(): void {
        this.languageLabel = el("label", "tool-label");
        this.languageMenu = el("select", "tool language");
        this.languageMenu.id = "language";
        this.languageLabel.htmlFor = this.languageMenu.id;
        for (const lang of LANGUAGES) {
            const option = el("option", "", LANGUAGE_NAMES[lang]);
            option.value = lang;
            option.lang = htmlLang(lang);
            this.languageMenu.append(option);
        }
        this.languageMenu.addEventListener("change", () => this.actions.language(this.languageMenu.value as Lang));
        this.toolbar.append(this.languageLabel, this.languageMenu);
        // Undo and redo as arrows; copy link and print as pictures: the caption strip has no room
        // for words beside the title and the connection state in every language. Their names are
        // their tooltips and what a screen reader says.
        this.undoButton = this.addTool("undo", "↶", () => t("撤销"), () => this.actions.undo(), "Ctrl+Z");
        this.redoButton = this.addTool("redo", "↷", () => t("重做"), () => this.actions.redo(), "Ctrl+Shift+Z, Ctrl+Y");
        this.undoButton.disabled = this.redoButton.disabled = true;
        this.addTool("copylink", svgIcon(LINK_ICON), () => t("复制链接"), () => this.actions.copyLink());
        this.addTool("print", svgIcon(PRINT_ICON), () => t("打印按键映射表"), () => this.actions.print(), "Ctrl+P");
        this.toolbar.addEventListener("keydown", (e) => this.toolbarKey(e));
        this.toolbar.addEventListener("focusin", (e) => this.rove(e.target as HTMLElement));
        this.rove();
    }

    // A command of the toolbar: a button `tool_<name>` at its end showing `face` (a sign or a
    // picture), named by `label` for screen readers and in its tooltip (with its shortcut `keys`);
    // the name is asked for again whenever the language changes. Returns the button.
    private addTool(name: string, face: string | SVGElement, label: () => string, run: () => void, keys = ""): HTMLButtonElement {
        const b = el("button", "tool icon");
        b.type = "button";
        b.id = `tool_${name}`;
        b.tabIndex = -1;
        b.append(face);
        b.addEventListener("click", run);
        this.toolbar.append(b);
        const texts = (): void => {
            b.setAttribute("aria-label", label());
            b.title = keys ? `${label()} (${keys})` : label();
        };
        this.toolTexts.push(texts);
        texts();
        return b;
    }

    // The toolbar is one stop of Tab: the control that had the focus last (at first the language
    // menu), or the first one usable when that is disabled now. Left, Right, Home and End move among
    // its controls; Up and Down are left to the language menu.
    private toolbarControls(): HTMLElement[] {
        return [...this.toolbar.querySelectorAll<HTMLButtonElement | HTMLSelectElement>("button, select")].filter(
            (c) => !c.disabled && !c.hidden,
        );
    }

    private rove(to?: HTMLElement): void {
        const controls = this.toolbarControls();
        const stop = to ?? controls.find((c) => c.tabIndex === 0) ?? controls[0];
        for (const c of this.toolbar.querySelectorAll<HTMLElement>("button, select")) c.tabIndex = c === stop ? 0 : -1;
    }

    private toolbarKey(e: KeyboardEvent): void {
        const tools = this.toolbarControls();
        const at = tools.indexOf(document.activeElement as HTMLElement);
        if (at < 0 || e.altKey || e.ctrlKey || e.metaKey) return;
        const to =
            e.key === "ArrowRight" ? (at + 1) % tools.length
            : e.key === "ArrowLeft" ? (at + tools.length - 1) % tools.length
            : e.key === "Home" ? 0
            : e.key === "End" ? tools.length - 1
            : -1;
        if (to < 0) return;
        this.rove(tools[to]);
        tools[to].focus();
        e.preventDefault();
    }

    private makeTab(b: Button): HTMLButtonElement {
        const word = wordOfTab(b.name);
        const tab = el("button", "tab skinned", tr("dlg_main", b.text));
        tab.type = "button";
        tab.id = b.name;
        tab.setAttribute("role", "tab");
        tab.setAttribute("aria-controls", `page_${word}`);
        skinStyle(tab, b.skin);
        at(tab, b.x, b.y);
        // Before the core is there, a tab shows its page and nothing else.
        const id = (): number | undefined => [...this.tabs].find(([, x]) => x === tab)?.[0];
        tab.addEventListener("click", () => {
            const c = id();
            if (c !== undefined) this.actions.selectConsole(c);
            else this.showPage(word);
        });
        onMenuGesture(tab, () => {
            const c = id();
            if (c !== undefined) this.actions.copyMenu(c, tab);
        });
        tab.addEventListener("keydown", (e) => {
            if (e.key !== "ArrowLeft" && e.key !== "ArrowRight") return;
            const order = [...this.tabOfWord.values()];
            const i = order.indexOf(tab);
            const target = order[(i + (e.key === "ArrowRight" ? 1 : order.length - 1)) % order.length];
            order.forEach((x) => (x.tabIndex = x === target ? 0 : -1));
            target.focus();
            e.preventDefault();
        });
        this.tabOfWord.set(word, tab);
        return tab;
    }

    private makePage(word: string): HTMLElement {
        const panel = el("div", "page");
        panel.id = `page_${word}`;
        panel.setAttribute("role", "tabpanel");
        panel.setAttribute("aria-labelledby", `btn_${word}`);
        this.pageOfWord.set(word, panel);
        return panel;
    }

    // A page's picture, lamps and boxes: the page shown at once, the others when first shown or
    // when the view is bound, so that the first paint waits for one page only.
    private fillPage(word: string): void {
        const page = data.pages[word];
        const panel = this.pageOfWord.get(word)!;
        if (panel.dataset.filled) return;
        panel.dataset.filled = "1";
        panel.style.backgroundImage = `url(art/${page.art}.svg)`;
        for (const [name, p] of Object.entries(page.lamps)) {
            const lamp = el("img", "lamp");
            // Hidden lamps load nothing: 63 requests for one picture held up the first paint by a
            // fifth. The picture is warmed once the page is ready (warmLamps), so a lamp lit later
            // shows at once.
            lamp.loading = "lazy";
            lamp.src = `art/${data.skins.skin_status_png.art}.svg`;
            lamp.alt = "";
            lamp.dataset.button = name;
            lamp.hidden = true;
            at(lamp, p.x, p.y);
            panel.append(lamp);
        }
        // Every box of the layout, empty until the core says what it holds.
        for (const [name, p] of Object.entries(page.boxes)) {
            const button = el("button", "box skinned");
            button.type = "button";
            button.id = `btn_${word}_key_${name}`;
            button.dataset.button = name;
            button.setAttribute("aria-haspopup", "menu");
            skinStyle(button, "skin_custombox_png");
            at(button, p.x, p.y);
            const value = el("span", "box-value");
            value.id = `${button.id}_value`;
            button.setAttribute("aria-describedby", value.id);
            button.append(value);
            panel.append(button);
        }
    }

    private makeCommand(b: Button): HTMLButtonElement {
        const button = el("button", "command skinned");
        button.type = "button";
        button.id = b.name;
        skinStyle(button, b.skin);
        at(button, b.x, b.y);
        button.addEventListener("click", () => this.actions.command(b.name));
        if (b.name === "btn_Applay") {
            this.mark = el("span", "unapplied");
            this.mark.hidden = true;
            this.mark.setAttribute("aria-hidden", "true");
            onMenuGesture(button, () => this.actions.applyMenu(button));
        }
        this.commands.set(b.name, button);
        return button;
    }

    // Ties the view to the core: each tab to its console, each box to its button (named as a screen
    // reader says it), the boxes of a page in the window's keyboard order (the core's rule).
    bind(core: Core): void {
        this.core = core;
        const skin = data.skins.skin_custombox_png;
        for (const [word, tab] of this.tabOfWord) {
            this.fillPage(word);
            const c = core.consoles.find((x) => x.tabButton === tab.id);
            if (!c || c.word !== word) throw new Error(`the layout's tab ${tab.id} is no console of the core`);
            this.tabs.set(c.id, tab);
            const panel = this.pageOfWord.get(word)!;
            this.panels.set(c.id, panel);
            const boxes = new Map([...panel.querySelectorAll<HTMLButtonElement>(".box")].map((b) => [b.dataset.button!, b]));
            const buttons = c.buttons.filter((b) => boxes.has(b.name));
            const places = buttons.map((b) => {
                const p = data.pages[word].boxes[b.name];
                return { button: b.id, x: p.x, y: p.y, w: skin.w, h: skin.h };
            });
            for (const id of core.focusOrder(places, data.main.pages.w)) {
                const info = buttons.find((b) => b.id === id)!;
                const element = boxes.get(info.name)!;
                boxes.delete(info.name);
                const lamp = panel.querySelector<HTMLElement>(`.lamp[data-button="${info.name}"]`);
                const view: BoxView = { consoleId: c.id, button: info, element, value: element.querySelector(".box-value")!, lamp };
                element.addEventListener("click", () => this.actions.pick(view));
                this.boxes.push(view);
                panel.append(element); // the keyboard's order is the page's order
            }
            for (const stray of boxes.values()) stray.remove(); // a box of no button of the core
            if (word === this.currentWord) this.current = c.id;
        }
        this.retext();
        this.selectView(this.current);
    }

    // Every text in the page's language (and a lang.xml's display texts): after build, bind and a
    // change of the language.
    retext(): void {
        document.documentElement.lang = htmlLang(language());
        document.title = this.title || tr("dlg_main", data.main.title.text);
        this.titleElement.textContent = this.title;
        this.frame.querySelector(".tablist")?.setAttribute("aria-label", document.title);
        for (const b of data.main.commands) {
            const button = this.commands.get(b.name)!;
            const key = COMMAND_TEXTS[b.name];
            button.textContent = key && displayTextsLoaded() ? displayText(key) : tr("dlg_main", b.text);
            if (b.name === "btn_Applay") button.append(this.mark);
        }
        for (const b of data.main.tabs) this.tabOfWord.get(wordOfTab(b.name))!.textContent = tr("dlg_main", b.text);
        if (this.core)
            for (const v of this.boxes)
                v.element.setAttribute("aria-label", `${this.core.console(v.consoleId).name} ${tr("pad", v.button.spoken)}`);
        this.connectButton.textContent = t("连接适配器");
        this.languageLabel.textContent = t("语言");
        this.languageMenu.value = language();
        this.toolbar.setAttribute("aria-label", t("工具"));
        for (const texts of this.toolTexts) texts();
        this.showConnection(this.connection.productName, this.connection.kept);
        if (this.core) this.showAll();
        // Measured before the next paint, not now: the first paint need not wait for a layout.
        requestAnimationFrame(() => this.placeCaption());
    }

    command(name: string): HTMLButtonElement | undefined {
        return this.commands.get(name);
    }

    boxFor(consoleId: number, buttonId: number): BoxView | undefined {
        return this.boxes.find((b) => b.consoleId === consoleId && b.button.id === buttonId);
    }

    // Every box shows its code's name (ShowWorkMode of the four handlers), and a mark where another
    // box of its console has the same key.
    showAll(): void {
        for (const view of this.boxes) view.value.textContent = this.codeName(this.core!.code(view.consoleId, view.button.id));
        this.showClashes();
    }

    // A key given to two or more buttons of a console marks each of their boxes; the tooltip and
    // the spoken description name the other buttons. Nothing is blocked: it may be meant.
    private showClashes(): void {
        const core = this.core!;
        const clashes = core.clashes();
        for (const view of this.boxes) {
            const others = clashes.get(view.consoleId)?.get(view.button.id) ?? [];
            const box = view.element;
            box.classList.toggle("clash", others.length > 0);
            // The description is the key, then the clash: a hidden text the box refers to.
            let note = box.querySelector<HTMLElement>(".box-clash");
            if (others.length === 0) {
                box.removeAttribute("title");
                note?.remove();
                box.setAttribute("aria-describedby", view.value.id);
                continue;
            }
            const c = core.console(view.consoleId);
            const names = others.map((id) => c.buttons.find((b) => b.id === id)).map((info) => (info ? tr("pad", info.spoken) : ""));
            const text = tr("CMainDlg", "同一按键也分配给了 %1").replace("%1", names.join(tr("CMainDlg", "、")));
            if (!note) {
                note = el("span", "box-clash");
                note.id = `${box.id}_clash`;
                note.hidden = true;
                box.append(note);
            }
            note.textContent = text;
            box.title = text;
            box.setAttribute("aria-describedby", `${view.value.id} ${note.id}`);
        }
    }

    private codeName(code: number): string {
        const mouse = this.core!.mouseButton(code);
        return mouse ? displayText(MOUSE_TEXTS[mouse - 1]) : this.core!.keyName(code);
    }

    // Undo and redo as the editing session allows them.
    showHistory(canUndo: boolean, canRedo: boolean): void {
        this.undoButton.disabled = !canUndo;
        this.redoButton.disabled = !canRedo;
        this.rove(); // the toolbar's stop may have been a button disabled now
    }

    private showPage(word: string): void {
        this.fillPage(word);
        this.currentWord = word;
        for (const [w, tab] of this.tabOfWord) {
            const selected = w === word;
            tab.setAttribute("aria-selected", String(selected));
            tab.classList.toggle("checked", selected);
            tab.tabIndex = selected ? 0 : -1;
        }
        for (const [w, panel] of this.pageOfWord) panel.hidden = w !== word;
    }

    selectView(id: number): void {
        this.current = id;
        this.showPage(this.core!.console(id).word);
    }

    // Whether the keyboard's focus is on the page shown.
    focusInPage(): boolean {
        return !!this.panels.get(this.current)?.contains(document.activeElement);
    }

    scheduleLamps(): void {
        if (this.lampFrame) return;
        this.lampFrame = requestAnimationFrame(() => {
            this.lampFrame = 0;
            this.drawLamps();
        });
    }

    // The lamps' picture decoded once, after the first paint, so the first lamp lit needs no fetch.
    warmLamps(): void {
        const img = new Image();
        img.src = `art/${data.skins.skin_status_png.art}.svg`;
        void img.decode().catch(() => undefined);
    }

    // ShowKeystatus of the selected console: a lamp over every button held.
    drawLamps(): void {
        if (!this.core) return;
        const on = this.core.lamps(this.current);
        for (const view of this.boxes) {
            if (view.consoleId !== this.current || !view.lamp) continue;
            const lit = on.has(view.button.id);
            if (view.lamp.hidden !== !lit) {
                view.lamp.hidden = !lit;
                // A box whose pad button is held reads as pressed, as in the window.
                if (lit) view.element.setAttribute("aria-pressed", "true");
                else view.element.removeAttribute("aria-pressed");
            }
        }
    }

    // The apply button's mark: changes not applied (naming the consoles), the adapter holding other
    // records for some of them, records on the adapter nobody has read.
    showMark(changed: number[], differing: number[], unread: number[], changes: string[] = []): void {
        const apply = this.commands.get("btn_Applay");
        if (!apply || !this.mark || !this.core) return;
        const lines: string[] = [];
        if (changed.length) lines.push(tr("CMainDlg", "更改尚未应用：%1").replace("%1", consoleList(this.core, changed)));
        if (differing.length)
            lines.push(
                tr("CMainDlg", "适配器中的 %1 记录与此不同；右键单击「应用」可改用适配器中的记录").replace(
                    "%1",
                    consoleList(this.core, differing),
                ),
            );
        if (unread.length) lines.push(t("未能读取适配器中的记录：%1。应用会覆盖它们。", consoleList(this.core, unread)));
        // What apply will change, while there are changes to apply.
        if (changed.length || unread.length) lines.push(...changes);
        this.mark.hidden = changed.length === 0 && unread.length === 0;
        this.mark.classList.toggle("incomplete", changed.length === 0 && unread.length > 0);
        if (lines.length) {
            apply.title = lines.join("\n");
            apply.setAttribute("aria-description", lines.join(" "));
        } else {
            apply.removeAttribute("title");
            apply.removeAttribute("aria-description");
        }
    }

    // The connection state in the caption strip, with the consoles whose changes the last
    // read-back kept over other records on the adapter. A long product name is cut (the tooltip
    // has it whole).
    showConnection(productName: string | null, kept: number[]): void {
        this.connection = { productName, kept };
        const connected = productName !== null;
        this.stateDot.classList.toggle("on", connected);
        this.stateText.textContent = connected ? t("已连接：%1", productName || "Velorin") : t("未连接");
        this.stateText.title = this.stateText.textContent;
        this.stateNote.textContent =
            connected && kept.length && this.core ? ` · ${tr("CMainDlg", "已保留 %1 的更改").replace("%1", consoleList(this.core, kept))}` : "";
        this.connectButton.hidden = connected;
    }
}
