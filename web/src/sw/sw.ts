// The service worker: every file of the site in one cache named after the site's content, so the
// page works without a network after the first visit. A new site makes a new worker, which waits
// until the page (showing "a newer version is ready") tells it to take over; then the old cache goes.
const sw = self as unknown as ServiceWorkerGlobalScope;
// Written in front of this file by the build: the cache's name and the files to keep.
declare const CACHE: string;
declare const FILES: string[];

sw.addEventListener("install", (event) => {
    // From the server, never from the browser's HTTP cache: a host that lets files be cached for a while
    // would otherwise fill the new version's cache with the old version's files.
    event.waitUntil(caches.open(CACHE).then((cache) => cache.addAll(FILES.map((f) => new Request(f, { cache: "reload" })))));
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
    // Only this version's cache, and never opened here: a worker being replaced may still answer a
    // request after the new one deleted its cache, and opening it would make an empty one again.
    event.respondWith(caches.match(request, { cacheName: CACHE, ignoreSearch: true }).then((hit) => hit ?? fetch(request)));
});

