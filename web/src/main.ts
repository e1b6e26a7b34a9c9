// Velorin Web: the window's main view in a page. Built from the window's layouts (data.js), it
// shows the four console pages with their boxes and lamps, runs the function menu and the
// on-screen keyboard, the files, undo and redo, copy between consoles, and talks to the adapter
// through WebHID (adapter.ts) with every record and report made by the core (core.ts).
import data from "./data.js";
import type { Button, Page } from "./data.js";
import { Adapter, type ApplyOutcome, type ConnectFailure, type NoWebHid, webHidAvailability } from "./adapter.js";
import { BLOCK_SIZE, type Core, loadCore } from "./core.js";
import { chooseLanguage, language, setLanguage, t, tr } from "./i18n.js";
import { AdapterKnowledge, History } from "./state.js";
import { el, showKeyboard, showMenu, showMessage } from "./widgets.js";

// The function menu's ids: the keyboard, then the left, right and middle mouse buttons.
const FUN_KEYBOARD = 1;

// What a screen reader says for a pad button whose element name does not read well.
const SPOKEN_BUTTONS: Record<string, string> = {
    ARROW_UP: "方向键上",
    ARROW_DOWN: "方向键下",
    ARROW_L: "方向键左",
    ARROW_R: "方向键右",
    lyhih_UP: "左摇杆上",
    lyhih_DOWN: "左摇杆下",
    lxhih_L: "左摇杆左",
    lxhih_R: "左摇杆右",
    LSTICK_KEY: "左摇杆按下",
    RSTICK_KEY: "右摇杆按下",
};

function spokenButton(name: string): string {
    const source = SPOKEN_BUTTONS[name];
    return source ? tr("pad", source) : name;
}

const MOUSE_TEXTS = ["", "鼠标左键", "鼠标右键", "鼠标中键"];

interface BoxView {
    consoleId: number;
    name: string;
    button: HTMLButtonElement;
    value: HTMLSpanElement;
    lamp: HTMLElement | null;
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

class App {
    adapter: Adapter | null = null;
    history: History | null = null;
    knowledge: AdapterKnowledge | null = null;
    current = 1; // the selected console, as the window opens on PS3
    updateRequested = false; // the user chose to reload into a newer version
    readonly root: HTMLElement;
    readonly frame: HTMLElement;
    private readonly tabs = new Map<number, HTMLButtonElement>();
    private readonly panels = new Map<number, HTMLElement>();
    private readonly boxes: BoxView[] = [];
    private readonly commands = new Map<string, HTMLButtonElement>();
    private mark!: HTMLElement;
    private stateText!: HTMLElement;
    private stateDot!: HTMLElement;
    private connectButton!: HTMLButtonElement;
    private readonly banner: HTMLElement;
    private lampFrame = 0;
    private padHeld = 0; // the buttons held in the last pad state, as core.padPressed() gives them
    private modal = false;
    private fileInput!: HTMLInputElement;

