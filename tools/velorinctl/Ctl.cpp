#include "Ctl.h"

#include "CtlVerbs.h"
#include "KeyNames.h"

#include <QFileInfo>

#include <optional>

#ifndef VELORIN_VERSION
#define VELORIN_VERSION "unknown"
#endif

namespace velorin::ctl {

namespace {

// ---------------------------------------------------------------------------------------------
// The verbs: help texts, what each accepts and what runs it

// The options a verb takes besides the global ones.
enum VerbOption : unsigned {
    kOptJson = 1u << 0,
    kOptOutput = 1u << 1,
    kOptVerify = 1u << 2,
    kOptConsole = 1u << 3,
    kOptWriteTest = 1u << 4,
    kOptBase = 1u << 5,
    kOptLang = 1u << 6,
    kOptDryRun = 1u << 7,
};

// Everything about one verb: its help, what it accepts (checked in one place, before it runs)
// and what runs it.
struct Verb {
    const char* name;
    const char* synopsis;
    const char* text;
    unsigned options;
    int minArgs;
    int maxArgs;
    Handler handler;
};

constexpr Verb kVerbs[] = {
    {"list", "list [--json]",
     "Lists every HID interface with its ids, top-level usage and report lengths, and says whether\n"
     "it is the adapter and, when not, why. For the adapter it says whether it can be opened; when\n"
     "permissions stand in the way it prints the fix.\n"
     "Exit: 0 an adapter can be used, 5 none found, 6 found but not accessible.\n",
     kOptJson, 0, 0, cmdList},
    {"read", "read [-o FILE.kvf] [--json]",
     "Reads the four records from the adapter (the same read-back sequence as the window) and\n"
     "writes them to FILE.kvf, or shows them as a table (or as JSON with --json). Nothing is\n"
     "written or shown unless all four arrived; when one does not, the message says whether the\n"
     "adapter refused the request, did not answer within 100 ms, or went away (exit 7).\n",
     kOptJson | kOptOutput, 0, 0, cmdRead},
    {"apply", "apply FILE.kvf [--verify] [--console CONSOLE] [--dry-run [--json]]",
     "Writes the four records of FILE.kvf to the adapter (the same five reports as the window's\n"
     "apply: the PS3, PS4, SWITCH and XBOX records, then the mode select) and selects CONSOLE\n"
     "(default ps3). A record the adapter does not take ends it: the message says whether the\n"
     "adapter refused it, did not take it in time, or went away, and which records were written\n"
     "(exit 7). --verify reads the records back afterwards and reports every difference (exit 1);\n"
     "when a record does not come back, the records before it are compared and the rest named as\n"
     "not compared (exit 7).\n"
     "--dry-run writes nothing: it reads the four records from the adapter and lists, per console,\n"
     "each button whose key apply would change (held -> new), as text or with --json as JSON.\n"
     "A record that cannot be read is named as not read, and the exit is then 7.\n",
     kOptVerify | kOptConsole | kOptDryRun | kOptJson, 1, 1, cmdApply},
    {"select", "select ps3|ps4|switch|xbox",
     "Tells the adapter which console mode to use. When that does not get through, the message\n"
     "says whether the adapter refused it, did not take it in time, or went away (exit 7).\n",
     0, 1, 1, cmdSelect},
    {"show", "show FILE.kvf [--json]",
     "Shows the assignments of a .kvf file: one row per button, one column per console. Codes\n"
     "without a name are shown as 0xNN, an empty assignment as \"none\", and \"-\" marks a button\n"
     "the console does not have.\n",
     kOptJson, 1, 1, cmdShow},
    {"export", "export FILE.kvf [-o FILE.json]",
     "Writes a .kvf file as JSON (layout \"velorin-kvf\", version 1; see velorinctl(1)) to standard\n"
     "output or FILE.json. Every byte of the file is kept in the \"raw\" fields.\n",
     kOptOutput, 1, 1, cmdExport},
    {"import", "import FILE.json -o FILE.kvf",
     "Builds a .kvf file from JSON written by export (possibly edited). Unknown consoles, buttons\n"
     "and keys are refused; the output file is written completely or not at all.\n",
     kOptOutput, 1, 1, cmdImport},
    {"set", "set FILE.kvf CONSOLE BUTTON=KEY... [-o OUT.kvf]",
     "Changes assignments in a .kvf file (in place, or into OUT.kvf). BUTTON is a button name\n"
     "(L2, UP, LSTICK_LEFT, L3, START, A, ...; `velorinctl help buttons` lists them) or the window's\n"
     "element name (ARROW_UP, lxhih_L, LSTICK_KEY, ...). KEY is a key name (A-Z,\n"
     "0-9, F1-F12, Space, Enter, Esc, Tab, Backspace, Up, Down, Left, Right, LCtrl, RShift, ...,\n"
     "KP_0-KP_9, KP_Enter, KP_Plus, ..., mouse-left, mouse-right, mouse-middle, none) or 0xNN.\n"
     "`velorinctl help keys` lists every name. Nothing is written when any assignment is bad.\n",
     kOptOutput, 3, 64, cmdSet},
    {"copy", "copy FILE.kvf FROM TO [-o OUT.kvf]",
     "Copies the assignments of console FROM onto console TO in a .kvf file (in place, or into\n"
     "OUT.kvf), as the window's \"copy to\" does: every button both pads have. SHARE (ps4) and\n"
     "CAPTURE (switch) are copied between those two only; TO keeps its console byte and whatever\n"
     "FROM lacks. The other consoles are untouched.\n",
     kOptOutput, 3, 3, cmdCopy},
    {"diff", "diff A.kvf B.kvf [--json]",
     "Lists the bytes in which two .kvf files differ, by console and button.\n"
     "Exit: 0 same, 1 different.\n",
     kOptJson, 2, 2, cmdDiff},
    {"check", "check FILE.kvf [--json]",
     "Lists, per console, every key or mouse button given to two or more of its buttons, and every\n"
     "button whose code names no key. Neither stops anything from working; some owners give one\n"
     "key to two buttons on purpose. Exit: 0 none, 1 some.\n",
     kOptJson, 1, 1, cmdCheck},
    {"link", "link FILE.kvf [--base URL]",
     "Prints a link to Velorin Web that carries the four records of FILE.kvf in its fragment\n"
     "(#m= and 144 characters; the fragment never reaches a server). The page's address is URL,\n"
     "else $VELORIN_WEB_URL. `velorinctl import-link` turns the link back into the file.\n",
     kOptBase, 1, 1, cmdLink},
    {"import-link", "import-link LINK -o FILE.kvf",
     "Writes the four records a link of `velorinctl link` or of the page's \"Copy link\" carries to\n"
     "FILE.kvf, completely or not at all. LINK may be the whole link or its fragment (#m=...).\n"
     "Parameters of the fragment other than m= are ignored.\n",
     kOptOutput, 1, 1, cmdImportLink},
    {"sheet", "sheet FILE.kvf -o SHEET.html|SHEET.svg [--lang zh|en|ja]",
     "Writes a printable sheet of FILE.kvf: one A4 or Letter page with every button's key on the\n"
     "four consoles, black on white, as an HTML document or an SVG picture (by the suffix of the\n"
     "output) for any browser to print. The sheet is in Chinese, English (the default) or Japanese.\n",
     kOptOutput | kOptLang, 1, 1, cmdSheet},
    {"doctor", "doctor [--json] [--write-test]",
     "Checks everything between this computer and the adapter and prints a report to attach to a bug:\n"
     "the kernel, every HID interface, how output reports travel (interrupt OUT endpoint or\n"
     "SET_REPORT, and the usbhid quirk), the adapter node's owner, mode and ACL, the udev rule, the\n"
     "seat, the identity of the open handle, and a timed read-back of the four records.\n"
     "--write-test also writes a changed copy of the records, reads it back, then writes the\n"
     "originals back (saved first in ~/.local/state/velorin/); it never selects a console mode.\n",
     kOptJson | kOptWriteTest, 0, 0, cmdDoctor},
    {"monitor", "monitor [--console CONSOLE] [--json]",
     "Shows the live pad state as it changes: the pressed buttons by name and the left stick's\n"
     "direction, until interrupted (Ctrl+C). With --console, byte 9 bit 7 is named SHARE (ps4) or\n"
     "CAPTURE (switch) or nothing (ps3, xbox); without it, SHARE/CAPTURE.\n",
     kOptJson | kOptConsole, 0, 0, cmdMonitor},
};

const Verb* findVerb(const QString& name) {
    for (const Verb& v : kVerbs) {
        if (name == QLatin1String(v.name))
            return &v;
    }
    return nullptr;
}

void printUsage(QTextStream& s) {
    s << "usage: velorinctl [--simulate[=BUS]] [-v] VERB [ARGS]\n\nverbs:\n";
    for (const Verb& v : kVerbs)
        s << "  " << v.synopsis << '\n';
    s << "\nglobal options:\n"
         "  --simulate[=BUS]  talk to a running velorin-sim (BUS: its bus directory; default\n"
         "                    $VELORIN_SIM_BUS, else $XDG_RUNTIME_DIR/velorin-sim). A set\n"
         "                    VELORIN_SIM_BUS alone does the same.\n"
         "  -v, --verbose     also show the device layer's log\n"
         "  -h, --help        this text; `velorinctl VERB --help` for one verb\n"
         "  --version         the version\n"
         "\nexit codes: 0 ok, 1 differences, 2 usage, 3 bad input file, 4 cannot write output,\n"
         "            5 no adapter, 6 adapter not accessible, 7 adapter communication failed\n";
}

void printVerbHelp(QTextStream& s, const Verb& v) {
    s << "usage: velorinctl [--simulate[=BUS]] " << v.synopsis << "\n\n" << v.text;
}

// ---------------------------------------------------------------------------------------------
// Command line

bool looksLikeBus(const QString& arg, bool verbSeen) {
    if (arg.startsWith(u'-'))
        return false;
    if (!verbSeen)
        return !findVerb(arg) && arg != u"help";
    return arg.contains(u'/') || QFileInfo(arg).isDir();
}

// nullopt after printing the problem.
std::optional<Options> parse(const QStringList& args, QTextStream& err) {
    Options o;
    bool onlyPositional = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](const QString& what) -> std::optional<QString> {
            if (i + 1 >= args.size()) {
                err << "velorinctl: " << a << " needs " << what << '\n';
                return std::nullopt;
            }
            return args[++i];
        };
        if (onlyPositional || !a.startsWith(u'-') || a == u"-") {
            if (o.verb.isEmpty())
                o.verb = a;
            else
                o.positional << a;
        } else if (a == u"--") {
            onlyPositional = true;
        } else if (a == u"-h" || a == u"--help") {
            o.help = true;
        } else if (a == u"--version") {
            o.version = true;
        } else if (a == u"--json") {
            o.json = true;
        } else if (a == u"--list-keys") {
            o.listKeys = true;
        } else if (a == u"--list-buttons") {
            o.listButtons = true;
        } else if (a == u"--verify") {
            o.verify = true;
        } else if (a == u"--write-test") {
            o.writeTest = true;
        } else if (a == u"--dry-run") {
            o.dryRun = true;
        } else if (a == u"--base") {
            const auto v = value(QStringLiteral("the web page's address"));
            if (!v)
                return std::nullopt;
            o.base = *v;
        } else if (a.startsWith(u"--base=")) {
            o.base = a.mid(7);
        } else if (a == u"--lang") {
            const auto v = value(QStringLiteral("a language (zh, en or ja)"));
            if (!v)
                return std::nullopt;
            o.lang = *v;
        } else if (a.startsWith(u"--lang=")) {
            o.lang = a.mid(7);
        } else if (a == u"-v" || a == u"--verbose") {
            o.verbose = true;
        } else if (a == u"--simulate") {
            o.simulate = true;
            if (i + 1 < args.size() && looksLikeBus(args[i + 1], !o.verb.isEmpty()))
                o.bus = args[++i];
        } else if (a.startsWith(u"--simulate=")) {
            o.simulate = true;
            o.bus = a.mid(11);
        } else if (a == u"-o" || a == u"--output") {
            const auto v = value(QStringLiteral("a file name"));
            if (!v)
                return std::nullopt;
            o.output = *v;
        } else if (a.startsWith(u"--output=")) {
            o.output = a.mid(9);
        } else if (a == u"--console" || a == u"--mode") {
            const auto v = value(QStringLiteral("a console (%1)").arg(consoleWords(QStringLiteral(", "))));
            if (!v)
                return std::nullopt;
            o.console = *v;
        } else if (a.startsWith(u"--console=")) {
            o.console = a.mid(10);
        } else {
            err << "velorinctl: unknown option " << a.left(60) << "\nTry `velorinctl --help`.\n";
            return std::nullopt;
        }
    }
    return o;
}

