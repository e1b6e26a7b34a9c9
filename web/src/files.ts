// The file commands: load a .kvf the user chose, save the records as one, restore the default. A
// loaded file becomes the user's records (the core's editing session keeps them whole against any
// read-back); nothing here reads a record byte.
import data from "./data.js";
import { BLOCK_SIZE, type Core } from "./core.js";
import { tr } from "./i18n.js";
import type { Messages } from "./messages.js";
import { el } from "./widgets.js";

export class Files {
    constructor(
        private readonly core: Core,
        private readonly messages: Messages,
        // After the records changed: redraw, the marks.
        private readonly changed: () => void,
    ) {}

    async loadChosen(input: HTMLInputElement): Promise<void> {
        const file = input.files?.[0];
        input.value = "";
        if (!file) return;
        let bytes: Uint8Array;
        try {
            // Only the first 108 bytes are ever read, whatever the file's size.
            bytes = new Uint8Array(await file.slice(0, BLOCK_SIZE).arrayBuffer());
        } catch {
            await this.messages.message("error", tr("messages", "ReadFile error"));
            return;
        }
        if (this.core.load(bytes, file.size) === "too-short") {
            await this.messages.message("error", tr("messages", "File invalid"));
            return;
        }
        this.core.saved(); // the file has these records: leaving loses nothing of them
        this.changed();
    }

    save(): void {
        const bytes = this.core.block();
        const url = URL.createObjectURL(new Blob([bytes as Uint8Array<ArrayBuffer>], { type: "application/octet-stream" }));
        const a = el("a");
        a.href = url;
        a.download = "velorin.kvf";
        document.body.append(a);
        a.click();
        a.remove();
        setTimeout(() => URL.revokeObjectURL(url), 10000);
        this.core.saved();
    }

    async restoreDefault(): Promise<void> {
        const title = tr("dlg_main", data.main.title.text);
        if (!(await this.messages.message("question", tr("display_texts", "是否恢复默认"), title))) return;
        let bytes: Uint8Array;
        try {
            const response = await fetch("default.kvf");
            if (!response.ok) return;
            bytes = new Uint8Array(await response.arrayBuffer());
        } catch {
            return; // restore default shows nothing on any failure after the question
        }
        if (this.core.load(bytes) === "too-short") return;
        this.core.saved(); // the default is always there to restore again
        this.changed();
    }
}
