#include "Ctl.h"

#include "Doctor.h"
#include "KeyNames.h"
#include "KvfFile.h"
#include "KvfJson.h"

#include "device/Discovery.h"
#include "device/Reports.h"
#include "device/Sequences.h"
#include "device/SharedState.h"
#include "device/hid/SimBus.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <array>
#include <optional>

#ifndef VELORIN_VERSION
#define VELORIN_VERSION "unknown"
#endif

namespace velorin::ctl {

namespace {

using device::AdapterCandidate;

QString latin(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}
QString consoleName(ConsoleId c) {
    return latin(consoleInfo(c).name);
}
QString consoleWord(ConsoleId c) {
    return latin(consoleInfo(c).word);
}
// The element name, which JSON output uses; text output uses buttonLabel().
QString buttonName(PadButton b) {
    return latin(padButtonName(b));
}
QStringList buttonLabels(ConsoleId console) {
    QStringList names;
    for (const PadButton b : consoleInfo(console).buttons)
        names << buttonLabel(b);
    return names;
}
QString hexByte(unsigned v) {
    return QStringLiteral("0x") + QString::number(v, 16).rightJustified(2, u'0').toUpper();
}
QString hex4(unsigned v) {
    return QString::number(v, 16).rightJustified(4, u'0').toUpper();
}

// ---------------------------------------------------------------------------------------------
// Help texts

struct Context;
int cmdList(Context&);
int cmdRead(Context&);
int cmdApply(Context&);
int cmdSelect(Context&);
int cmdShow(Context&);
int cmdExport(Context&);
int cmdImport(Context&);
int cmdSet(Context&);
int cmdDiff(Context&);
int cmdDoctor(Context&);
int cmdMonitor(Context&);

// The options a verb takes besides the global ones.
enum VerbOption : unsigned {
    kOptJson = 1u << 0,
    kOptOutput = 1u << 1,
    kOptVerify = 1u << 2,
    kOptConsole = 1u << 3,
    kOptWriteTest = 1u << 4,
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
    int (*handler)(Context&);
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
     "writes them to FILE.kvf, or shows them as a table (or as JSON with --json).\n",
     kOptJson | kOptOutput, 0, 0, cmdRead},
    {"apply", "apply FILE.kvf [--verify] [--console CONSOLE]",
     "Writes the four records of FILE.kvf to the adapter (the same five reports as the window's\n"
     "apply: the PS3, PS4, SWITCH and XBOX records, then the mode select) and selects CONSOLE\n"
     "(default ps3). --verify reads the records back afterwards and reports every difference\n"
     "(exit 1).\n",
     kOptVerify | kOptConsole, 1, 1, cmdApply},
    {"select", "select ps3|ps4|switch|xbox", "Tells the adapter which console mode to use.\n", 0, 1, 1,
     cmdSelect},
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
    {"diff", "diff A.kvf B.kvf [--json]",
     "Lists the bytes in which two .kvf files differ, by console and button.\n"
     "Exit: 0 same, 1 different.\n",
     kOptJson, 2, 2, cmdDiff},
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

struct Options {
    QString verb;
    QStringList positional;
    bool help = false;
    bool version = false;
    bool json = false;
    bool verify = false;
    bool writeTest = false;
    bool verbose = false;
    bool simulate = false;
    // Hidden, for the shell completions: the key names, or the button names (of --console).
    bool listKeys = false;
    bool listButtons = false;
    QString bus;
    std::optional<QString> output;
    std::optional<QString> console;
};

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
        auto value = [&](const char* what) -> std::optional<QString> {
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
            const auto v = value("a file name");
            if (!v)
                return std::nullopt;
            o.output = *v;
        } else if (a.startsWith(u"--output=")) {
            o.output = a.mid(9);
        } else if (a == u"--console" || a == u"--mode") {
            const auto v = value("a console (ps3, ps4, switch, xbox)");
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

std::optional<ConsoleId> parseConsole(const QString& text, QTextStream& err) {
    const std::optional<ConsoleId> c = consoleFromName(text.toStdString());
    if (!c) {
        err << "velorinctl: unknown console \"" << text.left(40) << "\"; use ps3, ps4, switch or xbox\n";
        return std::nullopt;
    }
    return c;
}

// ---------------------------------------------------------------------------------------------
// Context shared by the verbs

struct Context {
    const Options& opt;
    QTextStream& out;
    QTextStream& err;
    const hid::StopSignal* stop;
    bool simulated = false;
    QString bus;
};

QString permissionFix(const Context& ctx, const std::string& path) {
    const QString p = QString::fromStdString(path);
    if (ctx.simulated)
        return QStringLiteral(
                   "  fix: the simulator's socket %1 is not accessible to you; run velorin-sim as\n"
                   "       the same user as velorinctl, or replug it without \"noaccess\".\n")
            .arg(p);
    const bool shipped = QFileInfo::exists(QStringLiteral("/usr/lib/udev/rules.d/70-velorin.rules")) ||
                         QFileInfo::exists(QStringLiteral("/etc/udev/rules.d/70-velorin.rules"));
    QString text =
        QStringLiteral("  fix: %1 is not accessible to you. The udev rule 70-velorin.rules gives the\n"
                       "       user at the seat access to the adapter.\n")
            .arg(p);
    if (shipped)
        text += QStringLiteral("       The rule is installed; reload it:\n");
    else
        text += QStringLiteral(
            "       Install it (the package puts it in /usr/lib/udev/rules.d/70-velorin.rules;\n"
            "       from a source tree:\n"
            "         sudo install -m 0644 packaging/70-velorin.rules /etc/udev/rules.d/\n"
            "       ), then reload udev:\n");
    text += QStringLiteral("         sudo udevadm control --reload-rules && sudo udevadm trigger\n"
                           "       and unplug and replug the adapter.\n");
    return text;
}

// Installs the platform and checks that the bus exists. Returns kExitOk or an exit code after
// printing why not.
int preparePlatform(Context& ctx) {
    device::adapterPath().clear();
    // Like the window, a set VELORIN_SIM_BUS alone attaches to that simulator.
    const QString fromEnv = qEnvironmentVariable("VELORIN_SIM_BUS");
    if (!ctx.opt.simulate && fromEnv.isEmpty())
        return kExitOk;
    ctx.simulated = true;
    ctx.bus = !ctx.opt.bus.isEmpty() ? ctx.opt.bus
              : !fromEnv.isEmpty()   ? fromEnv
                                     : QString::fromStdString(hid::sim::defaultBusDir());
    if (!QFileInfo(ctx.bus).isDir()) {
        ctx.err << "velorinctl: no simulator bus at " << ctx.bus
                << "\n  start one in another terminal: velorin-sim --bus " << ctx.bus << '\n';
        return kExitNoAdapter;
    }
    hid::setPlatform(hid::makeSimPlatform(ctx.bus.toStdString()));
    return kExitOk;
}

// Checks that an adapter is present and can be opened; prints the diagnosis when not.
int requireAdapter(Context& ctx) {
    const std::vector<AdapterCandidate> candidates = device::DiagnoseAdapters();
    bool denied = false;
    for (const AdapterCandidate& c : candidates) {
        if (c.openError == hid::OpenError::None)
            return kExitOk;
        denied = denied || c.openError == hid::OpenError::PermissionDenied;
    }
    if (candidates.empty()) {
        ctx.err << "velorinctl: no adapter found";
        if (ctx.simulated)
            ctx.err << " on the simulated bus " << ctx.bus;
        ctx.err << ".\n  Is it plugged in? `velorinctl"
                << (ctx.simulated ? " --simulate=" + ctx.bus : QString())
                << " list` shows every HID interface and why it is not the adapter.\n";
        return kExitNoAdapter;
    }
    for (const AdapterCandidate& c : candidates) {
        ctx.err << "velorinctl: the adapter at " << QString::fromStdString(c.path) << " cannot be opened: "
                << (c.openError == hid::OpenError::PermissionDenied ? "permission denied"
                                                                    : "it went away or is busy")
                << '\n';
        if (c.openError == hid::OpenError::PermissionDenied)
            ctx.err << permissionFix(ctx, c.path);
    }
    return denied ? kExitNoAccess : kExitAdapterFailed;
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
    if (!bad)
        return true;
    ctx.err << "velorinctl: " << ctx.opt.verb << " does not take " << bad << "\nTry `velorinctl "
            << ctx.opt.verb << " --help`.\n";
    return false;
}

// ---------------------------------------------------------------------------------------------
// Tables and differences

std::optional<PadButton> buttonAtByte(ConsoleId console, int byte) {
    for (const PadButton b : consoleInfo(console).buttons) {
        if (recordByte(b) == byte)
            return b;
    }
    return std::nullopt;
}

bool consoleHas(ConsoleId console, PadButton button) {
    for (const PadButton b : consoleInfo(console).buttons) {
        if (b == button)
            return true;
    }
    return false;
}

void printTable(QTextStream& out, const WorkModeBlock& block) {
    constexpr int kWidth = 14;
    QString header = QStringLiteral("BUTTON").leftJustified(kWidth);
    for (const ConsoleId c : kBlockOrder)
        header += consoleName(c).leftJustified(kWidth);
    out << header.trimmed() << '\n';
    auto row = [&](const QString& label, auto cell) {
        QString line = label.leftJustified(kWidth);
        for (const ConsoleId c : kBlockOrder)
            line += cell(c).leftJustified(kWidth);
        out << line.trimmed() << '\n';
    };
    for (int i = 0; i < kPadButtonCount; ++i) {
        const auto button = static_cast<PadButton>(i);
        row(buttonLabel(button), [&](ConsoleId c) {
            return consoleHas(c, button) ? keyName(block.button(c, button)) : QStringLiteral("-");
        });
    }
    row(QStringLiteral("id (byte 0)"), [&](ConsoleId c) { return hexByte(block.record(c)[0]); });
    row(QStringLiteral("bytes 6-9"), [&](ConsoleId c) {
        const auto r = block.record(c);
        return QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(r.data()) + 6, 4).toHex());
    });
    bool spare = false;
    for (const ConsoleId c : kBlockOrder)
        spare = spare || (!buttonAtByte(c, 26) && block.record(c)[26] != 0);
    if (spare)
        row(QStringLiteral("byte 26"), [&](ConsoleId c) {
            return buttonAtByte(c, 26) ? QStringLiteral("-") : hexByte(block.record(c)[26]);
        });
}

QString valueAt(ConsoleId console, int byte, uint8_t v) {
    return buttonAtByte(console, byte) ? keyName(v) : hexByte(v);
}

// ---------------------------------------------------------------------------------------------
// The verbs

int cmdList(Context& ctx) {
    if (const int rc = preparePlatform(ctx); rc != kExitOk)
        return rc;
    hid::HidPlatform& p = hid::platform();
    const std::vector<hid::DeviceInfo> all = p.enumerate();
    QJsonArray jsonInterfaces;
    int usable = 0;
    int denied = 0;
    QString firstUsable;
    for (const hid::DeviceInfo& info : all) {
        std::string whyNot;
        const bool isAdapter = device::isAdapterIdentity(info, &whyNot);
        hid::OpenError openError = hid::OpenError::None;
        if (isAdapter)
            device::OpenAdapterPath(info.path, &openError);
        const QString path = QString::fromStdString(info.path);
        const QString busName = info.busType == 3   ? QStringLiteral("usb")
                                : info.busType == 5 ? QStringLiteral("bluetooth")
                                                    : QStringLiteral("bus %1").arg(hexByte(info.busType));
        QJsonArray jsonCollections;
        if (!ctx.opt.json)
            ctx.out << path << "  " << busName << ' ' << hex4(info.vendorId) << ':' << hex4(info.productId)
                    << '\n';
        int n = 0;
        for (const hid::CollectionCaps& c : info.collections) {
            ++n;
            if (ctx.opt.json) {
                jsonCollections.append(QJsonObject{{"usagePage", c.usagePage},
                                                   {"usage", c.usage},
                                                   {"inputReportLength", c.inputReportLength},
                                                   {"outputReportLength", c.outputReportLength},
                                                   {"featureReportLength", c.featureReportLength},
                                                   {"linkCollectionNodes", c.linkCollectionNodes}});
            } else {
                ctx.out << "  collection " << n << ": usage page 0x" << hex4(c.usagePage) << " usage 0x"
                        << hex4(c.usage) << ", report lengths input " << c.inputReportLength << " output "
                        << c.outputReportLength << " feature " << c.featureReportLength << ", "
                        << c.linkCollectionNodes << " link collection node(s)\n";
            }
        }
        QString openText;
        switch (openError) {
        case hid::OpenError::None:
            openText = QStringLiteral("ok");
            break;
        case hid::OpenError::PermissionDenied:
            openText = QStringLiteral("permission-denied");
            break;
        case hid::OpenError::NotFound:
            openText = QStringLiteral("not-found");
            break;
        case hid::OpenError::NotAdapter:
            openText = QStringLiteral("not-the-adapter");
            break;
        case hid::OpenError::Other:
            openText = QStringLiteral("error");
            break;
        }
        if (isAdapter && openError == hid::OpenError::None) {
            ++usable;
            if (firstUsable.isEmpty())
                firstUsable = path;
        }
        if (isAdapter && openError == hid::OpenError::PermissionDenied)
            ++denied;
        if (ctx.opt.json) {
            QJsonObject o{{"path", path},
                          {"busType", static_cast<int>(info.busType)},
                          {"vendorId", hex4(info.vendorId)},
                          {"productId", hex4(info.productId)},
                          {"collections", jsonCollections},
                          {"adapter", isAdapter}};
            if (isAdapter)
                o.insert(QStringLiteral("open"), openText);
            if (isAdapter && openError == hid::OpenError::PermissionDenied)
                o.insert(QStringLiteral("fix"), permissionFix(ctx, info.path).simplified());
            else
                o.insert(QStringLiteral("reason"), QString::fromStdString(whyNot));
            jsonInterfaces.append(o);
            continue;
        }
        if (!isAdapter) {
            ctx.out << "  not the adapter: " << QString::fromStdString(whyNot) << '\n';
        } else if (openError == hid::OpenError::None) {
            ctx.out << "  the adapter; it can be opened for reading and writing\n";
        } else if (openError == hid::OpenError::PermissionDenied) {
            ctx.out << "  the adapter, but it cannot be opened: permission denied\n"
                    << permissionFix(ctx, info.path);
        } else {
            ctx.out << "  the adapter, but it cannot be opened: "
                    << (openError == hid::OpenError::NotFound     ? "it went away"
                        : openError == hid::OpenError::NotAdapter ? "the node now belongs to another device"
                                                                  : "it is busy or broken")
                    << '\n';
        }
    }
    const int rc = usable > 0 ? kExitOk : denied > 0 ? kExitNoAccess : kExitNoAdapter;
    if (ctx.opt.json) {
        QJsonObject top{{"interfaces", jsonInterfaces}};
        top.insert(QStringLiteral("adapter"), firstUsable.isEmpty() ? QJsonValue() : QJsonValue(firstUsable));
        ctx.out << QJsonDocument(top).toJson(QJsonDocument::Indented);
        return rc;
    }
    if (all.empty())
        ctx.out << "no HID interfaces" << (ctx.simulated ? " on the simulated bus " + ctx.bus : QString())
                << '\n';
    if (usable > 0)
        ctx.out << "adapter ready: " << firstUsable << '\n';
    else if (denied > 0)
        ctx.out << "the adapter is present but not accessible (see the fix above)\n";
    else
        ctx.out << "no adapter found\n";
    return rc;
}

int cmdRead(Context& ctx) {
    if (int rc = preparePlatform(ctx); rc != kExitOk || (rc = requireAdapter(ctx)) != kExitOk)
        return rc;
    WorkModeBlock block;
    const std::vector<ConsoleId> got = device::ReadBackFromAdapter(block);
    if (got.size() != kBlockOrder.size()) {
        const ConsoleId missing = kBlockOrder[got.size()];
        ctx.err << "velorinctl: the adapter did not answer the request for the " << consoleName(missing)
                << " record (" << got.size() << " of 4 read); nothing was written\n";
        return kExitAdapterFailed;
    }
    if (ctx.opt.output) {
        QString error;
        if (!writeKvfFile(*ctx.opt.output, block, &error)) {
            ctx.err << "velorinctl: " << error << '\n';
            return kExitCannotWrite;
        }
        ctx.err << "read 4 records into " << *ctx.opt.output << '\n';
        return kExitOk;
    }
    if (ctx.opt.json)
        ctx.out << blockToJson(block);
    else
        printTable(ctx.out, block);
    return kExitOk;
}

std::optional<WorkModeBlock> loadKvf(Context& ctx, const QString& path) {
    QString error;
    std::optional<WorkModeBlock> block = readKvfFile(path, &error);
    if (!block)
        ctx.err << "velorinctl: " << error << '\n';
    return block;
}

void printDifferences(QTextStream& s, const std::vector<Difference>& diffs, const char* aLabel,
                      const char* bLabel) {
    for (const Difference& d : diffs)
        s << describeByte(d.console, d.byte) << ": " << aLabel << valueAt(d.console, d.byte, d.a) << ", "
          << bLabel << valueAt(d.console, d.byte, d.b) << '\n';
}

// How output reports reach the adapter found first.
hid::OutputPath adapterOutputPath() {
    for (const hid::DeviceInfo& info : hid::platform().enumerate()) {
        if (device::isAdapterIdentity(info))
            return hid::outputPath(info);
    }
    return hid::OutputPath::Unknown;
}

int cmdApply(Context& ctx) {
    ConsoleId mode = ConsoleId::PS3;
    if (ctx.opt.console) {
        const auto c = parseConsole(*ctx.opt.console, ctx.err);
        if (!c)
            return kExitUsage;
        mode = *c;
    }
    std::optional<WorkModeBlock> block = loadKvf(ctx, ctx.opt.positional[0]);
    if (!block)
        return kExitBadInput;
    if (int rc = preparePlatform(ctx); rc != kExitOk || (rc = requireAdapter(ctx)) != kExitOk)
        return rc;
    const device::ApplyResult result = device::ApplyToAdapter(*block, mode);
    if (result.status == device::ApplyStatus::NoAdapter) {
        ctx.err
            << "velorinctl: the adapter could not be opened (CreateFileHandle error); nothing was written\n";
        return kExitNoAdapter;
    }
    if (result.status == device::ApplyStatus::WriteFailed) {
        const ConsoleId failed = result.failedConsole.value_or(ConsoleId::PS3);
        ctx.err << "velorinctl: the adapter refused the " << consoleName(failed) << " record ("
                << latin(device::applyErrorText(result))
                << "); the records after it were not written and no mode was selected\n";
        return kExitAdapterFailed;
    }
    ctx.err << "applied " << ctx.opt.positional[0] << ": 4 records written, mode " << consoleName(mode)
            << " selected\n";
    if (!ctx.opt.verify)
        return kExitOk;
    // The block now holds exactly what was sent (ids set, unused bytes cleared).
    WorkModeBlock back = *block;
    const std::vector<ConsoleId> got = device::ReadBackFromAdapter(back);
    bool same = true;
    for (std::size_t i = got.size(); i < kBlockOrder.size(); ++i) {
        ctx.out << consoleName(kBlockOrder[i]) << ": the record could not be read back\n";
        same = false;
    }
    const std::vector<Difference> diffs = diffBlocks(*block, back);
    printDifferences(ctx.out, diffs, "written ", "read back ");
    same = same && diffs.empty();
    if (same) {
        ctx.err << "verified: the adapter holds the 4 records written\n";
        return kExitOk;
    }
    ctx.err << "velorinctl: verify failed: the adapter does not hold what was written\n";
    if (adapterOutputPath() == hid::OutputPath::Interrupt)
        ctx.err << interruptQuirkAdvice() << '\n';
    return kExitDiffers;
}

int cmdSelect(Context& ctx) {
    const auto console = parseConsole(ctx.opt.positional[0], ctx.err);
    if (!console)
        return kExitUsage;
    if (int rc = preparePlatform(ctx); rc != kExitOk || (rc = requireAdapter(ctx)) != kExitOk)
        return rc;
    if (!device::SendModeSelect(static_cast<uint8_t>(*console))) {
        ctx.err << "velorinctl: the adapter refused the mode select\n";
        return kExitAdapterFailed;
    }
    ctx.err << "mode " << consoleName(*console) << " selected\n";
    return kExitOk;
}

int cmdShow(Context& ctx) {
    const std::optional<WorkModeBlock> block = loadKvf(ctx, ctx.opt.positional[0]);
    if (!block)
        return kExitBadInput;
    if (ctx.opt.json)
        ctx.out << blockToJson(*block);
    else
        printTable(ctx.out, *block);
    return kExitOk;
}

int writeOutput(Context& ctx, const QByteArray& data) {
    if (!ctx.opt.output || *ctx.opt.output == u"-") {
        ctx.out << QString::fromUtf8(data);
        return kExitOk;
    }
    QString error;
    if (!writeFileAtomically(*ctx.opt.output, data, &error)) {
        ctx.err << "velorinctl: " << error << '\n';
        return kExitCannotWrite;
    }
    return kExitOk;
}

int cmdExport(Context& ctx) {
    const std::optional<WorkModeBlock> block = loadKvf(ctx, ctx.opt.positional[0]);
    if (!block)
        return kExitBadInput;
    return writeOutput(ctx, blockToJson(*block));
}

int cmdImport(Context& ctx) {
    if (!ctx.opt.output || ctx.opt.output->isEmpty() || *ctx.opt.output == u"-") {
        ctx.err << "velorinctl: import needs -o FILE.kvf (the .kvf file to write)\n";
        return kExitUsage;
    }
    QString error;
    const std::optional<QByteArray> json = readBoundedFile(ctx.opt.positional[0], kMaxJsonFileSize, &error);
    if (!json) {
        ctx.err << "velorinctl: " << error << '\n';
        return kExitBadInput;
    }
    const std::optional<WorkModeBlock> block = blockFromJson(*json, &error);
    if (!block) {
        ctx.err << "velorinctl: " << ctx.opt.positional[0] << ": " << error << "; nothing was written\n";
        return kExitBadInput;
    }
    if (!writeKvfFile(*ctx.opt.output, *block, &error)) {
        ctx.err << "velorinctl: " << error << '\n';
        return kExitCannotWrite;
    }
    return kExitOk;
}

int cmdSet(Context& ctx) {
    const auto console = parseConsole(ctx.opt.positional[1], ctx.err);
    if (!console)
        return kExitUsage;
    // Every assignment is checked before the file is read or written.
    std::vector<std::pair<PadButton, KeyCode>> changes;
    for (qsizetype i = 2; i < ctx.opt.positional.size(); ++i) {
        const QString& a = ctx.opt.positional[i];
        const qsizetype eq = a.indexOf(u'=');
        if (eq <= 0) {
            ctx.err << "velorinctl: \"" << a.left(60) << "\" is not BUTTON=KEY (for example L2=A)\n";
            return kExitUsage;
        }
        const QString buttonText = a.left(eq);
        const std::optional<PadButton> button = parseButtonName(buttonText);
        if (!button || !consoleHas(*console, *button)) {
            ctx.err << "velorinctl: " << consoleName(*console) << " has no button \"" << buttonText.left(40)
                    << "\"; its buttons are: " << buttonLabels(*console).join(QStringLiteral(", ")) << '\n';
            return kExitUsage;
        }
        const std::optional<KeyCode> key = parseKeyName(a.mid(eq + 1));
        if (!key) {
            ctx.err
                << "velorinctl: unknown key \"" << a.mid(eq + 1).left(40)
                << "\"; use a key name (A, 7, F1, Space, Enter, Esc, KP_Enter, LCtrl, mouse-left, none) or "
                   "0xNN; `velorinctl help keys` lists every name\n";
            return kExitUsage;
        }
        changes.emplace_back(*button, *key);
    }
    std::optional<WorkModeBlock> block = loadKvf(ctx, ctx.opt.positional[0]);
    if (!block)
        return kExitBadInput;
    for (const auto& [button, key] : changes)
        block->setButton(*console, button, key);
    const QString target = ctx.opt.output ? *ctx.opt.output : ctx.opt.positional[0];
    QString error;
    if (!writeKvfFile(target, *block, &error)) {
        ctx.err << "velorinctl: " << error << '\n';
        return kExitCannotWrite;
    }
    return kExitOk;
}

int cmdDiff(Context& ctx) {
    const std::optional<WorkModeBlock> a = loadKvf(ctx, ctx.opt.positional[0]);
    if (!a)
        return kExitBadInput;
    const std::optional<WorkModeBlock> b = loadKvf(ctx, ctx.opt.positional[1]);
    if (!b)
        return kExitBadInput;
    const std::vector<Difference> diffs = diffBlocks(*a, *b);
    if (ctx.opt.json) {
        QJsonArray list;
        for (const Difference& d : diffs) {
            QJsonObject o{{"console", consoleWord(d.console)},
                          {"byte", d.byte},
                          {"a", valueAt(d.console, d.byte, d.a)},
                          {"b", valueAt(d.console, d.byte, d.b)}};
            if (const auto button = buttonAtByte(d.console, d.byte))
                o.insert(QStringLiteral("button"), buttonName(*button));
            list.append(o);
        }
        ctx.out << QJsonDocument(QJsonObject{{"same", diffs.empty()}, {"differences", list}})
                       .toJson(QJsonDocument::Indented);
    } else {
        for (const Difference& d : diffs)
            ctx.out << describeByte(d.console, d.byte) << ": " << valueAt(d.console, d.byte, d.a) << " -> "
                    << valueAt(d.console, d.byte, d.b) << '\n';
    }
    return diffs.empty() ? kExitOk : kExitDiffers;
}

// What monitor shows of one pad state.
struct PadView {
    QStringList pressed;
    QStringList stick;
    friend bool operator==(const PadView&, const PadView&) = default;
};

// `readable`: button names for people; otherwise the element names (JSON).
PadView viewOf(const device::JoyState& state, std::optional<ConsoleId> console, bool readable) {
    PadView v;
    static constexpr std::array<std::pair<PadButton, const char*>, 4> kStick{{
        {PadButton::lyhih_UP, "up"},
        {PadButton::lyhih_DOWN, "down"},
        {PadButton::lxhih_L, "left"},
        {PadButton::lxhih_R, "right"},
    }};
    for (const auto& [button, dir] : kStick) {
        if (device::lampOn(state, button))
            v.stick << QLatin1String(dir);
    }
    auto add = [&](PadButton b) {
        for (const auto& s : kStick) {
            if (s.first == b)
                return;
        }
        if (device::lampOn(state, b))
            v.pressed << (!console && b == PadButton::SHARE ? QStringLiteral("SHARE/CAPTURE")
                          : readable                        ? buttonLabel(b)
                                                            : buttonName(b));
    };
    if (console) {
        for (const PadButton b : consoleInfo(*console).buttons)
            add(b);
    } else {
        for (const PadButton b : consoleInfo(ConsoleId::PS4).buttons)
            add(b);
    }
    return v;
}

int cmdMonitor(Context& ctx) {
    std::optional<ConsoleId> console;
    if (ctx.opt.console) {
        console = parseConsole(*ctx.opt.console, ctx.err);
        if (!console)
            return kExitUsage;
    }
    if (int rc = preparePlatform(ctx); rc != kExitOk || (rc = requireAdapter(ctx)) != kExitOk)
        return rc;
    const std::unique_ptr<hid::HidHandle> handle = device::OpenAdapter();
    if (!handle) {
        ctx.err << "velorinctl: the adapter could not be opened\n";
        return kExitAdapterFailed;
    }
    ctx.err << "watching the adapter at " << QString::fromStdString(device::adapterPath().get())
            << "; press Ctrl+C to stop\n";
    ctx.err.flush();
    std::optional<PadView> last;
    hid::InputReport report{};
    for (;;) {
        switch (handle->readInputReport(report, 500, ctx.stop)) {
        case hid::ReadStatus::Timeout:
            continue;
        case hid::ReadStatus::Stopped:
            return kExitOk;
        case hid::ReadStatus::Gone:
            ctx.err << "velorinctl: the adapter went away\n";
            return kExitAdapterFailed;
        case hid::ReadStatus::Report:
            break;
        }
        if (!device::isPadStateReport(report))
            continue;
        device::JoyState state{};
        std::copy_n(report.begin() + 1, state.size(), state.begin());
        const PadView view = viewOf(state, console, !ctx.opt.json);
        if (last && *last == view)
            continue;
        last = view;
        if (ctx.opt.json) {
            const QByteArray raw(reinterpret_cast<const char*>(state.data()),
                                 static_cast<qsizetype>(state.size()));
            ctx.out << QJsonDocument(QJsonObject{{"pressed", QJsonArray::fromStringList(view.pressed)},
                                                 {"stick", QJsonArray::fromStringList(view.stick)},
                                                 {"stickX", state[2]},
                                                 {"stickY", state[3]},
                                                 {"raw", QString::fromLatin1(raw.toHex())}})
                           .toJson(QJsonDocument::Compact)
                    << '\n';
        } else {
            ctx.out << "pressed: " << (view.pressed.isEmpty() ? QStringLiteral("-") : view.pressed.join(u' '))
                    << "  stick: "
                    << (view.stick.isEmpty() ? QStringLiteral("centre") : view.stick.join(u' ')) << '\n';
        }
        ctx.out.flush();
    }
}

int cmdDoctor(Context& ctx) {
    if (const int rc = preparePlatform(ctx); rc != kExitOk)
        return rc;
    const DoctorReport report = runDoctor(ctx.opt.writeTest, ctx.simulated, ctx.err);
    if (ctx.opt.json)
        ctx.out << QJsonDocument(doctorJson(report)).toJson(QJsonDocument::Indented);
    else
        printDoctor(ctx.out, report);
    return report.exitCode;
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

std::vector<Difference> diffBlocks(const WorkModeBlock& a, const WorkModeBlock& b) {
    std::vector<Difference> out;
    for (const ConsoleId c : kBlockOrder) {
        const ConstRecordSpan ra = a.record(c);
        const ConstRecordSpan rb = b.record(c);
        for (std::size_t i = 0; i < kRecordSize; ++i) {
            if (ra[i] != rb[i])
                out.push_back({c, static_cast<int>(i), ra[i], rb[i]});
        }
    }
    return out;
}

QString describeByte(ConsoleId console, int byte) {
    if (byte == 0)
        return consoleName(console) + QStringLiteral(" id (byte 0)");
    if (const auto button = buttonAtByte(console, byte))
        return consoleName(console) + u' ' + buttonLabel(*button);
    return consoleName(console) + QStringLiteral(" byte %1").arg(byte);
}

int run(const QStringList& args, QTextStream& out, QTextStream& err, const hid::StopSignal* stop) {
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
            const std::optional<ConsoleId> console = consoleFromName(opt.console->toStdString());
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
    Context ctx{opt, out, err, stop};
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
    return verb->handler(ctx);
}

} // namespace velorin::ctl
