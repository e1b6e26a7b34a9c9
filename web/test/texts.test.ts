// Every text the page's code asks for by its Chinese source has an English and a Japanese
// translation in the documents the site carries (res/translator through data.js).
import { test } from "node:test";
import assert from "node:assert/strict";
import { readdirSync, readFileSync } from "node:fs";
import { join } from "node:path";
import { pathToFileURL } from "node:url";
import { ROOT, SITE } from "./harness.js";

interface Data {
    translations: Record<string, Record<string, Record<string, string>>>;
}

test("every literal text of the page has an English and a Japanese translation", async () => {
    const data = ((await import(pathToFileURL(join(SITE, "data.js")).href)) as { default: Data }).default;
    const src = join(ROOT, "web", "src");
    const wanted: { context: string; source: string; file: string }[] = [];
    for (const file of readdirSync(src).filter((f) => f.endsWith(".ts"))) {
        const code = readFileSync(join(src, file), "utf8");
        for (const m of code.matchAll(/\bt\(\s*"([^"]+)"/g)) wanted.push({ context: "web", source: m[1], file });
        for (const m of code.matchAll(/\btr\(\s*"(\w+)",\s*"([^"]+)"/g)) wanted.push({ context: m[1], source: m[2], file });
    }
    assert.ok(wanted.length > 20, `only ${wanted.length} texts found: the pattern no longer matches the code`);
    const missing = [];
    for (const lang of ["en", "ja"])
        for (const w of wanted)
            if (!data.translations[lang]?.[w.context]?.[w.source]) missing.push(`${lang} [${w.context}] ${w.source} (${w.file})`);
    assert.deepEqual(missing, []);
});
