// Every text the page's code asks for by its Chinese source has an English and a Japanese
// translation in the documents the site carries (res/translator through data.js). A text that
// reaches t() or tr() through a variable must be marked where it is written (mark() in i18n.ts), or
// come from where the window's own translation test finds it (the layouts, the core's
// VELORIN_TEXT): every such call is listed below, so a new one is looked at before it passes.
import { test } from "node:test";
import assert from "node:assert/strict";
import { readdirSync, readFileSync } from "node:fs";
import { join } from "node:path";
import { pathToFileURL } from "node:url";
import { ROOT, SITE } from "./harness.js";

interface Data {
    translations: Record<string, Record<string, Record<string, string>>>;
}

// The calls whose text is not a literal, and where the text is checked instead.
const THROUGH_VARIABLES: Record<string, string> = {
    'files.ts tr("pad", button.spoken)': "the core's spoken button names (VELORIN_TEXT)",
    'view.ts tr("dlg_main", data.main.title.text)': "the main layout's title",
    'view.ts tr("dlg_main", b.text)': "the main layout's tab and command captions",
    'view.ts tr("pad", v.button.spoken)': "the core's spoken button names (VELORIN_TEXT)",
    'view.ts tr("pad", info.spoken)': "the core's spoken button names (VELORIN_TEXT)",
    'i18n.ts tr("display_texts", BUILT_IN[key])': "the display texts' built-in values, marked",
    'i18n.ts tr("web", source)': "t() itself",
    'changes.ts tr("pad", button.spoken)': "the core's spoken button names (VELORIN_TEXT)",
    'print.ts tr(s.context, s.source)': "the core's sheet texts (VELORIN_TEXT and the spoken button names)",
};

// The arguments of the call whose "(" is at `open`, split at the top-level commas.
function args(code: string, open: number): string[] {
    const out: string[] = [];
    let depth = 0;
    let quote = "";
    let start = open + 1;
    for (let i = open; i < code.length; ++i) {
        const ch = code[i];
        if (quote) {
            if (ch === "\\") ++i;
            else if (ch === quote) quote = "";
            continue;
        }
        if (ch === '"' || ch === "'" || ch === "`") quote = ch;
        else if (ch === "(" || ch === "[" || ch === "{") ++depth;
        else if (ch === ")" || ch === "]" || ch === "}") {
            if (--depth === 0) {
                out.push(code.slice(start, i).trim());
                return out.filter((a) => a !== "");
            }
        } else if (ch === "," && depth === 1) {
            out.push(code.slice(start, i).trim());
            start = i + 1;
        }
    }
    return out;
}

const literal = (a: string | undefined): string | null => (a && /^"[^"]*"$/.test(a) ? a.slice(1, -1) : null);

test("every text of the page has an English and a Japanese translation", async () => {
    const data = ((await import(pathToFileURL(join(SITE, "data.js")).href)) as { default: Data }).default;
    const src = join(ROOT, "web", "src");
    const wanted: { context: string; source: string; file: string }[] = [];
    const unexplained: string[] = [];
    for (const file of readdirSync(src).filter((f) => f.endsWith(".ts"))) {
        const code = readFileSync(join(src, file), "utf8").replace(/^\s*\/\/.*$/gm, "");
        for (const m of code.matchAll(/(?<![.\w])(t|tr|mark)\(/g)) {
            if (/function\s+$/.test(code.slice(Math.max(0, m.index! - 12), m.index))) continue; // the definitions
            const a = args(code, m.index! + m[0].length - 1);
            const [context, source] = m[1] === "t" ? ['"web"', a[0]] : [a[0], a[1]];
            if (literal(context) !== null && literal(source) !== null) {
                wanted.push({ context: literal(context)!, source: literal(source)!, file });
                continue;
            }
            const call = `${file} ${m[1]}(${a.join(", ")})`.replace(/\s+/g, " ");
            if (!(call in THROUGH_VARIABLES)) unexplained.push(call);
        }
    }
    assert.ok(wanted.length > 20, `only ${wanted.length} texts found: the pattern no longer matches the code`);
    assert.deepEqual(unexplained, [], "texts passed through variables: mark() them where they are written, or list the call here");
    const missing = [];
    for (const lang of ["en", "ja"])
        for (const w of wanted)
            if (!data.translations[lang]?.[w.context]?.[w.source]) missing.push(`${lang} [${w.context}] ${w.source} (${w.file})`);
    assert.deepEqual(missing, []);
});

// The window's choice of language from the browser's list: the first entry that is Chinese,
// Japanese or English, wherever it stands; English for a list of other languages; ?lang= first.
test("the language is the first of zh, ja and en anywhere in the browser's list", async () => {
    const { chooseLanguage } = (await import(pathToFileURL(join(SITE, "i18n.js")).href)) as {
        chooseLanguage(search: string, languages: readonly string[]): string;
    };
    const cases: [string, string[], string][] = [
        ["", ["fr-FR", "ja"], "ja"],
        ["", ["de", "fr", "en-GB", "zh-TW"], "en"],
        ["", ["zh-Hant-TW", "en"], "zh"],
        ["", ["fr-FR", "es"], "en"],
        ["", ["JA_jp"], "ja"],
        ["", ["jam", "eng"], "en"], // neither is a primary subtag of the three
        ["", [], "zh"],
        ["?lang=ja", ["en-US"], "ja"],
        ["?lang=xx", ["fr", "zh"], "zh"],
    ];
    for (const [search, languages, want] of cases) assert.equal(chooseLanguage(search, languages), want, `${search} ${languages.join(",")}`);
});
