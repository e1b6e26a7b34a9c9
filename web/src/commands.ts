// The page's commands: a box's pick (the function menu, then the on-screen keyboard or a mouse
// button), the copy between consoles, console selection, apply with its verify, undo and redo, the
// adapter's records instead of the user's, the keys of the window, and the pad presses that find a
// box. Every change of the records goes to the core's editing session, which decides what counts
// as the user's change and what a read-back may replace.
import type { Adapter, ApplyOutcome } from "./adapter.js";
import { showChanges, tooltipLines } from "./changes.js";
import type { Core } from "./core.js";
import type { Files } from "./files.js";
import { mark, t, tr } from "./i18n.js";
import type { Messages } from "./messages.js";
import { consoleList, type BoxView, type View } from "./view.js";
import { showKeyboard, showMenu, type MenuItem } from "./widgets.js";

// The function menu's ids: the keyboard, then the left, right and middle mouse buttons.
const FUN_KEYBOARD = 1;
const TAKE_ADAPTER_RECORDS = 1;
const SHOW_CHANGES = 2;

export class Commands {
    adapter: Adapter | null = null;
    // The consoles whose changes the last read-back kept over other records on the adapter, while
    // they still differ.
    private kept: number[] = [];
    // Ctrl+P: the printable sheet (print.ts).
    printSheet: (() => void) | null = null;

    constructor(
        private readonly core: Core,
        private readonly view: View,
        private readonly messages: Messages,
        private readonly files: Files,
    ) {}

    // After every change of the records or of what the adapter is known to hold: the boxes, the
    // apply button's mark, the connection state.
    refresh(): void {
        this.view.showAll();
        this.showMarks();
    }

    showMarks(): void {
        const core = this.core;
        const connected = !!this.adapter?.connected;
        const differing = connected ? core.differing() : [];
        this.kept = this.kept.filter((id) => differing.includes(id));
        if (this.kept.length === 0) this.messages.dropBanner("kept");
        const changed = core.changed();
        const unread = connected ? core.unread() : [];
        const changes = changed.length || unread.length ? tooltipLines(core, core.changes()) : [];
        this.view.showMark(changed, differing, unread, changes);
        this.view.showConnection(connected ? this.adapter!.device!.productName : null, this.kept);
    }

    // The menu's corner for an element: its left edge, 4 pixels above its bottom edge.
    private menuPoint(e: HTMLElement): { x: number; y: number } {
        const r = e.getBoundingClientRect();
        const f = this.view.frame.getBoundingClientRect();
        return { x: r.left - f.left, y: r.bottom - f.top - 4 };
    }

    async pick(box: BoxView): Promise<void> {
        const core = this.core;
        if (this.messages.modal) return;
        const p = this.menuPoint(box.element);
        const texts = [
            mark("display_texts", "键盘"),
            mark("display_texts", "鼠标左键"),
            mark("display_texts", "鼠标右键"),
            mark("display_texts", "鼠标中键"),
        ];
        const id = await this.messages.modally(() =>
            showMenu(
                this.view.frame,
                p.x,
                p.y,
                texts.map((text, i) => ({ id: i + 1, text: tr("display_texts", text) })),
                box.element.getAttribute("aria-label") ?? "",
            ),
        );
        let code = 0;
        if (id === FUN_KEYBOARD) {
            const index = await this.messages.modally(() => showKeyboard(this.view.frame));
            if (index === null) return;
            code = core.keyboardCode(index);
        } else {
            code = core.menuCode(id);
        }
        if (!code) return;
        if (core.assign(box.consoleId, box.button.id, code)) this.refresh();
    }

    async copyMenu(from: number, tab: HTMLElement): Promise<void> {
        const core = this.core;
        if (this.messages.modal) return;
        const p = this.menuPoint(tab);
        const items = core.consoles
            .filter((c) => c.id !== from)
            .map((c) => ({ id: c.id, text: tr("CMainDlg", "复制到 %1").replace("%1", c.name) }));
        const to = await this.messages.modally(() => showMenu(this.view.frame, p.x, p.y, items, tab.textContent ?? ""));
        if (!to || to === from) return;
        if (core.copy(from, to)) this.refresh();
    }

    // The apply button's own menu: what apply will change, while the mark shows; the adapter's
    // records instead, while it holds other records than the page shows.
    async applyMenu(button: HTMLElement): Promise<void> {
        if (this.messages.modal) return;
        const core = this.core;
        const connected = !!this.adapter?.connected;
        const differing = connected ? core.differing() : [];
        const items: MenuItem[] = [];
        if (differing.length)
            items.push({ id: TAKE_ADAPTER_RECORDS, text: tr("CMainDlg", "改用适配器中的记录（%1）").replace("%1", consoleList(core, differing)) });
        if (core.changed().length || (connected && core.unread().length))
            items.push({ id: SHOW_CHANGES, text: tr("CMainDlg", "查看应用将写入的更改") });
        if (items.length === 0) return;
        const p = this.menuPoint(button);
        const id = await this.messages.modally(() => showMenu(this.view.frame, p.x, p.y, items, button.textContent ?? ""));
        if (id === TAKE_ADAPTER_RECORDS) this.takeAdapterRecords();
        else if (id === SHOW_CHANGES) await this.messages.modally(() => showChanges(this.view.frame, core));
    }