    constructor(
        root: HTMLElement,
        readonly core: Core,
    ) {
        this.root = root;
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
    private consoleNames(ids: number[]): string {
        return ids.map((id) => this.core.console(id).name).join(", ");
    }

    // The whole view from the layouts; texts in the page's language.
    build(): void {
        const m = data.main;

        const title = el("h1", "title", tr("dlg_main", m.title.text));
        at(title, m.title.x, m.title.y);
        document.title = tr("dlg_main", m.title.text);

        // Connection state and the connect button, in the caption strip where the window has its
        // caption buttons.
        const conn = el("div", "connection");
        const state = el("div", "conn-state");
        state.setAttribute("role", "status");
        this.stateDot = el("span", "conn-dot");
        this.stateText = el("span", "conn-text");
        state.append(this.stateDot, this.stateText);
        this.connectButton = el("button", "connect", t("连接适配器"));
        this.connectButton.type = "button";
        this.connectButton.addEventListener("click", () => void this.connect());
        conn.append(state, this.connectButton);

        const tablist = el("div", "tablist");
        tablist.setAttribute("role", "tablist");
        tablist.setAttribute("aria-label", tr("dlg_main", m.title.text));
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
        this.fileInput.addEventListener("change", () => void this.loadChosenFile());

        this.frame.append(title, conn, tablist, pages, commands, this.fileInput);
        this.selectView(1);
        this.showState();
        document.addEventListener("keydown", (e) => this.onKey(e));
        window.addEventListener("beforeunload", (e) => {
            if (this.knowledge?.wouldLose()) {
                e.preventDefault();
                e.returnValue = "";
            }
        });
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
        tab.addEventListener("click", () => this.selectConsole(id));
        tab.addEventListener("contextmenu", (e) => {
            e.preventDefault();
            void this.copyMenu(id, tab);
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
        const word = this.word(id);
        const panel = el("div", "page");
        panel.id = `page_${word}`;
        panel.setAttribute("role", "tabpanel");
        panel.setAttribute("aria-labelledby", `btn_${word}`);
        panel.style.backgroundImage = `url(art/${page.art}.svg)`;
        // Boxes in the window's Tab order: the left column, the right column, then those between.
        const third = data.main.pages.w / 3;
        const skin = data.skins.skin_custombox_png;
        const column = (x: number): number => {
            const centre = x + skin.w / 2;
            return centre < third ? 0 : centre >= data.main.pages.w - third ? 1 : 2;
        };
        const names = Object.keys(page.boxes).sort((a, b) => {
            const pa = page.boxes[a];
            const pb = page.boxes[b];
            return column(pa.x) - column(pb.x) || pa.y - pb.y || pa.x - pb.x;
        });
        for (const [name, p] of Object.entries(page.lamps)) {
            const lamp = el("img", "lamp");
            lamp.src = `art/${data.skins.skin_status_png.art}.svg`;
            lamp.alt = "";
            lamp.dataset.button = name;
            lamp.hidden = true;
            at(lamp, p.x, p.y);
            panel.append(lamp);
        }
        for (const name of names) {
            const p = page.boxes[name];
            const button = el("button", "box skinned");
            button.type = "button";
            button.id = `btn_${word}_key_${name}`;
            button.setAttribute("aria-label", `${this.core.console(id).name} ${spokenButton(name)}`);
            button.setAttribute("aria-haspopup", "menu");
            skinStyle(button, "skin_custombox_png");
            at(button, p.x, p.y);
            const value = el("span", "box-value");
            value.id = `${button.id}_value`;
            button.setAttribute("aria-describedby", value.id);
            button.append(value);
            const lamp = panel.querySelector<HTMLElement>(`.lamp[data-button="${name}"]`);
            const view: BoxView = { consoleId: id, name, button, value, lamp };
            button.addEventListener("click", () => void this.pick(view));
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
        button.addEventListener("click", () => void this.command(b.name));
        if (b.name === "btn_Applay") {
            this.mark = el("span", "unapplied");
            this.mark.hidden = true;
            this.mark.setAttribute("aria-hidden", "true");
            button.append(this.mark);
        }
        this.commands.set(b.name, button);
        return button;
    }

    // The pages show the records, the adapter can be used.
    attach(): void {
        const core = this.core;
        this.history = new History(core);
        this.knowledge = new AdapterKnowledge(core);
        this.adapter = new Adapter(core, {
            onState: () => this.showState(),
            onReadBack: (consoles, complete) => this.readBackDone(consoles, complete),
            onPadState: () => {
                this.followPad();
                this.scheduleLamps();
            },
            onFailure: (f) => void this.failure(f),
        });
        document.body.classList.add("ready");
        this.showAll();
        this.refreshMark();
        const unavailable = webHidAvailability();
        if (unavailable) this.noWebHid(unavailable);
        void this.adapter.start();
    }

    private boxFor(consoleId: number, name: string): BoxView | undefined {
        return this.boxes.find((b) => b.consoleId === consoleId && b.name === name);
    }

    // Every box shows its record byte's key name (ShowWorkMode of the four handlers).
    showAll(): void {
        const core = this.core;
        if (!core) return;
        const block = core.block();
        for (const c of core.consoles) {
            const record = core.record(c.id, block);
            for (const b of c.buttons) {
                const view = this.boxFor(c.id, b.name);
                if (view) view.value.textContent = this.codeName(record[b.byte]);
            }
        }
    }

    private codeName(code: number): string {
        const core = this.core;
        const mouse = core.mouseButton(code);
        return mouse ? tr("display_texts", MOUSE_TEXTS[mouse]) : core.keyName(code);
    }

    private selectView(id: number): void {
        this.current = id;
        for (const [cid, tab] of this.tabs) {
            const selected = cid === id;
            tab.setAttribute("aria-selected", String(selected));
            tab.classList.toggle("checked", selected);
            tab.tabIndex = selected ? 0 : -1;
        }
        for (const [cid, panel] of this.panels) panel.hidden = cid !== id;
    }

    // SelectConsole: the tab, the page, the lamps out, and the mode select with its repeats.
    selectConsole(id: number): void {
        const focusInPage = this.panels.get(this.current)?.contains(document.activeElement);
        this.selectView(id);
        if (focusInPage) this.tabs.get(id)?.focus();
        this.core.joyNeutral();
        this.padHeld = this.core.padPressed(id);
        this.drawLamps();
        if (this.adapter?.connected) void this.adapter.selectMode(id);
    }

    // A new press of a pad button (one not held in the state before) moves the focus to its box on
    // the selected page, so that a keyboard user finds a box by pressing its button; the first in
    // button order when several begin together. Only once the keyboard has moved the focus (the
    // condition of the focus outline, :focus-visible), never behind a menu or dialog or while the
    // page is not the active window. A press never opens anything: the menu is the mouse's and
    // the keyboard's.
    private followPad(): void {
        const core = this.core;
        const held = core.padPressed(this.current);
        const fresh = held & ~this.padHeld;
        this.padHeld = held;
        if (!fresh || this.modal || !document.hasFocus()) return;
        if (!document.activeElement?.matches(":focus-visible")) return;
        const c = core.console(this.current);
        const pressed = c.buttons.find((b) => (fresh >>> b.id) & 1);
        if (pressed) this.boxFor(c.id, pressed.name)?.button.focus();
    }

    private scheduleLamps(): void {
        if (this.lampFrame) return;
        this.lampFrame = requestAnimationFrame(() => {
            this.lampFrame = 0;
            this.drawLamps();
        });
    }

    // ShowKeystatus of the selected console: a lamp over every button held.
    private drawLamps(): void {
        const core = this.core;
        if (!core) return;
        const on = core.lamps(this.current);
        const c = core.console(this.current);
        for (const b of c.buttons) {
            const view = this.boxFor(c.id, b.name);
            if (!view?.lamp) continue;
            const lit = on.has(b.id);
            if (view.lamp.hidden !== !lit) {
                view.lamp.hidden = !lit;
                // A box whose pad button is held reads as pressed, as in the window.
                if (lit) view.button.setAttribute("aria-pressed", "true");
                else view.button.removeAttribute("aria-pressed");
            }
        }
    }

    private async pick(view: BoxView): Promise<void> {
        const core = this.core;
        if (!core || this.modal) return;
        const button = core.console(view.consoleId).buttons.find((b) => b.name === view.name);
        if (!button) return;
        // The menu's corner: the box's left edge, 4 pixels above its bottom edge.
        const r = view.button.getBoundingClientRect();
        const f = this.frame.getBoundingClientRect();
        const texts = ["键盘", "鼠标左键", "鼠标右键", "鼠标中键"];
        const id = await this.modally(() =>
            showMenu(
                this.frame,
                r.left - f.left,
                r.bottom - f.top - 4,
                texts.map((text, i) => ({ id: i + 1, text: tr("display_texts", text) })),
                view.button.getAttribute("aria-label") ?? "",
            ),
        );
        let code = 0;
        if (id === FUN_KEYBOARD) {
            const index = await this.modally(() => showKeyboard(this.frame));
            if (index === null) return;
            code = core.keyboardCode(index);
        } else {
            code = core.menuCode(id);
        }
        if (!code) return;
        core.setCell(view.consoleId, button.id, code);
        this.changed();
    }

    private async modally<T>(run: () => Promise<T>): Promise<T> {
        this.modal = true;
        try {
            return await run();
        } finally {
            this.modal = false;
        }
    }

    private async copyMenu(from: number, tab: HTMLElement): Promise<void> {
        const core = this.core;
        if (!core || this.modal) return;
        const r = tab.getBoundingClientRect();
        const f = this.frame.getBoundingClientRect();
        const items = core.consoles
            .filter((c) => c.id !== from)
            .map((c) => ({ id: c.id, text: tr("CMainDlg", "复制到 %1").replace("%1", c.name) }));
        const to = await this.modally(() =>
            showMenu(this.frame, r.left - f.left, r.bottom - f.top - 4, items, tab.textContent ?? ""),
        );
        if (!to || to === from) return;
        core.copyConsole(from, to);
        this.changed();
    }

    // After a change of the user's: redraw, one step of the history, the mark.
    private changed(): void {
        this.showAll();
        this.history?.commit();
        this.refreshMark();
    }

    private refreshMark(): void {
        const k = this.knowledge;
        if (!k || !this.mark) return;
        const changed = k.changed();
        const unseen = this.adapter?.connected ? k.unseen() : [];
        const apply = this.commands.get("btn_Applay")!;
        const lines: string[] = [];
        if (changed.length) lines.push(tr("CMainDlg", "更改尚未应用"));
        if (unseen.length) lines.push(t("未能读取适配器中的记录：%1。应用会覆盖它们。", this.consoleNames(unseen)));
        this.mark.hidden = lines.length === 0;
        this.mark.classList.toggle("incomplete", changed.length === 0 && unseen.length > 0);
        if (lines.length) {
            apply.title = lines.join("\n");
            apply.setAttribute("aria-description", lines.join(" "));
        } else {
            apply.removeAttribute("title");
            apply.removeAttribute("aria-description");
        }
    }

    private showState(): void {
        const a = this.adapter;
        const connected = !!a?.connected;
        this.stateDot.classList.toggle("on", connected);
        this.stateText.textContent = connected ? t("已连接：%1", a!.device!.productName || "Velorin") : t("未连接");
        this.connectButton.hidden = connected;
        if (!connected) {
            this.core.joyClear();
            this.drawLamps();
        }
        this.refreshMark();
    }

    private readBackDone(consoles: number[], complete: boolean): void {
        const k = this.knowledge!;
        k.forget();
        for (const id of consoles) k.holds(id);
        this.showAll();
        this.history!.commit(); // the records read back are one step
        this.refreshMark();
        if (!complete && consoles.length < 4) this.say(t("适配器没有回答全部读取请求；未读取的页面保持原样。"));
        // The adapter is told which console the page shows.
        if (this.adapter?.connected) void this.adapter.selectMode(this.current);
    }

    private async connect(): Promise<void> {
        const a = this.adapter;
        if (!a) return;
        const failure = await a.request();
        if (failure && failure.kind !== "open-refused") await this.failure(failure);
    }

    private noWebHid(f: NoWebHid): void {
        const text =
            f.why === "insecure"
                ? t("WebHID 只能在安全的页面上使用（HTTPS 或 http://localhost）。")
                : f.why === "blocked"
                  ? t("此页面的策略禁止使用 WebHID。")
                  : t("此浏览器不支持 WebHID，无法连接适配器。请使用 Chrome、Edge 或 Opera。");
        this.showBanner("no-webhid", `${text} ${t("文件功能仍然可以使用。")}`);
        this.connectButton.disabled = true;
    }

    private async failure(f: ConnectFailure): Promise<void> {
        if (f.kind === "cancelled") return;
        if (f.kind === "no-webhid") {
            this.noWebHid(f);
            return;
        }
        if (f.kind === "not-adapter") {
            await this.message("error", t("所选设备不是适配器（%1）。", f.detail));
            return;
        }
        // open() refused: on Linux, the hidraw node's permissions.
        const b = this.showBanner("open-refused", t("浏览器无法打开适配器。"));
        const more = el("div", "banner-more");
        more.append(
            el("p", "", t("在 Linux 上，这通常是 hidraw 设备的权限问题。安装项目的 udev 规则，然后拔出并重新插入适配器：")),
        );
        const link = el("a", "", "70-velorin.rules");
        link.href = "70-velorin.rules";
        link.download = "70-velorin.rules";
        const cmds = el(
            "pre",
            "commands-text",
            "sudo install -m 0644 70-velorin.rules /etc/udev/rules.d/\nsudo udevadm control --reload-rules && sudo udevadm trigger",
        );
        const p = el("p", "", `${t("规则文件：")} `);
        p.append(link);
        more.append(p, cmds, el("p", "", t("通过 Snap 或 Flatpak 安装的浏览器即使有此规则也无法访问设备：请使用以普通软件包安装的浏览器。")));
        b.append(more);
    }

    private showBanner(kind: string, text: string): HTMLElement {
        this.banner.querySelector(`.banner.${kind}`)?.remove();
        const b = el("div", `banner ${kind}`);
        b.setAttribute("role", "alert");
        const p = el("p", "banner-text", text);
        const close = el("button", "banner-close", "×");
        close.type = "button";
        close.setAttribute("aria-label", tr("CMainDlg", "关闭"));
        close.addEventListener("click", () => b.remove());
        b.append(close, p);
        this.banner.append(b);
        return b;
    }

    private say(text: string): void {
        this.showBanner("notice", text);
    }

    private message(kind: "error" | "info" | "question", text: string, title = ""): Promise<boolean> {
        return this.modally(() => showMessage(this.frame, kind, text, title));
    }

    private async command(name: string): Promise<void> {
        if (this.modal || !this.core) return;
        if (name === "btn_loadcfg") this.fileInput.click();
        else if (name === "btn_savecfg") this.save();
        else if (name === "btn_default") await this.restoreDefault();
        else if (name === "btn_Applay") await this.apply();
    }

    private async loadChosenFile(): Promise<void> {
        const file = this.fileInput.files?.[0];
        this.fileInput.value = "";
        if (!file || !this.core) return;
        let bytes: Uint8Array;
        try {
            // Only the first 108 bytes are ever read, whatever the file's size.
            bytes = new Uint8Array(await file.slice(0, BLOCK_SIZE).arrayBuffer());
        } catch {
            await this.message("error", tr("messages", "ReadFile error"));
            return;
        }
        if (!this.core.loadBlock(bytes)) {
            await this.message("error", tr("messages", "File invalid"));
            return;
        }
        this.knowledge!.loadedFromFile();
        this.changed();
    }

    private save(): void {
        const bytes = this.core.block();
        const url = URL.createObjectURL(new Blob([bytes as Uint8Array<ArrayBuffer>], { type: "application/octet-stream" }));
        const a = el("a");
        a.href = url;
        a.download = "velorin.kvf";
        document.body.append(a);
        a.click();
        a.remove();
        setTimeout(() => URL.revokeObjectURL(url), 10000);
        this.knowledge!.savedToFile();
    }

    private async restoreDefault(): Promise<void> {
        const title = tr("dlg_main", data.main.title.text);
        if (!(await this.message("question", tr("display_texts", "是否恢复默认"), title))) return;
        let bytes: Uint8Array;
        try {
            const response = await fetch("default.kvf");
            if (!response.ok) return;
            bytes = new Uint8Array(await response.arrayBuffer());
        } catch {
            return; // restore default shows nothing on any failure after the question
        }
        if (!this.core.loadBlock(bytes)) return;
        this.knowledge!.loadedFromFile();
        this.changed();
    }

    private async apply(): Promise<void> {
        const a = this.adapter!;
        const title = tr("dlg_main", data.main.title.text);
        if (!a.connected) {
            await this.message("error", tr("messages", "CreateFileHandle error"));
            return;
        }
        // Nothing changes the records while they are written and read back.
        this.frame.classList.add("busy");
        let outcome: ApplyOutcome;
        try {
            outcome = await this.modally(() => a.apply(this.current));
        } finally {
            this.frame.classList.remove("busy");
        }
        const k = this.knowledge!;
        // The records written before a refused one are in the adapter now.
        const order = this.core.consoles.map((c) => c.id);
        const written =
            outcome.kind === "success" || outcome.kind === "mismatch" || outcome.kind === "unverified"
                ? order
                : outcome.kind === "write-failed"
                  ? order.slice(0, order.indexOf(outcome.consoleId))
                  : [];
        const mismatched = outcome.kind === "mismatch" ? outcome.consoles : [];
        if (outcome.kind !== "unverified") for (const id of written) if (!mismatched.includes(id)) k.holds(id);
        this.history!.sync(); // apply prepared the records in place; that is no step of the user's
        this.showAll();
        this.refreshMark();
        switch (outcome.kind) {
            case "success":
                await this.message("info", tr("display_texts", "烧录成功"), title);
                return;
            case "no-adapter":
                await this.message("error", tr("messages", "CreateFileHandle error"));
                return;
            case "write-failed":
                await this.message("error", tr("messages", outcome.text));
                return;
            case "gone":
                await this.message("error", t("写入时适配器被拔出；适配器中的记录可能不完整。重新插入后请再次应用。"));
                return;
            case "mismatch":
                await this.message(
                    "error",
                    t(
                        "适配器没有接受这些记录：读回的 %1 与写入的不同。请拔出并重新插入适配器后再次应用；如果仍然不行，请在 Linux 上运行 velorinctl doctor --write-test。",
                        this.consoleNames(outcome.consoles),
                    ),
                );
                return;
            case "unverified":
                await this.message("error", t("记录已发送，但适配器没有回答读取请求，无法确认它已接受。"));
                return;
        }
    }

    private undo(): void {
        if (this.history?.undo()) {
            this.showAll();
            this.refreshMark();
        }
    }

    private redo(): void {
        if (this.history?.redo()) {
            this.showAll();
            this.refreshMark();
        }
    }

    private onKey(e: KeyboardEvent): void {
        if (this.modal || !this.core) return;
        const ctrl = e.ctrlKey || e.metaKey;
        if (!ctrl || e.altKey) return;
        const key = e.key.toLowerCase();
        if (key === "z" && !e.shiftKey) this.undo();
        else if ((key === "z" && e.shiftKey) || (key === "y" && !e.shiftKey)) this.redo();
        else if (key === "o" && !e.shiftKey) this.fileInput.click();
        else if (key === "s" && !e.shiftKey) this.save();
        else if (key === "enter" && !e.shiftKey) void this.apply();
        else return;
        e.preventDefault();
    }

    // A newer version of the site is installed and waits: offer to use it. The reload asks the worker
    // waiting at the time of the click, which is the newest one if another arrived meanwhile.
    updateReady(waiting: () => ServiceWorker | null): void {
        const b = this.showBanner("update", t("新版本已准备好。"));
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
    app.build();
    app.attach();
    registerServiceWorker(app);
}

void main();
