// The page's small modal pieces: the function menu (and the copy menu, which looks the same), the
// on-screen keyboard and the message boxes. Each returns a promise of the user's answer, as the
// window's nested loops return an integer.
import data from "./data.js";
import type { Key } from "./data.js";
import { t, tr } from "./i18n.js";

function el<K extends keyof HTMLElementTagNameMap>(tag: K, cls?: string, text?: string): HTMLElementTagNameMap[K] {
    const e = document.createElement(tag);
    if (cls) e.className = cls;
    if (text !== undefined) e.textContent = text;
    return e;
}
export { el };

// Keeps Tab inside a modal element.
function trapTab(root: HTMLElement, e: KeyboardEvent): void {
    if (e.key !== "Tab") return;
    const focusable = [...root.querySelectorAll<HTMLElement>("button:not([tabindex='-1']),[tabindex='0']")];
    if (focusable.length === 0) return;
    const first = focusable[0];
    const last = focusable[focusable.length - 1];
    if (e.shiftKey && document.activeElement === first) {
        last.focus();
        e.preventDefault();
    } else if (!e.shiftKey && document.activeElement === last) {
        first.focus();
        e.preventDefault();
    }
}

export interface MenuItem {
    id: number;
    text: string;
}

// Where a menu may go: its corner (x, y) and the rectangle it should stay inside, in the
// viewport's pixels.
export interface MenuPlace {
    x: number;
    y: number;
    bounds: DOMRect;
}

// A popup menu in `layer` (a fixed layer over the page, never scaled: the menu keeps its size on a
// phone) with its top-left corner at the place: resolves to the id chosen, or 0 when dismissed.
// Up and Down move, Return or Space takes, Esc, Left and Tab dismiss. A press of the left or right
// mouse button (or a touch) outside dismisses it and goes on to what it pressed, so one click moves
// to another box; a middle press outside does not; the page losing the focus dismisses it. A row
// is highlighted while the pointer is over it, or after the arrow keys chose it. `wide`: as wide as
// its longest entry (the copy menu), otherwise the window's 108 pixels.
export function showMenu(layer: HTMLElement, place: MenuPlace, items: MenuItem[], label: string, wide = false): Promise<number> {
    return new Promise((resolve) => {
        const returnFocus = document.activeElement as HTMLElement | null;
        const menu = el("div", wide ? "menu wide" : "menu");
        menu.setAttribute("role", "menu");
        menu.setAttribute("aria-label", label);
        menu.tabIndex = -1;
        let current = -1;
        const rows = items.map((item, i) => {
            const row = el("div", "menu-item", item.text);
            row.setAttribute("role", "menuitem");
            row.tabIndex = -1;
            row.dataset.id = String(item.id);
            row.addEventListener("click", (e) => {
                e.stopPropagation();
                finish(item.id);
            });
            // The pointer's row is highlighted by :hover; a row the keys chose gives way to it.
            row.addEventListener("mousemove", () => {
                if (current !== i) select(-1, false);
            });
            menu.append(row);
            return row;
        });
        const select = (i: number, focus = true): void => {
            rows.forEach((r, j) => r.classList.toggle("current", j === i));
            current = i;
            if (focus && rows[i]) rows[i].focus();
            else if (i < 0) menu.focus();
        };
        let done = false;
        const finish = (id: number, keepFocus = false): void => {
            if (done) return;
            done = true;
            menu.remove();
            document.removeEventListener("keydown", onKey, true);
            document.removeEventListener("pointerdown", onPointer, true);
            document.removeEventListener("contextmenu", onContext, true);
            window.removeEventListener("blur", onBlur);
            document.removeEventListener("visibilitychange", onBlur);
            if (!keepFocus) returnFocus?.focus();
            resolve(id);
        };
        const onKey = (e: KeyboardEvent): void => {
            if (e.key === "ArrowDown") select(current < 0 ? 0 : (current + 1) % rows.length);
            else if (e.key === "ArrowUp") select(current < 0 ? rows.length - 1 : (current - 1 + rows.length) % rows.length);
            else if (e.key === "Enter" || e.key === " ") {
                if (current >= 0) finish(items[current].id);
            } else if (e.key === "Escape" || e.key === "ArrowLeft" || e.key === "Tab") finish(0);
            else return;
            e.preventDefault();
            e.stopPropagation();
        };
        // Outside the menu: the left and right buttons (and a touch) dismiss it and go on to their
        // target, which then takes the focus as it would have; the middle button does nothing.
        const onPointer = (e: PointerEvent): void => {
            if (menu.contains(e.target as Node) || e.button === 1) return;
            finish(0, true);
        };
        // The right-press that dismissed the menu reaches its target's own menu; elsewhere no
        // browser menu opens over the page's.
        const onContext = (e: MouseEvent): void => {
            if (menu.contains(e.target as Node)) e.preventDefault();
        };
        // Another window or tab took the focus, or the page was hidden.
        const onBlur = (e: Event): void => {
            if (e.type === "blur" || document.visibilityState === "hidden") finish(0, true);
        };
        document.addEventListener("keydown", onKey, true);
        document.addEventListener("pointerdown", onPointer, true);
        document.addEventListener("contextmenu", onContext, true);
        window.addEventListener("blur", onBlur);
        document.addEventListener("visibilitychange", onBlur);
        layer.append(menu);
        // Placed as the window places it, inside its bounds: to the left of the corner or above it
        // where it would leave them; never outside the viewport.
        const w = menu.offsetWidth;
        const h = menu.offsetHeight;
        const b = place.bounds;
        let x = place.x + w > b.right ? place.x - w : place.x;
        let y = place.y + h > b.bottom ? place.y - h : place.y;
        x = Math.max(0, Math.min(x, document.documentElement.clientWidth - w));
        y = Math.max(0, Math.min(y, document.documentElement.clientHeight - h));
        menu.style.left = `${x}px`;
        menu.style.top = `${y}px`;
        // Nothing is selected at first, as in the window: Down selects the first entry, Up the last.
        menu.focus();
    });
}