bool expectPositional(Context& ctx, qsizetype min, qsizetype max) {
    const qsizetype n = ctx.opt.positional.size();
    if (n >= min && n <= max)
        return true;
    const Verb* v = findVerb(ctx.opt.verb);
    ctx.err << "velorinctl: " << (n < min ? "missing arguments" : "too many arguments")
            << "\nusage: velorinctl " << (v ? v->synopsis : "") << '\n';
    return false;
}

bool allowOnly(Context& ctx, unsigned options) {
    const char* bad = nullptr;
    if (ctx.opt.json && !(options & kOptJson))
        bad = "--json";
    else if (ctx.opt.output && !(options & kOptOutput))
        bad = "-o";
    else if (ctx.opt.verify && !(options & kOptVerify))
        bad = "--verify";
    else if (ctx.opt.console && !(options & kOptConsole))
        bad = "--console";
    else if (ctx.opt.writeTest && !(options & kOptWriteTest))
        bad = "--write-test";
    else if (ctx.opt.base && !(options & kOptBase))
        bad = "--base";
    else if (ctx.opt.lang && !(options & kOptLang))
        bad = "--lang";
    else if (ctx.opt.dryRun && !(options & kOptDryRun))
        bad = "--dry-run";
    if (!bad)
        return true;
    ctx.err << "velorinctl: " << ctx.opt.verb << " does not take " << bad << "\nTry `velorinctl "
            << ctx.opt.verb << " --help`.\n";
    return false;
}

