// The page's commands: a box's pick (the function menu, then the on-screen keyboard or a mouse
// button), the copy between consoles, console selection, apply with its verify, undo and redo, the
// adapter's records instead of the user's, the keys of the window, and the pad presses that find a
// box. Every change of the records goes to the core's editing session, which decides what counts
// as the user's change and what a read-back may replace.
import type { Adapter, ApplyOutcome } from "./adapter.js";
import { showChanges, tooltipLines } from "./changes.js";
import type { Core } from "./core.js";
import type { Files } from "./files.js";
import { displayText, sentences, t, tr, type DisplayKey } from "./i18n.js";
import type { Messages } from "./messages.js";
import { consoleList, type BoxView, type View } from "./view.js";
import { showKeyboard, showMenu, type MenuItem, type MenuPlace } from "./widgets.js";

// The function menu's ids: the keyboard, then the left, right and middle mouse buttons.
const FUN_KEYBOARD = 1;
const TAKE_ADAPTER_RECORDS = 1;
const SHOW_CHANGES = 2;

export class Commands {
    adapter: Adapter | null = null;
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
        this.view.showHistory(this.core.canUndo(), this.core.canRedo());
        this.showMarks();
    }

    showMarks(): void {
        const core = this.core;
        const connected = !!this.adapter?.connected;
        const differing = connected ? core.differing() : [];
        // The consoles whose changes the last read-back kept, while they still differ.
        const kept = connected ? core.keptAtReadBack() : [];
        if (kept.length === 0) this.messages.dropBanner("kept");
        const changed = core.changed();
        const unread = connected ? core.unread() : [];
        const changes = changed.length || unread.length ? tooltipLines(core, core.changes()) : [];
        this.view.showMark(changed, differing, unread, changes);
        this.view.showConnection(connected ? this.adapter!.device!.productName : null, kept);
    }

    // The menu's corner for an element: its left edge, 4 pixels (of the window) above its bottom
    // edge; it stays inside the window's frame where the viewport shows it.
    private menuPlace(e: HTMLElement): MenuPlace {
        const r = e.getBoundingClientRect();
        const f = this.view.frame.getBoundingClientRect();
        return { x: r.left, y: r.bottom - 4 * this.view.scale, bounds: f };
    }

    async pick(box: BoxView): Promise<void> {
        const core = this.core;
        if (this.messages.modal) return;
        const place = this.menuPlace(box.element);
        const entries: DisplayKey[] = ["keyboard", "Lclick", "Rclick", "Mclick"];
        const id = await this.messages.modally(() =>
            showMenu(
                this.view.layer,
                place,
                entries.map((key, i) => ({ id: i + 1, text: displayText(key) })),
                box.element.getAttribute("aria-label") ?? "",
            ),
        );
        let code = 0;
        if (id === FUN_KEYBOARD) {
            const index = await this.messages.modally(() => showKeyboard(this.view.layer, t("键盘")));
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
        const place = this.menuPlace(tab);
        const items = core.consoles
            .filter((c) => c.id !== from)
            .map((c) => ({ id: c.id, text: tr("CMainDlg", "复制到 %1").replace("%1", c.name) }));
        const to = await this.messages.modally(() => showMenu(this.view.layer, place, items, tab.textContent ?? "", true));
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
        const place = this.menuPlace(button);
        const id = await this.messages.modally(() => showMenu(this.view.layer, place, items, button.textContent ?? "", true));
        if (id === TAKE_ADAPTER_RECORDS) this.takeAdapterRecords();
        else if (id === SHOW_CHANGES) await this.messages.modally(() => showChanges(this.view.layer, core));
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
    // are named, with the command that takes the adapter's records instead; so are the consoles it
    // could not read and those whose reply named no console.
    readBackDone(consoles: number[], complete: boolean, kept: number[], misnamed: number[]): void {
        const core = this.core;
        this.refresh();
        if (kept.length)
            this.messages.offer(
                "kept",
                // The banner carries the command itself, so it does not send the user to Apply's
                // menu (a right-click the window's text names, a long press on a phone).
                () => t("重新读取适配器时保留了你对 %1 的更改：适配器中的记录与之不同，应用会写入页面中显示的内容。", consoleList(core, kept)),
                () => tr("CMainDlg", "改用适配器中的记录（%1）").replace("%1", consoleList(core, kept)),
                () => this.takeAdapterRecords(),
            );
        const unread = core.consoles.map((c) => c.id).filter((id) => !consoles.includes(id) && !misnamed.includes(id));
        if (!complete && unread.length)
            this.messages.say("incomplete", () =>
                t("适配器没有回答 %1 的读取请求：这些页面保持原样，应用会替换适配器中的这些记录。请拔出并重新插入适配器，让页面再读一次。", consoleList(core, unread)),
            );
        else this.messages.dropBanner("incomplete");
        if (misnamed.length)
            this.messages.say("misnamed", () =>
                t("适配器对 %1 的读取请求的回答标明了别的主机，因此没有当作记录显示；这些页面保持原样。请拔出并重新插入适配器，让页面再读一次。", consoleList(core, misnamed)),
            );
        else this.messages.dropBanner("misnamed");
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
        if (name === "btn_loadcfg") await this.files.open();
        else if (name === "btn_savecfg") await this.files.save();
        else if (name === "btn_default") await this.files.restoreDefault();
        else if (name === "btn_Applay") await this.apply();
    }

    async apply(): Promise<void> {
        const a = this.adapter;
        const notConnected = (): Promise<boolean> =>
            this.messages.message("error", t("没有连接适配器。请先按「连接适配器」并在浏览器的列表中选择适配器，然后再应用。"));
        if (this.messages.modal) return;
        if (!a?.connected) {
            await notConnected();
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
        const again = t("请拔出并重新插入适配器后再次应用。");
        switch (outcome.kind) {
            case "success":
                await this.messages.message("info", displayText("msgsuccess"), displayText("title"));
                return;
            case "no-adapter":
                await notConnected();
                return;
            case "write-failed":
                await this.messages.message(
                    "error",
                    sentences(t("适配器拒绝了 %1 的记录；之后的记录没有写入。", this.core.console(outcome.consoleId).name), again),
                );
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
            case "misnamed":
                await this.messages.message(
                    "error",
                    sentences(t("记录已发送，但适配器对 %1 的读取请求的回答标明了别的主机，无法确认它已接受。", consoleList(this.core, outcome.consoles)), again),
                );
                return;
            case "unverified":
                await this.messages.message("error", sentences(t("记录已发送，但适配器没有回答读取请求，无法确认它已接受。"), again));
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
        else if (key === "o" && !e.shiftKey) void this.files.open();
        else if (key === "s" && !e.shiftKey) void this.files.save();
        else if (key === "enter" && !e.shiftKey) void this.apply();
        else if (key === "p" && !e.shiftKey && this.printSheet) this.printSheet();
        else return;
        e.preventDefault();
    }
}