// Scales a dialog down until it fits the viewport (a phone), keeping a margin.
function fitViewport(dialog: HTMLElement): void {
    const margin = 16;
    const w = dialog.offsetWidth;
    const h = dialog.offsetHeight;
    const root = document.documentElement;
    const scale = Math.min(1, (root.clientWidth - margin) / w, (root.clientHeight - margin) / h);
    if (scale < 1) dialog.style.setProperty("zoom", String(Math.max(scale, 0.1)));
}

// Horizontal and vertical pixels per dialog unit for the keyboard's Arial 8: a quarter of the
// average character width (6 px) and an eighth of the height (14 px), as the window measures them.
const DU_X = 1.5;
const DU_Y = 1.75;

function keyCaption(k: Key): string {
    const fix = (s: string): string => s.replace(/&&/g, "&");
    return k.lower !== undefined ? `${fix(k.upper)}\n${fix(k.lower)}` : fix(k.upper);
}

// What a screen reader says for a key: its caption on one line ("~ `"), the space bar by its name.
export function spokenKey(k: Key): string {
    const spoken = keyCaption(k).replace(/\s+/g, " ").trim();
    return spoken === "" ? "Space" : spoken;
}

// The on-screen keyboard: resolves to the chosen key's index (its id minus 1151), or null when
// closed without one (Esc, the close box). Unavailable keys are grey blocks that ignore clicks.
export function showKeyboard(host: HTMLElement, caption: string): Promise<number | null> {
    return new Promise((resolve) => {
        const kb = data.keyboard;
        const returnFocus = document.activeElement as HTMLElement | null;
        const veil = el("div", "veil dialog-veil");
        const dialog = el("div", "keyboard");
        dialog.setAttribute("role", "dialog");
        dialog.setAttribute("aria-modal", "true");
        dialog.setAttribute("aria-label", caption);
        const bar = el("div", "dialog-title");
        bar.append(el("span", "", caption));
        const close = el("button", "dialog-close", "×");
        close.setAttribute("aria-label", tr("CMainDlg", "关闭"));
        close.tabIndex = -1;
        bar.append(close);
        const client = el("div", "keyboard-client");
        client.style.width = `${kb.width * DU_X}px`;
        client.style.height = `${kb.height * DU_Y}px`;
        const frame = el("div", "keyboard-frame");
        Object.assign(frame.style, {
            left: `${kb.frame.x * DU_X}px`,
            top: `${kb.frame.y * DU_Y}px`,
            width: `${kb.frame.width * DU_X}px`,
            height: `${kb.frame.height * DU_Y}px`,
        });
        client.append(frame);
        const keys: { key: Key; button: HTMLButtonElement }[] = [];
        for (const k of kb.keys) {
            const b = el("button", k.available ? "key" : "key unavailable");
            b.type = "button";
            if (k.available) b.textContent = keyCaption(k);
            b.setAttribute("aria-label", spokenKey(k));
            if (!k.available) {
                b.setAttribute("aria-disabled", "true");
                b.setAttribute("aria-description", tr("dlg_keyboard", "不可用"));
            }
            b.dataset.index = String(k.id - 1151);
            Object.assign(b.style, {
                left: `${k.x * DU_X}px`,
                top: `${k.y * DU_Y}px`,
                width: `${k.w * DU_X}px`,
                height: `${k.h * DU_Y}px`,
            });
            b.addEventListener("click", () => {
                if (k.available) finish(k.id - 1151);
            });
            client.append(b);
            keys.push({ key: k, button: b });
        }
        // The arrow keys move to the nearest key in that direction, as in the window.
        const neighbour = (from: Key, key: string): HTMLButtonElement | null => {
            const horizontal = key === "ArrowLeft" || key === "ArrowRight";
            const forward = key === "ArrowRight" || key === "ArrowDown";
            const a = { l: from.x, r: from.x + from.w - 1, t: from.y, b: from.y + from.h - 1 };
            let best: HTMLButtonElement | null = null;
            let bestScore: [number, number] = [0, 0];
            for (const { key: k, button } of keys) {
                if (k === from) continue;
                const b = { l: k.x, r: k.x + k.w - 1, t: k.y, b: k.y + k.h - 1 };
                const along = horizontal ? (forward ? b.l - a.r : a.l - b.r) : forward ? b.t - a.b : a.t - b.b;
                const overlaps = horizontal ? b.t <= a.b && b.b >= a.t : b.l <= a.r && b.r >= a.l;
                if (along <= 0 || !overlaps) continue;
                const across = horizontal
                    ? Math.abs(b.t + b.b - a.t - a.b) / 2
                    : Math.abs(b.l + b.r - a.l - a.r) / 2;
                if (!best || along < bestScore[0] || (along === bestScore[0] && across < bestScore[1])) {
                    best = button;
                    bestScore = [along, across];
                }
            }
            return best;
        };
        const finish = (index: number | null): void => {
            veil.remove();
            document.removeEventListener("keydown", onKey, true);
            returnFocus?.focus();
            resolve(index);
        };
        const onKey = (e: KeyboardEvent): void => {
            if (e.key === "Escape") finish(null);
            else if (e.key.startsWith("Arrow")) {
                const at = keys.find((k) => k.button === document.activeElement);
                if (at) neighbour(at.key, e.key)?.focus();
            } else if (e.key === "Tab") {
                trapTab(dialog, e);
                return;
            } else return;
            e.preventDefault();
            e.stopPropagation();
        };
        close.addEventListener("click", () => finish(null));
        document.addEventListener("keydown", onKey, true);
        dialog.append(bar, client);
        veil.append(dialog);
        host.append(veil);
        fitViewport(dialog);
        // The first focus is Esc, the top-left key.
        (keys.find((k) => k.key.upper === "Esc") ?? keys[0])?.button.focus();
    });
}

