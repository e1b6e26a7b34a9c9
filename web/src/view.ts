// The page's view: the window's main view built from its layouts (data.js): the title, the
// connection state, the console tabs, the four pages with their boxes and lamps, the command
// buttons and the apply button's mark. It shows what the core says (the codes in the boxes, the
// lamps, the marks) and passes the user's clicks on to the commands; it decides nothing itself.
import data from "./data.js";
import type { Button, Page } from "./data.js";
import type { ButtonInfo, Core } from "./core.js";
import { mark, t, tr } from "./i18n.js";
import { el } from "./widgets.js";

const MOUSE_TEXTS = ["", mark("display_texts", "鼠标左键"), mark("display_texts", "鼠标右键"), mark("display_texts", "鼠标中键")];

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

// A code as the page names it in a list: the key's name, a mouse button's text, "(none)" for no
// key, and the number itself for a code that names no key.
export function codeText(core: Core, code: number): string {
    const mouse = core.mouseButton(code);
    if (mouse) return tr("display_texts", MOUSE_TEXTS[mouse]);
    if (code === 0) return tr("CMainDlg", "（无）");
    return core.keyName(code) || `0x${code.toString(16).toUpperCase().padStart(2, "0")}`;
}

// "PS3、SWITCH": consoles listed the way the language lists them.
export function consoleList(core: Core, ids: number[]): string {
    return ids.map((id) => core.console(id).name).join(tr("CMainDlg", "、"));
}

export class View {
    current = 1; // the selected console, as the window opens on PS3
    readonly frame: HTMLElement;
    readonly banner: HTMLElement;
    readonly boxes: BoxView[] = [];
    readonly tabs = new Map<number, HTMLButtonElement>();
    private readonly panels = new Map<number, HTMLElement>();
    private readonly commands = new Map<string, HTMLButtonElement>();
    private mark!: HTMLElement;
    private stateText!: HTMLElement;
    private stateNote!: HTMLElement;
    private stateDot!: HTMLElement;
    connectButton!: HTMLButtonElement;
    // The page's own commands (copy link, print ...), in the caption strip left of the state.
    toolbar!: HTMLElement;
    fileInput!: HTMLInputElement;
    private lampFrame = 0;

    constructor(
        root: HTMLElement,
        private readonly core: Core,
        private readonly actions: ViewActions,
    ) {
        // The frame is in the page already (layout.css paints it before any script runs).
        this.frame = root.querySelector<HTMLElement>(".window") ?? root.appendChild(el("div", "window"));
        this.banner = root.querySelector<HTMLElement>(".banners") ?? root.insertBefore(el("div", "banners"), this.frame);
    }

    // The console of a tab button of the layout ("btn_ps3"), from the core's table.
    private consoleOfTab(name: string): number {
        const c = this.core.consoles.find((x) => x.tabButton === name);
        if (!c) throw new Error(`the layout's tab ${name} is no console of the core`);
        return c.id;
    }
    private word(id: number): string {
        return this.core.console(id).word;
    }
    get title(): string {
        return tr("dlg_main", data.main.title.text);
    }

