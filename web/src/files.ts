// The file commands: load a .kvf the user chose, save the records as one, restore the default. A
// loaded file becomes the user's records (the core's editing session keeps them whole against any
// read-back); nothing here reads a record byte. Where the browser has them, its open and save
// pickers choose the file (a name and a folder); elsewhere the file input and a download do.
import { BLOCK_SIZE, type Core, type Oddities } from "./core.js";
import { displayText, t, tr } from "./i18n.js";
import type { Messages } from "./messages.js";
import { el } from "./widgets.js";

// The parts of the browser's file pickers the page uses.
interface PickerFile {
    getFile(): Promise<File>;
    createWritable(): Promise<{ write(data: BufferSource): Promise<void>; close(): Promise<void>; abort?(): Promise<void> }>;
}
interface PickerType {
    description: string;
    accept: Record<string, string[]>;
}
interface Pickers {
    showOpenFilePicker?(options: { types: PickerType[]; excludeAcceptAllOption?: boolean }): Promise<PickerFile[]>;
    showSaveFilePicker?(options: { suggestedName: string; types: PickerType[] }): Promise<PickerFile>;
}

const cancelled = (e: unknown): boolean => e instanceof DOMException && e.name === "AbortError";
const reason = (e: unknown): string => (e instanceof Error ? e.message : String(e));

export class Files {
    constructor(
        private readonly core: Core,
        private readonly messages: Messages,
        private readonly input: HTMLInputElement,
        // After the records changed: redraw, the marks.
        private readonly changed: () => void,
    ) {}

    private get pickers(): Pickers {
        return window as unknown as Pickers;
    }

    private types(): PickerType[] {
        return [{ description: t("Velorin 按键分配文件"), accept: { "application/octet-stream": [".kvf"] } }];
    }

    // Load file: the browser's open picker, or the file input.
    async open(): Promise<void> {
        const picker = this.pickers.showOpenFilePicker;
        if (!picker) {
            this.input.click();
            return;
        }
        let file: File;
        try {
            const [handle] = await this.messages.modally(() => picker.call(window, { types: this.types() }));
            file = await handle.getFile();
        } catch (e) {
            if (!cancelled(e)) this.input.click(); // a picker the page may not use here
            return;
        }
        await this.load(file);
    }

    async loadChosen(input: HTMLInputElement): Promise<void> {
        const file = input.files?.[0];
        input.value = "";
        if (file) await this.load(file);
    }

    private async load(file: File): Promise<void> {
        let bytes: Uint8Array;
        try {
            // Only the first 108 bytes are ever read, whatever the file's size.
            bytes = new Uint8Array(await file.slice(0, BLOCK_SIZE).arrayBuffer());
        } catch (e) {
            await this.messages.message("error", t("无法读取文件 %1（%2）。请再选择一次。", file.name, reason(e)));
            return;
        }
        if (this.core.load(bytes, file.size) === "too-short") {
            await this.messages.message(
                "error",
                t("文件 %1 只有 %2 字节，不是按键分配文件（至少 108 字节）。没有载入任何内容。", file.name, String(file.size)),
            );
            return;
        }
        this.core.saved(); // the file has these records: leaving loses nothing of them
        this.changed();
        this.sayOddities(file.name, this.core.oddities());
    }

    // A file loads as the window loads it; what it holds that the window would not write is said.
    private sayOddities(name: string, odd: Oddities): void {
        const core = this.core;
        if (odd.ids.length === 0 && odd.unnamed.length === 0) {
            this.messages.dropBanner("file-odd");
            return;
        }
        const hex = (n: number): string => `0x${n.toString(16).toUpperCase().padStart(2, "0")}`;
        this.messages.say("file-odd", () => {
            const lines = [t("文件 %1 已载入，但其中有异常：", name)];
            for (const o of odd.ids)
                lines.push(t("%1 的记录标明的主机编号是 %2，应为 %3；应用时会写入正确的编号。", core.console(o.consoleId).name, hex(o.byte), String(o.consoleId)));
            if (odd.unnamed.length) {
                const boxes = odd.unnamed.map((u) => {
                    const c = core.console(u.consoleId);
                    const button = c.buttons.find((b) => b.id === u.button);
                    return `${c.name} ${button ? tr("pad", button.spoken) : u.button} (${hex(u.code)})`;
                });
                lines.push(t("这些按钮的代码不对应任何按键，框中显示代码本身：%1。", boxes.join(tr("CMainDlg", "、"))));
            }
            return lines.join("\n");
        });
    }

    // Save file: the browser's save picker (a name and a folder), or a download of velorin.kvf.
    async save(): Promise<void> {
        const bytes = this.core.block();
        const picker = this.pickers.showSaveFilePicker;
        if (picker) {
            // Nothing changes the records while the picker is open and the file is written.
            const outcome = await this.messages.modally(async (): Promise<"saved" | "cancelled" | "no-picker" | Error> => {
                let handle: PickerFile;
                try {
                    handle = await picker.call(window, { suggestedName: "velorin.kvf", types: this.types() });
                } catch (e) {
                    return cancelled(e) ? "cancelled" : "no-picker";
                }
                try {
                    // The browser writes a copy and puts it in place only when closed: a failed write
                    // leaves the file as it was.
                    const writable = await handle.createWritable();
                    await writable.write(bytes as Uint8Array<ArrayBuffer>);
                    await writable.close();
                    return "saved";
                } catch (e) {
                    return e instanceof Error ? e : new Error(String(e));
                }
            });
            if (outcome === "saved") this.core.saved();
            if (outcome instanceof Error)
                await this.messages.message("error", t("文件没有保存（%1）；原来的文件保持不变。请再保存一次，或换一个文件夹。", outcome.message));
            if (outcome !== "no-picker") return;
        }
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
        if (!(await this.messages.message("question", displayText("msgRestore"), displayText("title")))) return;
        const failed = (why: string): Promise<boolean> =>
            this.messages.message("error", t("无法读取默认设置（%1）。请检查网络连接后再试。", why));
        let bytes: Uint8Array;
        try {
            const response = await fetch("default.kvf");
            if (!response.ok) {
                await failed(`HTTP ${response.status}`);
                return;
            }
            bytes = new Uint8Array((await response.arrayBuffer()).slice(0, BLOCK_SIZE));
        } catch (e) {
            await failed(reason(e));
            return;
        }
        if (this.core.load(bytes) === "too-short") {
            await failed(t("文件只有 %1 字节", String(bytes.length)));
            return;
        }
        this.core.saved(); // the default is always there to restore again
        this.changed();
    }
}
