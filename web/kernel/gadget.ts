// The gadget adapter of the kernel test machine, driven over velorin-gadget's control socket
// ($VELORIN_GADGET_CONTROL): one line out, the lines of its answer back (docs/velorin-gadget.md).
import { createConnection } from "node:net";

export interface Answer {
    lines: string[];
    final: string; // "ok ...", "pong ..." or "err ..."
}

// An answer longer than this is no answer of the gadget's.
const MAX_ANSWER = 1 << 20;

export function gadget(line: string): Promise<Answer> {
    const path = process.env.VELORIN_GADGET_CONTROL ?? "";
    return new Promise((resolve, reject) => {
        const socket = createConnection(path);
        const lines: string[] = [];
        let buffer = "";
        let settled = false;
        const end = (error: Error | null, answer?: Answer): void => {
            if (settled) return;
            settled = true;
            socket.destroy();
            if (error) reject(error);
            else resolve(answer!);
        };
        socket.setEncoding("utf8");
        socket.on("connect", () => socket.write(`${line}\n`));
        socket.on("data", (chunk: string) => {
            buffer += chunk;
            if (buffer.length > MAX_ANSWER) return end(new Error(`the gadget's answer to "${line}" has no end`));
            for (let nl = buffer.indexOf("\n"); nl >= 0; nl = buffer.indexOf("\n")) {
                const l = buffer.slice(0, nl);
                buffer = buffer.slice(nl + 1);
                if (/^(ok|pong|err)\b/.test(l)) return end(null, { lines, final: l });
                lines.push(l);
            }
        });
        socket.on("error", (e) => end(new Error(`the gadget's control socket ${path}: ${e.message}`)));
        socket.on("close", () => end(new Error(`the gadget closed the control socket before answering "${line}"`)));
    });
}

// A command that must succeed.
export async function command(line: string): Promise<void> {
    const a = await gadget(line);
    if (!a.final.startsWith("ok") && !a.final.startsWith("pong")) throw new Error(`gadget "${line}": ${a.final}`);
}

function bytesOf(hexText: string): number[] {
    if (!/^([0-9a-f]{2})*$/i.test(hexText)) throw new Error(`not hex: ${hexText}`);
    return Array.from({ length: hexText.length / 2 }, (_, i) => parseInt(hexText.slice(2 * i, 2 * i + 2), 16));
}

export function hexOf(bytes: ArrayLike<number>): string {
    return Array.from(bytes, (b) => b.toString(16).padStart(2, "0")).join("");
}

// An output report the firmware received: how it travelled ("interrupt" or "set_report"), what the
// firmware made of it, and its 64 bytes (the report ID 0 in front left off).
export interface Received {
    way: string;
    outcome: string;
    bytes: number[];
}

export async function received(): Promise<Received[]> {
    const out: Received[] = [];
    for (const l of (await gadget("received")).lines) {
        const [word, , way, outcome, data] = l.split(" ");
        if (word !== "out" || !way || !outcome || !data) continue;
        const bytes = bytesOf(data);
        if (bytes[0] !== 0) throw new Error(`a report with ID ${bytes[0]}: ${l}`);
        out.push({ way, outcome, bytes: bytes.slice(1) });
    }
    return out;
}

// The four records the firmware holds, back to back in block order (PS3, PS4, SWITCH, XBOX).
export async function records(): Promise<number[]> {
    const block = new Array<number>(108).fill(-1);
    for (const l of (await gadget("dump")).lines) {
        const [word, , slot, data] = l.split(" ");
        const i = Number(slot);
        if (word !== "record" || !(i >= 0 && i < 4) || !data) continue;
        const record = bytesOf(data);
        if (record.length !== 27) throw new Error(`a record of ${record.length} bytes: ${l}`);
        block.splice(27 * i, 27, ...record);
    }
    if (block.includes(-1)) throw new Error("the gadget did not name all four records");
    return block;
}

// Stores the four records of a block in the firmware.
export async function storeBlock(block: number[]): Promise<void> {
    for (let i = 0; i < 4; ++i) await command(`store ${hexOf(block.slice(27 * i, 27 * i + 27))}`);
}
