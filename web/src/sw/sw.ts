// The service worker: every file of the site in one cache named after the site's content, so the
// page works without a network after the first visit. A new site makes a new worker, which waits
// until the page (showing "a newer version is ready") tells it to take over; then the old cache goes.
const sw = self as unknown as ServiceWorkerGlobalScope;
// Written in front of this file by the build: the cache's name and the files to keep.
declare const CACHE: string;
declare const FILES: string[];

sw.addEventListener("install", (event) => {
    event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(FILES)));
});

sw.addEventListener("activate", (event) => {
    event.waitUntil(
        caches
            .keys()
            .then((names) => Promise.all(names.filter((n) => n.startsWith("velorin-web-") && n !== CACHE).map((n) => caches.delete(n))))
            .then(() => sw.clients.claim()),
    );
});

sw.addEventListener("message", (event) => {
    if (event.data === "skip-waiting") void sw.skipWaiting();
});

sw.addEventListener("fetch", (event) => {
    const request = event.request;
    if (request.method !== "GET" || new URL(request.url).origin !== sw.location.origin) return;
    event.respondWith(
        caches.open(CACHE).then(async (cache) => {
            const hit = await cache.match(request, { ignoreSearch: true });
            return hit ?? fetch(request);
        }),
    );
});

