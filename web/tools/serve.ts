// A static file server for the built site on http://localhost (a secure context, so WebHID works).
// Used by `scripts/run web`, the tests and the benchmarks; any static web server does the same.
//
//   node serve.js SITE_DIR [PORT [PATH]]     prints the URL, serves until stopped (PATH: "/velorin/" ...)
import { createServer, type Server } from "node:http";
import { readFile, stat } from "node:fs/promises";
import { extname, join, normalize, resolve, sep } from "node:path";
import { pathToFileURL } from "node:url";

const TYPES: Record<string, string> = {
    ".html": "text/html; charset=utf-8",
    ".js": "text/javascript; charset=utf-8",
    ".css": "text/css; charset=utf-8",
    ".svg": "image/svg+xml",
    ".png": "image/png",
    ".wasm": "application/wasm",
    ".webmanifest": "application/manifest+json",
    ".json": "application/json",
    ".kvf": "application/octet-stream",
    ".rules": "text/plain; charset=utf-8",
};

export interface Served {
    url: string;
    server: Server;
    close(): Promise<void>;
}

// Serves `root` on 127.0.0.1 (port 0: any free port). Only files under `root`, GET and HEAD only.
// `cacheSeconds` lets the browser keep files that long without asking, as many static hosts do
// (default: it asks every time). `path` is where the site lives on the server, "/" or a folder such
// as "/velorin/" (a project's site on GitHub Pages); nothing outside it is served.
export function serve(root: string, port = 0, cacheSeconds = 0, path = "/"): Promise<Served> {
    if (!path.startsWith("/") || !path.endsWith("/")) throw new Error(`serve: the site's path must start and end with "/": ${path}`);
    const base = resolve(root);
    const server = createServer((req, res) => {
        void (async () => {
            if (req.method !== "GET" && req.method !== "HEAD") {
                res.writeHead(405).end();
                return;
            }
            let wanted: string;
            try {
                wanted = decodeURIComponent(new URL(req.url ?? "/", "http://localhost").pathname);
            } catch {
                res.writeHead(400).end();
                return;
            }
            if (!wanted.startsWith(path)) {
                res.writeHead(404, { "Content-Type": "text/plain" }).end("not found\n");
                return;
            }
            wanted = wanted.slice(path.length - 1);
            if (wanted.endsWith("/")) wanted += "index.html";
            const file = normalize(join(base, wanted));
            if (file !== base && !file.startsWith(base + sep)) {
                res.writeHead(403).end();
                return;
            }
            try {
                if (!(await stat(file)).isFile()) throw new Error("not a file");
                const body = await readFile(file);
                res.writeHead(200, {
                    "Content-Type": TYPES[extname(file)] ?? "application/octet-stream",
                    "Content-Length": body.length,
                    "Cache-Control": cacheSeconds > 0 ? `max-age=${cacheSeconds}` : "no-cache",
                });
                res.end(req.method === "HEAD" ? undefined : body);
            } catch {
                res.writeHead(404, { "Content-Type": "text/plain" }).end("not found\n");
            }
        })();
    });
    return new Promise((done, fail) => {
        server.once("error", fail);
        server.listen(port, "127.0.0.1", () => {
            const address = server.address();
            const actual = typeof address === "object" && address ? address.port : port;
            done({
                url: `http://localhost:${actual}${path}`,
                server,
                close: () => new Promise((closed) => server.close(() => closed())),
            });
        });
    });
}

if (import.meta.url === pathToFileURL(process.argv[1] ?? "").href) {
    const [root, port, path] = process.argv.slice(2);
    if (!root) {
        console.error("usage: serve.js SITE_DIR [PORT [PATH]]");
        process.exit(2);
    }
    Promise.resolve()
        .then(() => serve(root, Number(port ?? 0), 0, path ?? "/"))
        .then(
            (s) => console.log(`Velorin Web: ${s.url}`),
            (e: Error) => {
                console.error(`serve: ${e.message}`);
                process.exit(1);
            },
        );
}