    // The whole view from the layouts; texts in the page's language.
    build(): void {
        const m = data.main;
        const title = el("h1", "title", this.title);
        at(title, m.title.x, m.title.y);
        document.title = this.title;

        // Connection state and the connect button, in the caption strip where the window has its
        // caption buttons.
        const conn = el("div", "connection");
        const state = el("div", "conn-state");
        state.setAttribute("role", "status");
        this.stateDot = el("span", "conn-dot");
        this.stateText = el("span", "conn-text");
        this.stateNote = el("span", "conn-note");
        state.append(this.stateDot, this.stateText, this.stateNote);
        this.connectButton = el("button", "connect", t("连接适配器"));
        this.connectButton.type = "button";
        this.connectButton.addEventListener("click", () => this.actions.connect());
        this.toolbar = el("div", "toolbar");
        this.toolbar.id = "toolbar";
        this.toolbar.setAttribute("role", "toolbar");
        this.toolbar.setAttribute("aria-label", this.title);
        this.toolbar.addEventListener("keydown", (e) => this.toolbarKey(e));
        conn.append(this.toolbar, state, this.connectButton);

        const tablist = el("div", "tablist");
        tablist.setAttribute("role", "tablist");
        tablist.setAttribute("aria-label", this.title);
        for (const b of m.tabs) tablist.append(this.makeTab(b));

        const pages = el("div", "pages");
        at(pages, m.pages.x, m.pages.y);
        pages.style.width = `${m.pages.w}px`;
        pages.style.height = `${m.pages.h}px`;
        for (const b of m.tabs) {
            const id = this.consoleOfTab(b.name);
            pages.append(this.makePage(id, data.pages[this.word(id)]));
        }

        const commands = el("div", "commands");
        for (const b of m.commands) commands.append(this.makeCommand(b));

        this.fileInput = el("input");
        this.fileInput.type = "file";
        this.fileInput.accept = ".kvf";
        this.fileInput.hidden = true;
        this.fileInput.addEventListener("change", () => this.actions.fileChosen(this.fileInput));

        this.frame.append(title, conn, tablist, pages, commands, this.fileInput);
        this.selectView(1);
    }

    // A command of the toolbar. The toolbar is one stop of Tab; Left, Right, Home and End move
    // among its commands.
    addTool(button: HTMLButtonElement): void {
        button.tabIndex = this.toolbar.querySelector("button") ? -1 : 0;
        this.toolbar.append(button);
    }

    private toolbarKey(e: KeyboardEvent): void {
        const tools = [...this.toolbar.querySelectorAll<HTMLButtonElement>("button:not([hidden])")];
        const at = tools.indexOf(document.activeElement as HTMLButtonElement);
        if (at < 0 || tools.length === 0) return;
        const to =
            e.key === "ArrowRight" ? (at + 1) % tools.length
            : e.key === "ArrowLeft" ? (at + tools.length - 1) % tools.length
            : e.key === "Home" ? 0
            : e.key === "End" ? tools.length - 1
            : -1;
        if (to < 0) return;
        tools.forEach((t, i) => (t.tabIndex = i === to ? 0 : -1));
        tools[to].focus();
        e.preventDefault();
    }

    private makeTab(b: Button): HTMLButtonElement {
        const id = this.consoleOfTab(b.name);
        const tab = el("button", "tab skinned", tr("dlg_main", b.text));
        tab.type = "button";
        tab.id = b.name;
        tab.setAttribute("role", "tab");
        tab.setAttribute("aria-controls", `page_${this.word(id)}`);
        skinStyle(tab, b.skin);
        at(tab, b.x, b.y);
        tab.addEventListener("click", () => this.actions.selectConsole(id));
        tab.addEventListener("contextmenu", (e) => {
            e.preventDefault();
            this.actions.copyMenu(id, tab);
        });
        tab.addEventListener("keydown", (e) => {
            if (e.key !== "ArrowLeft" && e.key !== "ArrowRight") return;
            const order = data.main.tabs.map((x) => this.consoleOfTab(x.name));
            const i = order.indexOf(id);
            const next = order[(i + (e.key === "ArrowRight" ? 1 : order.length - 1)) % order.length];
            const target = this.tabs.get(next)!;
            this.tabs.forEach((x) => (x.tabIndex = x === target ? 0 : -1));
            target.focus();
            e.preventDefault();
        });
        this.tabs.set(id, tab);
        return tab;
    }

