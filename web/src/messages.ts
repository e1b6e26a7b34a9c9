// What the page tells the user: the message boxes (modal, as the window's), and the banners above
// the frame for what needs no answer (no WebHID, a refused open, an incomplete read-back, kept
// changes, a newer version, a core that did not load). A banner is written again in the new
// language when the language changes.
import type { ConnectFailure, NoWebHid } from "./adapter.js";
import { sentences, t, tr } from "./i18n.js";
import { el, showMessage, type BoxKind } from "./widgets.js";

// Fills a banner's content in the page's language (again after a change of the language).
type Render = (content: HTMLElement) => void;

export class Messages {
    modal = false; // a menu, the keyboard or a message box is open
    private readonly renders = new Map<HTMLElement, Render>();

    constructor(
        private readonly layer: HTMLElement,
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
        return this.modally(() => showMessage(this.layer, kind, text, title));
    }

    // A banner of one kind (a newer one of the same kind replaces it), with a close button.
    showBanner(kind: string, render: Render | string, role: "alert" | "status" = "alert"): HTMLElement {
        this.dropBanner(kind);
        const b = el("div", `banner ${kind}`);
        b.setAttribute("role", role);
        const close = el("button", "banner-close", "×");
        close.type = "button";
        close.addEventListener("click", () => this.remove(b));
        const content = el("div", "banner-content");
        b.append(close, content);
        const fill: Render =
            typeof render === "string"
                ? (c) => c.append(el("p", "banner-text", render))
                : render;
        this.renders.set(b, (c) => {
            close.setAttribute("aria-label", tr("CMainDlg", "关闭"));
            c.replaceChildren();
            fill(c);
        });
        this.renders.get(b)!(content);
        this.banner.append(b);
        return b;
    }

    private remove(b: HTMLElement): void {
        this.renders.delete(b);
        b.remove();
    }

    dropBanner(kind: string): void {
        const b = this.banner.querySelector<HTMLElement>(`.banner.${kind}`);
        if (b) this.remove(b);
    }

    // Every banner again in the page's language.
    retext(): void {
        for (const [b, render] of this.renders) render(b.querySelector(".banner-content")!);
    }

    // A banner of the page's own texts, in the page's language now and after a change of it.
    say(kind: string, text: () => string): void {
        this.showBanner(kind, (c) => c.append(el("p", "banner-text", text())));
    }

    // A banner with one action button.
    offer(kind: string, text: () => string, action: () => string, run: () => void): HTMLElement {
        const b = this.showBanner(
            kind,
            (c) => {
                const button = el("button", "banner-action", action());
                button.type = "button";
                button.addEventListener("click", () => {
                    this.remove(b);
                    run();
                });
                c.append(el("p", "banner-text", text()), button);
            },
            "status",
        );
        return b;
    }

    noWebHid(f: NoWebHid): void {
        this.say("no-webhid", () => {
            const text =
                f.why === "insecure"
                    ? t("WebHID 只能在安全的页面上使用（HTTPS 或 http://localhost）。")
                    : f.why === "blocked"
                      ? t("此页面的策略禁止使用 WebHID。")
                      : f.why === "mobile"
                        ? t("手机和平板电脑上的浏览器没有 WebHID，无法连接适配器：请在电脑上使用 Chrome、Edge 或 Opera。")
                        : t("此浏览器不支持 WebHID，无法连接适配器。请使用 Chrome、Edge 或 Opera。");
            return sentences(text, t("文件功能仍然可以使用。"));
        });
    }

    // The core did not load: nothing but this message can work.
    coreFailed(detail: string): void {
        this.say("core-failed", () =>
            sentences(
                t("页面未能完整加载（%1）。", detail),
                t("请重新加载页面；如果仍然失败，请清除此网站的数据后再试。"),
            ),
        );
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
        this.showBanner("open-refused", (c) => {
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
            c.append(el("p", "banner-text", t("浏览器无法打开适配器。")), more);
        });
    }
}