int cmdHelp(Context& ctx) {
    if (ctx.opt.positional.isEmpty()) {
        printUsage(ctx.out);
        return kExitOk;
    }
    const QString& topic = ctx.opt.positional[0];
    if (topic == u"keys") {
        ctx.out << "key names (case does not matter; any byte also as 0xNN):\n";
        const QStringList names = allKeyNames();
        for (qsizetype i = 0; i < names.size(); i += 8)
            ctx.out << "  " << names.mid(i, 8).join(u' ') << '\n';
        return kExitOk;
    }
    if (topic == u"buttons") {
        for (const ConsoleId c : kBlockOrder)
            ctx.out << consoleWord(c) << ": " << buttonLabels(c).join(u' ') << '\n';
        QStringList elementNames;
        for (int i = 0; i < kPadButtonCount; ++i) {
            const auto b = static_cast<PadButton>(i);
            if (buttonName(b) != buttonLabel(b))
                elementNames << buttonName(b);
        }
        ctx.out << "set also takes the element names of the window and the JSON layout:\n  "
                << elementNames.join(u' ') << '\n';
        return kExitOk;
    }
    if (const Verb* v = findVerb(topic)) {
        printVerbHelp(ctx.out, *v);
        return kExitOk;
    }
    ctx.err << "velorinctl: no help for \"" << topic.left(40) << "\"; try a verb, keys or buttons\n";
    return kExitUsage;
}

} // namespace

