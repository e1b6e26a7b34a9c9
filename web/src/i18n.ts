// Texts in Chinese, English or Japanese, from the window's translation documents (res/translator,
// carried into data.js at build time). Chinese is what the page's code says and is never translated;
// a translation is looked up by its context and its Chinese source, as the window does.
import data from "./data.js";

export type Lang = "zh" | "en" | "ja";

// The window's choice: zh* (and C/POSIX, which a browser never reports) Chinese, ja* Japanese, every
// other language English. `?lang=` chooses one, as the window's --lang does.
export function chooseLanguage(search: string, languages: readonly string[]): Lang {
    const asked = new URLSearchParams(search).get("lang");
    if (asked === "zh" || asked === "en" || asked === "ja") return asked;
    const first = (languages[0] ?? "").toLowerCase();
    if (first === "" || first.startsWith("zh")) return "zh";
    if (first.startsWith("ja")) return "ja";
    return "en";
}

let current: Lang = "zh";

export function setLanguage(lang: Lang): void {
    current = lang;
}

export function language(): Lang {
    return current;
}

// The text of `source` in `context` in the current language; the source itself in Chinese or when
// the document has no entry.
export function tr(context: string, source: string): string {
    if (current === "zh") return source;
    return data.translations[current]?.[context]?.[source] ?? source;
}

// The page's own texts (context "web").
export function t(source: string, ...args: string[]): string {
    let text = tr("web", source);
    args.forEach((a, i) => (text = text.replace(`%${i + 1}`, a)));
    return text;
}

// Marks a text that reaches tr() through a variable (a table of captions, say): returns the source
// as it is, and tells the translation test (web/test/texts.test.ts) that `source` is a text of
// `context`, as the window's QT_TRANSLATE_NOOP does.
export function mark(context: string, source: string): string {
    void context;
    return source;
}