    takeAdapterRecords(): void {
        if (this.core.takeAdapterRecords()) this.refresh();
    }

    // SelectConsole: the tab, the page, the lamps out, and the mode select with its repeats.
    selectConsole(id: number): void {
        const focusInPage = this.view.focusInPage();
        this.view.selectView(id);
        if (focusInPage) this.view.tabs.get(id)?.focus();
        this.core.joyNeutral();
        this.core.padReset(id);
        this.view.drawLamps();
        if (this.adapter?.connected) void this.adapter.selectMode(id);
    }

    // A new press of a pad button moves the focus to its box on the selected page (the core's rule:
    // core/PadPress.h), so that a keyboard user finds a box by pressing its button. Only once the
    // keyboard has moved the focus (the condition of the focus outline, :focus-visible), never
    // behind a menu or dialog or while the page is not the active window. A press never opens
    // anything: the menu is the mouse's and the keyboard's.
    followPad(): void {
        const quiet =
            this.messages.modal || !document.hasFocus() || !document.activeElement?.matches(":focus-visible");
        const pressed = this.core.padPress(this.view.current, performance.now(), quiet);
        if (pressed >= 0) this.view.boxFor(this.view.current, pressed)?.element.focus();
    }

    // A read-back ended: what it read is what the adapter holds; the consoles whose changes it kept
    // are named, with the command that takes the adapter's records instead.
    readBackDone(consoles: number[], complete: boolean, kept: number[]): void {
        this.kept = kept;
        this.refresh();
        if (kept.length)
            this.messages.offer(
                "kept",
                tr(
                    "CMainDlg",
                    "重新读取适配器时保留了你对 %1 的更改：适配器中的记录与之不同，应用会写入窗口中显示的内容。右键单击「应用」可改用适配器中的记录",
                ).replace("%1", consoleList(this.core, kept)),
                tr("CMainDlg", "改用适配器中的记录（%1）").replace("%1", consoleList(this.core, kept)),
                () => this.takeAdapterRecords(),
            );
        if (!complete && consoles.length < 4) this.messages.say(t("适配器没有回答全部读取请求；未读取的页面保持原样。"));
        // The adapter is told which console the page shows.
        if (this.adapter?.connected) void this.adapter.selectMode(this.view.current);
    }

    async connect(): Promise<void> {
        const a = this.adapter;
        if (!a) return;
        const failure = await a.request();
        if (failure?.kind === "no-webhid") this.view.connectButton.disabled = true;
        if (failure && failure.kind !== "open-refused") await this.messages.failure(failure);
    }

    async command(name: string): Promise<void> {
        if (this.messages.modal) return;
        if (name === "btn_loadcfg") this.view.fileInput.click();
        else if (name === "btn_savecfg") this.files.save();
        else if (name === "btn_default") await this.files.restoreDefault();
        else if (name === "btn_Applay") await this.apply();
    }

    async apply(): Promise<void> {
        const a = this.adapter!;
        const title = this.view.title;
        if (!a.connected) {
            await this.messages.message("error", tr("messages", "CreateFileHandle error"));
            return;
        }
        // Nothing changes the records while they are written and read back.
        this.view.frame.classList.add("busy");
        let outcome: ApplyOutcome;
        try {
            outcome = await this.messages.modally(() => a.apply(this.view.current));
        } finally {
            this.view.frame.classList.remove("busy");
        }
        this.refresh();
        switch (outcome.kind) {
            case "success":
                await this.messages.message("info", tr("display_texts", "烧录成功"), title);
                return;
            case "no-adapter":
                await this.messages.message("error", tr("messages", "CreateFileHandle error"));
                return;
            case "write-failed":
                await this.messages.message("error", tr("messages", outcome.text));
                return;
            case "gone":
                await this.messages.message("error", t("写入时适配器被拔出；适配器中的记录可能不完整。重新插入后请再次应用。"));
                return;
            case "mismatch":
                await this.messages.message(
                    "error",
                    t(
                        "适配器没有接受这些记录：读回的 %1 与写入的不同。请拔出并重新插入适配器后再次应用；如果仍然不行，请在 Linux 上运行 velorinctl doctor --write-test。",
                        consoleList(this.core, outcome.consoles),
                    ),
                );
                return;
            case "unverified":
                await this.messages.message("error", t("记录已发送，但适配器没有回答读取请求，无法确认它已接受。"));
                return;
        }
    }

    undo(): void {
        if (this.core.undo()) this.refresh();
    }

    redo(): void {
        if (this.core.redo()) this.refresh();
    }

    onKey(e: KeyboardEvent): void {
        if (this.messages.modal) return;
        const ctrl = e.ctrlKey || e.metaKey;
        if (!ctrl || e.altKey) return;
        const key = e.key.toLowerCase();
        if (key === "z" && !e.shiftKey) this.undo();
        else if ((key === "z" && e.shiftKey) || (key === "y" && !e.shiftKey)) this.redo();
        else if (key === "o" && !e.shiftKey) this.view.fileInput.click();
        else if (key === "s" && !e.shiftKey) this.files.save();
        else if (key === "enter" && !e.shiftKey) void this.apply();
        else if (key === "p" && !e.shiftKey && this.printSheet) this.printSheet();
        else return;
        e.preventDefault();
    }
}
