// The printable sheet: one A4 or Letter page with every button's key on the four consoles, black on
// white, in the page's language. The core draws it (core/Sheet.h, as SVG) from the records the page
// shows and the texts the page translates; it waits outside the window, hidden on screen, and the
// print style shows only it. It is drawn again just before every print, so the browser's own Print
// command prints the sheet as well, never the dark window.
import type { Core } from "./core.js";
import { language, tr } from "./i18n.js";
import { el } from "./widgets.js";

export class Printer {
    private readonly holder: HTMLElement;

    constructor(private readonly core: Core) {
        this.holder = el("div", "print-sheet");
        this.holder.id = "print-sheet";
        document.body.append(this.holder);
        window.addEventListener("beforeprint", () => this.prepare());
    }

    // The sheet of the records as they are now, in the page's language.
    prepare(): void {
        const lang = language();
        const texts = this.core.sheetSources().map((s) => (s.context ? tr(s.context, s.source) : s.source));
        const svg = this.core.sheetSvg(lang === "zh" ? "zh-CN" : lang, texts);
        const doc = new DOMParser().parseFromString(svg, "image/svg+xml");
        const root = doc.documentElement;
        if (root.localName !== "svg") return; // the core's document did not parse: print nothing new
        this.holder.replaceChildren(document.importNode(root, true));
    }

    print(): void {
        this.prepare();
        window.print();
    }
}
