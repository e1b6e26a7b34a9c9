// Sanitizer settings built into every test program, so they hold however a test is started
// (ctest, the binary directly, a debugger). They only matter in sanitizer builds.
//
// fontconfig and D-Bus keep process-lifetime caches they never free; Qt's own synchronisation
// and its image-conversion thread pool live in uninstrumented libraries that ThreadSanitizer
// cannot see into; tests fork children that exec at once.

extern "C" {

const char* __lsan_default_suppressions();
const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\nleak:libdbus-1.so\n";
}

const char* __tsan_default_options();
const char* __tsan_default_options() {
    return "die_after_fork=0:second_deadlock_stack=1";
}

const char* __tsan_default_suppressions();
const char* __tsan_default_suppressions() {
    return "race:libQt6Core.so\nrace:libQt6Gui.so\n";
}

} // extern "C"
