// The page's editing history and what it knows the adapter holds, with the rules of the apply
// button's mark and of the warning before the page is left.
//
// History: one step per change of the four records (a key or mouse button chosen, a file loaded,
// the default restored, the records read back, a copy between consoles); undo and redo only change
// what the page shows. The steps are snapshots of the 108 bytes the core holds.
//
// The mark: a change of the user's (an edit, a load, the default, a copy) counts per console, by
// content, against what was last read back or applied for it (against the page's first records
// while nothing was); an edit undone is no change. Apart from changes, a record the adapter holds
// that was never read back, applied or loaded is one an apply would overwrite unseen: the mark says
// so as long as an adapter is connected.
import { BLOCK_SIZE, RECORD_SIZE, type Core } from "./core.js";

export const MAX_STEPS = 1000;

function equal(a: Uint8Array, b: Uint8Array): boolean {
    return a.length === b.length && a.every((v, i) => v === b[i]);
}

export class History {
    private steps: Uint8Array[] = [];
    private at = 0; // index of the step the block is at

    constructor(private readonly core: Core) {
        this.steps = [core.block()];
    }

    // The block was changed by a step (of the user's or a read-back): keep it, unless it did not change.
    commit(): boolean {
        const now = this.core.block();
        if (equal(now, this.steps[this.at])) return false;
        this.steps = this.steps.slice(0, this.at + 1);
        this.steps.push(now);
        if (this.steps.length > MAX_STEPS + 1) this.steps.shift();
        this.at = this.steps.length - 1;
        return true;
    }
    // The block was changed by something that is no step (apply prepares the records in place).
    sync(): void {
        this.steps[this.at] = this.core.block();
    }
    canUndo(): boolean {
        return this.at > 0;
    }
    canRedo(): boolean {
        return this.at < this.steps.length - 1;
    }
    undo(): boolean {
        if (!this.canUndo()) return false;
        this.core.loadBlock(this.steps[--this.at]);
        return true;
    }
    redo(): boolean {
        if (!this.canRedo()) return false;
        this.core.loadBlock(this.steps[++this.at]);
        return true;
    }
}

export class AdapterKnowledge {
    // Per console id: what the adapter was last seen to hold (read back or applied).
    private held = new Map<number, Uint8Array>();
    // What each console's changes are counted against.
    private base = new Map<number, Uint8Array>();
    // Consoles whose record on the page came from a file the user chose (load, default).
    private chosen = new Set<number>();
    // The block as last saved to (or loaded from) a file.
    private saved: Uint8Array;

    constructor(private readonly core: Core) {
        const block = core.block();
        for (const c of core.consoles) this.base.set(c.id, core.record(c.id, block));
        this.saved = block;
    }

    // A new adapter: what it holds is known only once read back.
    forget(): void {
        this.held.clear();
    }
    // The adapter holds the page's current record of this console (read back or written).
    holds(consoleId: number, record = this.core.record(consoleId)): void {
        this.held.set(consoleId, record.slice(0, RECORD_SIZE));
        this.base.set(consoleId, record.slice(0, RECORD_SIZE));
        this.chosen.delete(consoleId);
    }
    loadedFromFile(): void {
        for (const c of this.core.consoles) this.chosen.add(c.id);
        this.saved = this.core.block();
    }
    savedToFile(): void {
        this.saved = this.core.block();
    }

    // Consoles the user changed and the adapter does not have.
    changed(): number[] {
        const block = this.core.block();
        return this.core.consoles
            .filter((c) => !this.core.sameWhenWritten(c.id, this.core.record(c.id, block), this.base.get(c.id)!))
            .map((c) => c.id);
    }
    // Consoles whose record on the adapter an apply would replace without it ever having been seen.
    unseen(): number[] {
        return this.core.consoles.filter((c) => !this.held.has(c.id) && !this.chosen.has(c.id)).map((c) => c.id);
    }
    // Whether leaving the page would lose changes: not applied and not saved to a file.
    wouldLose(): boolean {
        return this.changed().length > 0 && !equal(this.core.block(), this.saved);
    }
}

export { BLOCK_SIZE };
