// A mapping as a link: "Copy link" puts the page's own address with the records in its fragment
// ("#m=" and 144 characters, the core's codec) on the clipboard, and a page opened with such a
// fragment (or given one later, as a link pasted into the address bar of an open page) loads the
// mapping as the user's records, as a loaded file does: it writes nothing to the adapter. Where
// the user has changes neither applied nor saved, the page asks first, and keeping them is the
// default. Once the page has acted on a fragment (loaded it, kept the user's changes instead, or
// refused it as malformed), the fragment leaves the address bar, so a reload never loads it again
// over later edits; "Copy link" gives the records' link at any time. A fragment without a mapping
// is no link of ours and is left alone.
import type { Core, LinkProblem } from "./core.js";
import { t } from "./i18n.js";
import type { Messages } from "./messages.js";
import { el } from "./widgets.js";

export class Links {
    constructor(
        private readonly core: Core,
        private readonly messages: Messages,
        // After the records changed: redraw, the marks.
        private readonly changed: () => void,
    ) {}

    // The page's address without its fragment: where the link leads.
    private base(): string {
        return location.href.split("#")[0];
    }

    link(): string {
        return this.core.link(this.base());
    }

    // Copies the link; the banner shows it too, so that it can be copied by hand where the browser
    // refuses the clipboard.
    async copy(): Promise<void> {
        const link = this.link();
        if (!link) return;
        let copied = true;
        try {
            await navigator.clipboard.writeText(link);
        } catch {
            copied = false;
        }
        this.messages.showBanner(
            "link",
            (c) =>
                c.append(
                    el(
                        "p",
                        "banner-text",
                        copied
                            ? t("链接已复制到剪贴板。打开它的人会看到这些按键映射，需要应用后才会写入适配器：")
                            : t("浏览器不允许写入剪贴板。请复制下面的链接："),
                    ),
                    el("pre", "link-text", link),
                ),
            "status",
        );
    }

    // The mapping in the address's fragment, if there is one: taken once the user agrees.
    async open(): Promise<void> {
        const fragment = location.hash;
        // Not while a menu, a message or an apply is open: the fragment stays for the next load.
        if (fragment.length <= 1 || this.messages.modal) return;
        const problem = this.core.checkLink(fragment);
        if (problem === "no-mapping") return;
        this.forgetFragment();
        if (problem) {
            await this.messages.message("error", `${problemText(problem)}\n${t("按键映射没有改变。")}`);
            return;
        }
        if (
            this.core.unsaved() &&
            !(await this.messages.message(
                "question",
                t("你有尚未应用也未保存的更改。要用链接中的按键映射替换它们吗？选择“否”会保留你的更改。"),
            ))
        )
            return;
        if (this.core.takeLink() === "changed") this.changed();
        this.messages.showBanner("link", (c) => c.append(el("p", "banner-text", t("已载入链接中的按键映射。应用之后才会写入适配器。"))), "status");
    }

    // The fragment leaves the address bar, without a new entry in the history.
    private forgetFragment(): void {
        history.replaceState(history.state, "", this.base());
    }
}

function problemText(problem: Exclude<LinkProblem, "no-mapping">): string {
    switch (problem) {
        case "too-long":
            return t("这个链接太长，不是按键映射链接。");
        case "two-mappings":
            return t("链接中有两个按键映射，无法确定要用哪一个。");
        case "wrong-length":
            return t("链接中的按键映射长度不对（应为 144 个字符），链接可能不完整。");
        case "bad-character":
            return t("链接中的按键映射含有不允许的字符，链接可能被改动过。");
    }
}
