// Leak-checker allowances built into every fuzz target. The font stack (fontconfig, FreeType,
// HarfBuzz) and Qt's font engine cache keep process-lifetime data that they fill lazily, so the
// first input that draws text looks like a leak. Our own allocations are never inside these.

extern "C" {

const char* __lsan_default_suppressions();
const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libfreetype.so\nleak:libharfbuzz.so\nleak:libQt6Gui.so\nleak:libdbus-"
           "1.so\n";
}

} // extern "C"
