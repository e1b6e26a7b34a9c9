// Texts in Chinese, English or Japanese, from the window's translation documents (res/translator,
// carried into data.js at build time). Chinese is what the page's code says and is never translated;
// a translation is looked up by its context and its Chinese source, as the window does. Also the
// eleven display texts, which a lang.xml beside the page replaces whatever the language.
import data from "./data.js";

export type Lang = "zh" | "en" | "ja";
export const LANGUAGES: readonly Lang[] = ["zh", "en", "ja"];

// The window's choice: the first entry of the browser's list that is Chinese, Japanese or English
// (by its primary subtag); a list naming none of them gets English, an empty one Chinese. `?lang=`
// chooses one, as the window's --lang does.
export function chooseLanguage(search: string, languages: readonly string[]): Lang {
    const asked = new URLSearchParams(search).get("lang");
    if (asked === "zh" || asked === "en" || asked === "ja") return asked;
    for (const entry of languages) {
        const primary = entry.toLowerCase().split(/[-_.@]/)[0];
        if (primary === "zh" || primary === "ja" || primary === "en") return primary;
    }
    return languages.length === 0 ? "zh" : "en";
}

let current: Lang = "zh";

export function setLanguage(lang: Lang): void {
    current = lang;
}

export function language(): Lang {
    return current;
}

// The value of <html lang> for a language.
export function htmlLang(lang: Lang): string {
    return lang === "zh" ? "zh-CN" : lang;
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

// Sentences one after another: Chinese and Japanese write them without a space between.
export function sentences(...parts: string[]): string {
    return parts.filter((p) => p !== "").join(current === "en" ? " " : "");
}

// Marks a text that reaches tr() through a variable (a table of captions, say): returns the source
// as it is, and tells the translation test (web/test/texts.test.ts) that `source` is a text of
// `context`, as the window's QT_TRANSLATE_NOOP does.
export function mark(context: string, source: string): string {
    void context;
    return source;
}

// ---- Display texts ----

export type DisplayKey =
    | "title"
    | "loadcfg"
    | "savecfg"
    | "default"
    | "applay"
    | "keyboard"
    | "Lclick"
    | "Rclick"
    | "Mclick"
    | "msgRestore"
    | "msgsuccess";

// The built-in values, translated; the title and the four captions have none (the layout's texts
// show instead while no lang.xml is loaded).
const BUILT_IN: Record<DisplayKey, string> = {
    title: "",
    loadcfg: "",
    savecfg: "",
    default: "",
    applay: "",
    keyboard: mark("display_texts", "键盘"),
    Lclick: mark("display_texts", "鼠标左键"),
    Rclick: mark("display_texts", "鼠标右键"),
    Mclick: mark("display_texts", "鼠标中键"),
    msgRestore: mark("display_texts", "是否恢复默认"),
    msgsuccess: mark("display_texts", "烧录成功"),
};

// The texts of a loaded lang.xml, or null.
let override: Map<DisplayKey, string> | null = null;

export function displayText(key: DisplayKey): string {
    if (override) return override.get(key) ?? "";
    return BUILT_IN[key] ? tr("display_texts", BUILT_IN[key]) : "";
}

export function displayTextsLoaded(): boolean {
    return override !== null;
}

// The largest lang.xml read, as the window's.
export const MAX_LANG_XML = 1 << 20;

// A lang.xml's bytes: UTF-8, or UTF-16 by its byte-order mark or first characters. The document
// element is `root`; each text is the `name` attribute of the element of its key directly under it.
// A missing root, element or attribute gives the empty text. Returns false, and changes nothing,
// for a file that is too large or no XML.
export function loadDisplayTexts(bytes: Uint8Array): boolean {
    if (bytes.length > MAX_LANG_XML) return false;
    const [b0, b1] = [bytes[0], bytes[1]];
    const encoding =
        (b0 === 0xff && b1 === 0xfe) || (b0 === 0x3c && b1 === 0x00)
            ? "utf-16le"
            : (b0 === 0xfe && b1 === 0xff) || (b0 === 0x00 && b1 === 0x3c)
              ? "utf-16be"
              : "utf-8";
    let text: string;
    try {
        text = new TextDecoder(encoding, { fatal: true }).decode(bytes);
    } catch {
        return false;
    }
    const doc = new DOMParser().parseFromString(text, "application/xml");
    if (doc.getElementsByTagName("parsererror").length > 0) return false;
    const root = doc.documentElement.nodeName === "root" ? doc.documentElement : null;
    const texts = new Map<DisplayKey, string>();
    for (const key of Object.keys(BUILT_IN) as DisplayKey[]) {
        const e = root ? [...root.children].find((c) => c.nodeName === key) : undefined;
        texts.set(key, e?.getAttribute("name") ?? "");
    }
    override = texts;
    return true;
}
