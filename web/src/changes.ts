// What Apply will change, from the core's change list (core/ChangeList.h): per console, each button
// whose key differs from what the adapter is known to hold, old key -> new key, and the consoles
// whose records on the adapter were never read (apply writes them whole). The apply button's
// tooltip carries the first lines; the panel, opened from the apply button's menu, all of them.
import type { ConsoleChanges, Core } from "./core.js";
import { tr } from "./i18n.js";
import { codeText } from "./view.js";
import { el } from "./widgets.js";

// Lines the tooltip shows before it points to the panel.
const TOOLTIP_LINES = 12;

export interface ConsoleLines {
    consoleId: number;
    heading: string; // "PS4", or what a console never read says
    lines: string[]; // "L1: Q → Space"
}

export function changeLines(core: Core, changes: ConsoleChanges[]): ConsoleLines[] {
    return changes.map((c) => {
        const info = core.console(c.consoleId);
        const heading = c.neverRead
            ? tr("CMainDlg", "%1：适配器中的记录未曾读取，应用会写入整条记录").replace("%1", info.name)
            : info.name;
        const lines = c.buttons.map((b) => {
            const button = info.buttons.find((x) => x.id === b.button);
            return tr("CMainDlg", "%1：%2 → %3")
                .replace("%1", button ? tr("pad", button.spoken) : String(b.button))
                .replace("%2", codeText(core, b.from))
                .replace("%3", codeText(core, b.to));
        });
        return { consoleId: c.consoleId, heading, lines };
    });
}

// The tooltip's lines: "PS4 L1: Q → Space" ..., at most TOOLTIP_LINES, then how many more.
export function tooltipLines(core: Core, changes: ConsoleChanges[]): string[] {
    const all: string[] = [];
    for (const c of changeLines(core, changes)) {
        if (c.lines.length === 0) all.push(c.heading);
        const name = core.console(c.consoleId).name;
        for (const line of c.lines) all.push(`${name} ${line}`);
    }
    if (all.length <= TOOLTIP_LINES) return all;
    const more = all.length - (TOOLTIP_LINES - 1);
    return [...all.slice(0, TOOLTIP_LINES - 1), tr("CMainDlg", "……另有 %1 项：在「应用」的右键菜单中查看全部").replace("%1", String(more))];
}

// The panel: a dialog with a heading and one list per console; Esc, the close button or a click
// beside it closes it.
export function showChanges(host: HTMLElement, core: Core): Promise<void> {
    return new Promise((resolve) => {
        const returnFocus = document.activeElement as HTMLElement | null;
        const veil = el("div", "veil dialog-veil");
        const box = el("div", "message changes");
        box.id = "changes-panel";
        box.setAttribute("role", "dialog");
        box.setAttribute("aria-modal", "true");
        const title = el("h2", "changes-title", tr("CMainDlg", "应用将写入的更改"));
        title.id = "changes-title";
        box.setAttribute("aria-labelledby", title.id);
        box.append(title);
        const groups = changeLines(core, core.changes());
        if (groups.length === 0) box.append(el("p", "message-text", tr("CMainDlg", "应用不会改变适配器中的任何按键。")));
        for (const g of groups) {
            const section = el("section", "changes-console");
            const heading = el("h3", "changes-heading", g.heading);
            section.append(heading);
            if (g.lines.length) {
                const list = el("ul", "changes-list");
                for (const line of g.lines) list.append(el("li", "", line));
                section.append(list);
            }
            box.append(section);
        }
        const buttons = el("div", "message-buttons");
        const close = el("button", "message-button", tr("CMainDlg", "关闭"));
        close.type = "button";
        buttons.append(close);
        box.append(buttons);
        const finish = (): void => {
            veil.remove();
            document.removeEventListener("keydown", onKey, true);
            returnFocus?.focus();
            resolve();
        };
        const onKey = (e: KeyboardEvent): void => {
            if (e.key === "Escape") finish();
            else if (e.key === "Tab") e.preventDefault(); // one control: the focus stays on it
            else return;
            e.preventDefault();
            e.stopPropagation();
        };
        close.addEventListener("click", finish);
        veil.addEventListener("click", (e) => {
            if (e.target === veil) finish();
        });
        document.addEventListener("keydown", onKey, true);
        veil.append(box);
        host.append(veil);
        close.focus();
    });
}
