// What the page tells the user: the message boxes (modal, as the window's), and the banners above
// the frame for what needs no answer (no WebHID, a refused open, an incomplete read-back, kept
// changes, a newer version).
import type { ConnectFailure, NoWebHid } from "./adapter.js";
import { t, tr } from "./i18n.js";
import { el, showMessage, type BoxKind } from "./widgets.js";

export class Messages {
    modal = false; // a menu, the keyboard or a message box is open

    constructor(
        private readonly frame: HTMLElement,
        private readonly banner: HTMLElement,
    ) {}

    // Runs a modal piece (menu, keyboard, message box); nothing else starts meanwhile.
    async modally<T>(run: () => Promise<T>): Promise<T> {
        this.modal = true;
        try {
            return await run();
        } finally {
            this.modal = false;
        }
    }

    message(kind: BoxKind, text: string, title = ""): Promise<boolean> {
        return this.modally(() => showMessage(this.frame, kind, text, title));
    }

    // A banner of one kind (a newer one of the same kind replaces it), with a close button.
    showBanner(kind: string, text: string, role: "alert" | "status" = "alert"): HTMLElement {
        this.banner.querySelector(`.banner.${kind}`)?.remove();
        const b = el("div", `banner ${kind}`);
        b.setAttribute("role", role);
        const p = el("p", "banner-text", text);
        const close = el("button", "banner-close", "×");
        close.type = "button";
        close.setAttribute("aria-label", tr("CMainDlg", "关闭"));
        close.addEventListener("click", () => b.remove());
        b.append(close, p);
        this.banner.append(b);
        return b;
    }

    dropBanner(kind: string): void {
        this.banner.querySelector(`.banner.${kind}`)?.remove();
    }

    say(text: string): void {
        this.showBanner("notice", text);
    }

    // A banner with one action button.
    offer(kind: string, text: string, action: string, run: () => void): HTMLElement {
        const b = this.showBanner(kind, text, "status");
        const button = el("button", "banner-action", action);
        button.type = "button";
        button.addEventListener("click", () => {
            b.remove();
            run();
        });
        b.append(button);
        return b;
    }

    noWebHid(f: NoWebHid): void {
        const text =
            f.why === "insecure"
                ? t("WebHID 只能在安全的页面上使用（HTTPS 或 http://localhost）。")
                : f.why === "blocked"
                  ? t("此页面的策略禁止使用 WebHID。")
                  : t("此浏览器不支持 WebHID，无法连接适配器。请使用 Chrome、Edge 或 Opera。");
        this.showBanner("no-webhid", `${text} ${t("文件功能仍然可以使用。")}`);
    }

    // A failure to connect, as the user can act on it.
    async failure(f: ConnectFailure): Promise<void> {
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
        more.append(el("p", "", t("在 Linux 上，这通常是 hidraw 设备的权限问题。安装项目的 udev 规则，然后拔出并重新插入适配器：")));
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
}
