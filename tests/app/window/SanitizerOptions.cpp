// Sanitizer settings built into the window tests, so they hold however the tests are started.
// Qt's image conversion and thread pool live in uninstrumented libraries, fontconfig keeps caches
// for the life of the process, and QProcess forks after Qt has started its own threads (the child
// execs at once).

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