int run(const QStringList& args, QTextStream& out, QTextStream& err, const hid::StopSignal* stop,
        const PlatformFactory& makePlatform) {
    const std::optional<Options> parsed = parse(args, err);
    if (!parsed)
        return kExitUsage;
    const Options& opt = *parsed;
    if (opt.version) {
        out << "velorinctl " << VELORIN_VERSION << '\n';
        return kExitOk;
    }
    if (opt.listKeys) {
        out << "none\n";
        for (const QString& name : allKeyNames())
            out << name << '\n';
        return kExitOk;
    }
    if (opt.listButtons) {
        QStringList names;
        if (opt.console) {
            const std::optional<ConsoleId> console = parseConsole(*opt.console, err);
            if (!console)
                return kExitUsage;
            names = buttonLabels(*console);
        } else {
            for (int i = 0; i < kPadButtonCount; ++i)
                names << buttonLabel(static_cast<PadButton>(i));
        }
        for (const QString& name : names)
            out << name << '\n';
        return kExitOk;
    }
    if (opt.verb.isEmpty()) {
        if (opt.help) {
            printUsage(out);
            return kExitOk;
        }
        printUsage(err);
        return kExitUsage;
    }
    Context ctx{opt, out, err, stop, makePlatform};
    if (opt.verb == u"help")
        return cmdHelp(ctx);
    const Verb* verb = findVerb(opt.verb);
    if (!verb) {
        err << "velorinctl: unknown verb \"" << opt.verb.left(40) << "\"\n";
        printUsage(err);
        return kExitUsage;
    }
    if (opt.help) {
        printVerbHelp(out, *verb);
        return kExitOk;
    }
    if (!allowOnly(ctx, verb->options) || !expectPositional(ctx, verb->minArgs, verb->maxArgs))
        return kExitUsage;
    const Outcome outcome = verb->handler(ctx);
    ctx.show(outcome.report);
    return outcome.exitCode;
}

} // namespace velorin::ctl