    private makePage(id: number, page: Page): HTMLElement {
        const core = this.core;
        const c = core.console(id);
        const word = this.word(id);
        const panel = el("div", "page");
        panel.id = `page_${word}`;
        panel.setAttribute("role", "tabpanel");
        panel.setAttribute("aria-labelledby", `btn_${word}`);
        panel.style.backgroundImage = `url(art/${page.art}.svg)`;
        for (const [name, p] of Object.entries(page.lamps)) {
            const lamp = el("img", "lamp");
            lamp.src = `art/${data.skins.skin_status_png.art}.svg`;
            lamp.alt = "";
            lamp.dataset.button = name;
            lamp.hidden = true;
            at(lamp, p.x, p.y);
            panel.append(lamp);
        }
        // Boxes in the window's keyboard order (the core's rule), which is their order in the page.
        const skin = data.skins.skin_custombox_png;
        const buttons = c.buttons.filter((b) => page.boxes[b.name]);
        const places = buttons.map((b) => ({ button: b.id, x: page.boxes[b.name].x, y: page.boxes[b.name].y, w: skin.w, h: skin.h }));
        for (const id of core.focusOrder(places, data.main.pages.w)) {
            const info = buttons.find((b) => b.id === id)!;
            const p = page.boxes[info.name];
            const button = el("button", "box skinned");
            button.type = "button";
            button.id = `btn_${word}_key_${info.name}`;
            button.setAttribute("aria-label", `${c.name} ${tr("pad", info.spoken)}`);
            button.setAttribute("aria-haspopup", "menu");
            skinStyle(button, "skin_custombox_png");
            at(button, p.x, p.y);
            const value = el("span", "box-value");
            value.id = `${button.id}_value`;
            button.setAttribute("aria-describedby", value.id);
            button.append(value);
            const lamp = panel.querySelector<HTMLElement>(`.lamp[data-button="${info.name}"]`);
            const view: BoxView = { consoleId: c.id, button: info, element: button, value, lamp };
            button.addEventListener("click", () => this.actions.pick(view));
            this.boxes.push(view);
            panel.append(button);
        }
        this.panels.set(id, panel);
        return panel;
    }

    private makeCommand(b: Button): HTMLButtonElement {
        const button = el("button", "command skinned", tr("dlg_main", b.text));
        button.type = "button";
        button.id = b.name;
        skinStyle(button, b.skin);
        at(button, b.x, b.y);
        button.addEventListener("click", () => this.actions.command(b.name));
        if (b.name === "btn_Applay") {
            this.mark = el("span", "unapplied");
            this.mark.hidden = true;
            this.mark.setAttribute("aria-hidden", "true");
            button.append(this.mark);
            button.addEventListener("contextmenu", (e) => {
                e.preventDefault();
                this.actions.applyMenu(button);
            });
        }
        this.commands.set(b.name, button);
        return button;
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
        for (const view of this.boxes) view.value.textContent = this.codeName(this.core.code(view.consoleId, view.button.id));
        this.showClashes();
    }

    // A key given to two or more buttons of a console marks each of their boxes; the tooltip and
    // the spoken description name the other buttons. Nothing is blocked: it may be meant.
    private showClashes(): void {
        const clashes = this.core.clashes();
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
            const c = this.core.console(view.consoleId);
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
        const mouse = this.core.mouseButton(code);
        return mouse ? tr("display_texts", MOUSE_TEXTS[mouse]) : this.core.keyName(code);
    }

    selectView(id: number): void {
        this.current = id;
        for (const [cid, tab] of this.tabs) {
            const selected = cid === id;
            tab.setAttribute("aria-selected", String(selected));
            tab.classList.toggle("checked", selected);
            tab.tabIndex = selected ? 0 : -1;
        }
        for (const [cid, panel] of this.panels) panel.hidden = cid !== id;
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

    // ShowKeystatus of the selected console: a lamp over every button held.
    drawLamps(): void {
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
        if (!apply || !this.mark) return;
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
    // read-back kept over other records on the adapter.
    showConnection(productName: string | null, kept: number[]): void {
        const connected = productName !== null;
        this.stateDot.classList.toggle("on", connected);
        this.stateText.textContent = connected ? t("已连接：%1", productName || "Velorin") : t("未连接");
        this.stateNote.textContent = connected && kept.length ? ` · ${tr("CMainDlg", "已保留 %1 的更改").replace("%1", consoleList(this.core, kept))}` : "";
        this.connectButton.hidden = connected;
    }
}