export type BoxKind = "error" | "info" | "question";

// A message box: the caption (when there is one), the icon of its kind, the text, and OK (or Yes
// and No for a question, with No as the default).
// Resolves to true for OK or Yes.
export function showMessage(host: HTMLElement, kind: BoxKind, text: string, title = ""): Promise<boolean> {
    return new Promise((resolve) => {
        const returnFocus = document.activeElement as HTMLElement | null;
        const veil = el("div", "veil dialog-veil");
        const box = el("div", `message ${kind}`);
        box.setAttribute("role", "alertdialog");
        box.setAttribute("aria-modal", "true");
        const body = el("p", "message-text", text);
        body.id = "message-text";
        box.setAttribute("aria-describedby", body.id);
        if (title) box.setAttribute("aria-label", title);
        else box.setAttribute("aria-labelledby", body.id);
        const buttons = el("div", "message-buttons");
        const finish = (answer: boolean): void => {
            veil.remove();
            document.removeEventListener("keydown", onKey, true);
            returnFocus?.focus();
            resolve(answer);
        };
        const add = (label: string, answer: boolean): HTMLButtonElement => {
            const b = el("button", "message-button", label);
            b.type = "button";
            b.addEventListener("click", () => finish(answer));
            buttons.append(b);
            return b;
        };
        let focus: HTMLButtonElement;
        if (kind === "question") {
            add(t("是"), true);
            focus = add(t("否"), false);
        } else {
            focus = add(t("确定"), true);
        }
        const onKey = (e: KeyboardEvent): void => {
            if (e.key === "Escape") finish(false);
            else if (e.key === "Tab") {
                trapTab(box, e);
                return;
            } else return;
            e.preventDefault();
            e.stopPropagation();
        };
        document.addEventListener("keydown", onKey, true);
        if (title) box.append(el("div", "message-title", title));
        const icon = el("span", `message-icon ${kind}`, kind === "error" ? "×" : kind === "question" ? "?" : "i");
        icon.setAttribute("aria-hidden", "true");
        const content = el("div", "message-content");
        content.append(icon, body);
        box.append(content, buttons);
        veil.append(box);
        host.append(veil);
        fitViewport(box);
        focus.focus();
    });
}
