// The shape of data.js, which web/tools/gensite.py writes from res/ at build time (positions of the
// window's layouts, the skin table, the on-screen keyboard's table and the translation documents).
export interface Point {
    x: number;
    y: number;
}
export interface Skin {
    art: string; // the picture's name in res/art (and art/ on the site)
    w: number; // one state's width
    h: number;
    states: number; // states side by side: normal, hover, pushed
}
export interface Button extends Point {
    name: string;
    skin: string;
    text: string;
}
export interface Page {
    art: string;
    boxes: Record<string, Point>; // by pad button name ("L2", "lyhih_UP")
    lamps: Record<string, Point>;
}
export interface Key {
    id: number;
    upper: string;
    lower?: string;
    multiline?: boolean;
    x: number;
    y: number;
    w: number;
    h: number;
    available: boolean;
}
export interface SiteData {
    skins: Record<string, Skin>;
    main: {
        width: number;
        height: number;
        background: string;
        title: Point & { text: string };
        pages: Point & { w: number; h: number; titles: string[] };
        tabs: Button[];
        words: string[]; // the consoles of the tab control, in its order ("ps3" ...)
        commands: Button[];
    };
    pages: Record<string, Page>; // by console word
    keyboard: {
        caption: string;
        trCtx: string;
        width: number;
        height: number;
        frame: { x: number; y: number; width: number; height: number };
        keys: Key[];
    };
    translations: Record<string, Record<string, Record<string, string>>>; // language, context, source
}
declare const data: SiteData;
export default data;
