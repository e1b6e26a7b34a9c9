#include "CtlVerbs.h"

#include "Doctor.h"
#include "KeyNames.h"
#include "KvfFile.h"
#include "KvfJson.h"

#include "core/ChangeList.h"
#include "core/Clashes.h"
#include "core/ConsoleCopy.h"
#include "core/MappingLink.h"
#include "core/Sheet.h"
#include "device/Discovery.h"
#include "device/Reports.h"
#include "device/Sequences.h"
#include "device/hid/SimBus.h"
#include "model/Translations.h"

#include <QFileInfo>

#include <algorithm>
#include <array>

namespace velorin::ctl {

namespace {

using device::AdapterCandidate;

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

// Makes the command's adapter session on its platform, checking that a simulated bus exists.
// Returns kExitOk or an exit code after printing why not.
int preparePlatform(Context& ctx) {
    // Like the window, a set VELORIN_SIM_BUS alone attaches to that simulator.
    const QString fromEnv = qEnvironmentVariable("VELORIN_SIM_BUS");
    if (!ctx.opt.simulate && fromEnv.isEmpty()) {
        std::unique_ptr<hid::HidPlatform> platform = ctx.makePlatform ? ctx.makePlatform() : nullptr;
        ctx.session = std::make_unique<device::AdapterSession>(platform ? std::move(platform)
                                                                        : hid::makeHidrawPlatform());
        return kExitOk;
    }
    ctx.simulated = true;
    ctx.bus = !ctx.opt.bus.isEmpty() ? ctx.opt.bus
              : !fromEnv.isEmpty()   ? fromEnv
                                     : QString::fromStdString(hid::sim::defaultBusDir());
    if (!QFileInfo(ctx.bus).isDir()) {
        ctx.err << "velorinctl: no simulator bus at " << ctx.bus
                << "\n  start one in another terminal: velorin-sim --bus " << ctx.bus << '\n';
        return kExitNoAdapter;
    }
    ctx.session = std::make_unique<device::AdapterSession>(hid::makeSimPlatform(ctx.bus.toStdString()));
    return kExitOk;
}

// Checks that an adapter is present and can be opened; prints the diagnosis when not.
int requireAdapter(Context& ctx) {
    const std::vector<AdapterCandidate> candidates = device::DiagnoseAdapters(ctx.session->platform());
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

// The platform, then an adapter that can be opened.
int prepareAdapter(Context& ctx) {
    const int rc = preparePlatform(ctx);
    return rc != kExitOk ? rc : requireAdapter(ctx);
}

// The one-line message of a file that cannot be used; returns its exit code.
int report(Context& ctx, const FileError& error) {
    ctx.err << "velorinctl: " << QString::fromStdString(error.detail) << '\n';
    return error.kind;
}

std::optional<WorkModeBlock> loadKvf(Context& ctx, const QString& path) {
    auto block = readKvfFile(path);
    if (!block) {
        report(ctx, block.error());
        return std::nullopt;
    }
    return *block;
}

// The consoles from `from` on, in block order: "SWITCH and XBOX".
QString consolesFrom(ConsoleId from) {
    QStringList names;
    bool on = false;
    for (const ConsoleId c : kBlockOrder) {
        on = on || c == from;
        if (on)
            names << consoleName(c);
    }
    if (names.size() < 2)
        return names.join(QString());
    return names.mid(0, names.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" and ") + names.last();
}

// How output reports reach the adapter found first.
hid::OutputPath adapterOutputPath(const Context& ctx) {
    for (const hid::DeviceInfo& info : ctx.session->platform().enumerate()) {
        if (device::isAdapterIdentity(info))
            return hid::outputPath(info);
    }
    return hid::OutputPath::Unknown;
}

// Where and why a read-back ended before the fourth record.
struct ReadStop {
    device::ReadBackEnd end;
    ConsoleId console; // the record not read
    LinkError error;
};

// Reads the four records into `block`; the consoles read go to `got`.
std::optional<ReadStop> readBack(Context& ctx, WorkModeBlock& block, std::vector<ConsoleId>& got) {
    device::ReadBackEnd end = device::ReadBackEnd::Complete;
    LinkError error = LinkError::None;
    got = device::ReadBackFromAdapter(*ctx.session, block, {}, &end, &error);
    if (end == device::ReadBackEnd::Complete)
        return std::nullopt;
    return ReadStop{end, kBlockOrder[std::min(got.size(), kBlockOrder.size() - 1)], error};
}

// What stopped a read-back, as the middle of a sentence.
QString readStopText(const ReadStop& stop) {
    const QString record = consoleName(stop.console) + QStringLiteral(" record");
    if (stop.end == device::ReadBackEnd::NoAdapter)
        return QStringLiteral("the adapter went away before it could be read");
    if (stop.error == LinkError::Gone)
        return QStringLiteral("the adapter went away while the %1 was read").arg(record);
    if (stop.end == device::ReadBackEnd::NoReply)
        return QStringLiteral("the adapter did not answer the request for the %1 within %2 ms")
            .arg(record)
            .arg(kReplyTimeoutMs);
    return stop.error == LinkError::NoAnswer
               ? QStringLiteral("the adapter did not take the request for the %1 in time").arg(record)
               : QStringLiteral("the adapter refused the request for the %1").arg(record);
}

// A read-back whose requests went out but got no answer, on an adapter whose output reports
// travel on the interrupt OUT endpoint: the firmware may not hear them there.
void adviseOnSilence(Context& ctx, const ReadStop& stop) {
    if (stop.end == device::ReadBackEnd::NoReply && stop.error == LinkError::NoAnswer &&
        adapterOutputPath(ctx) == hid::OutputPath::Interrupt)
        ctx.err << interruptQuirkAdvice() << '\n';
}

// What happened to a report the adapter did not take, as the start of a sentence.
QString writeFailureText(LinkError error, const QString& what) {
    switch (error) {
    case LinkError::Gone:
        return QStringLiteral("the adapter went away before it took %1").arg(what);
    case LinkError::NoAnswer:
        return QStringLiteral("the adapter did not take %1 in time").arg(what);
    case LinkError::None:
    case LinkError::Refused:
        break;
    }
    return QStringLiteral("the adapter refused %1").arg(what);
}

int writeOutput(Context& ctx, const QByteArray& data) {
    if (!ctx.opt.output || *ctx.opt.output == u"-") {
        ctx.out << QString::fromUtf8(data);
        return kExitOk;
    }
    const auto written = writeFileAtomically(*ctx.opt.output, data);
    return written ? kExitOk : report(ctx, written.error());
}

int writeKvf(Context& ctx, const QString& path, const WorkModeBlock& block) {
    const auto written = writeKvfFile(path, block);
    return written ? kExitOk : report(ctx, written.error());
}

// `readable`: button names for people; otherwise the element names (JSON).
PadView viewOf(const device::JoyState& state, std::optional<ConsoleId> console, bool readable) {
    PadView v;
    v.state = state;
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
    for (const PadButton b : consoleInfo(console.value_or(ConsoleId::PS4)).buttons)
        add(b);
    return v;
}

// The assignments of `set`, all checked before any file is touched; nullopt after printing the
// first bad one.
std::optional<std::vector<std::pair<PadButton, KeyCode>>> parseAssignments(Context& ctx, ConsoleId console) {
    std::vector<std::pair<PadButton, KeyCode>> changes;
    for (qsizetype i = 2; i < ctx.opt.positional.size(); ++i) {
        const QString& a = ctx.opt.positional[i];
        const qsizetype eq = a.indexOf(u'=');
        if (eq <= 0) {
            ctx.err << "velorinctl: \"" << a.left(60) << "\" is not BUTTON=KEY (for example L2=A)\n";
            return std::nullopt;
        }
        const QString buttonText = a.left(eq);
        const std::optional<PadButton> button = parseButtonName(buttonText);
        if (!button || !consoleHas(console, *button)) {
            ctx.err << "velorinctl: " << consoleName(console) << " has no button \"" << buttonText.left(40)
                    << "\"; its buttons are: " << buttonLabels(console).join(QStringLiteral(", ")) << '\n';
            return std::nullopt;
        }
        const std::optional<KeyCode> key = parseKeyName(a.mid(eq + 1));
        if (!key) {
            ctx.err
                << "velorinctl: unknown key \"" << a.mid(eq + 1).left(40)
                << "\"; use a key name (A, 7, F1, Space, Enter, Esc, KP_Enter, LCtrl, mouse-left, none) or "
                   "0xNN; `velorinctl help keys` lists every name\n";
            return std::nullopt;
        }
        changes.emplace_back(*button, *key);
    }
    return changes;
}

// apply --dry-run: reads what the adapter holds and lists what apply would change. Only the read
// requests go out; no record and no mode select is written.
Outcome applyDryRun(Context& ctx, const WorkModeBlock& block, ConsoleId mode) {
    if (const int rc = prepareAdapter(ctx); rc != kExitOk)
        return rc;
    WorkModeBlock held;
    std::vector<ConsoleId> got;
    const std::optional<ReadStop> stop = readBack(ctx, held, got);
    KnownRecords known;
    for (const ConsoleId c : got) {
        const ConstRecordSpan record = held.record(c);
        workModeData copy{};
        std::copy(record.begin(), record.end(), copy.begin());
        known[static_cast<std::size_t>(consoleInfo(c).blockIndex)] = copy;
    }
    ChangePreview preview{changesToApply(block, known)};
    if (stop) {
        ctx.err << "velorinctl: dry run incomplete: " << readStopText(*stop) << "; "
                << consolesFrom(stop->console) << (stop->console == kBlockOrder.back() ? " was" : " were")
                << " not read; nothing was written\n";
        adviseOnSilence(ctx, *stop);
        return {kExitAdapterFailed, std::move(preview)};
    }
    std::size_t buttons = 0;
    QStringList names;
    for (const ConsoleChanges& c : preview.changes) {
        buttons += c.buttons.size();
        names << consoleName(c.console);
    }
    if (preview.changes.empty())
        ctx.err << "dry run: the adapter already holds these assignments; nothing was written\n";
    else
        ctx.err << "dry run: apply would change " << buttons << (buttons == 1 ? " button" : " buttons")
                << " on " << names.join(QStringLiteral(", ")) << ", write the 4 records and select mode "
                << consoleName(mode) << "; nothing was written\n";
    return {kExitOk, std::move(preview)};
}

// The sheet's texts in a language: Chinese is the sources; English and Japanese come from the
// translation documents compiled into the model library.
std::optional<SheetTexts> sheetTextsFor(const QString& language, QTextStream& err) {
    const QString name = language.trimmed().toLower();
    if (name == u"zh")
        return sheetTexts("zh-CN", {});
    if (name != u"en" && name != u"ja") {
        err << "velorinctl: unknown language \"" << language.left(20) << "\"; use zh, en or ja\n";
        return std::nullopt;
    }
    const TranslationDocument* document = builtInTranslation(name);
    if (!document) {
        err << "velorinctl: this build lacks the " << name << " translation document; nothing was written\n";
        return std::nullopt;
    }
    return sheetTexts(name.toStdString(), [document](std::string_view context, std::string_view source) {
        const QString translated =
            document->translate(QString::fromUtf8(context.data(), qsizetype(context.size())),
                                QString::fromUtf8(source.data(), qsizetype(source.size())));
        return translated.isEmpty() ? std::string(source) : translated.toStdString();
    });
}

InterfaceList::Entry describeInterface(const Context& ctx, const hid::DeviceInfo& info) {
    InterfaceList::Entry e{info};
    std::string whyNot;
    e.adapter = device::isAdapterIdentity(info, &whyNot);
    e.whyNot = QString::fromStdString(whyNot);
    if (e.adapter)
        e.openError = device::OpenAdapterPath(ctx.session->platform(), info.path).kind();
    if (e.adapter && e.openError == hid::OpenError::PermissionDenied)
        e.fix = permissionFix(ctx, info.path);
    return e;
}

} // namespace

std::optional<ConsoleId> parseConsole(const QString& text, QTextStream& err) {
    const std::optional<ConsoleId> c = consoleFromName(text.toStdString());
    if (!c) {
        err << "velorinctl: unknown console \"" << text.left(40) << "\"; use "
            << consoleWords(QStringLiteral(" or ")) << '\n';
        return std::nullopt;
    }
    return c;
}

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

// ---------------------------------------------------------------------------------------------
// The verbs

Outcome cmdList(Context& ctx) {
    if (const int rc = preparePlatform(ctx); rc != kExitOk)
        return rc;
    InterfaceList list;
    for (const hid::DeviceInfo& info : ctx.session->platform().enumerate()) {
        InterfaceList::Entry e = describeInterface(ctx, info);
        if (e.adapter && e.openError == hid::OpenError::None && ++list.usable == 1)
            list.firstUsable = QString::fromStdString(info.path);
        if (e.adapter && e.openError == hid::OpenError::PermissionDenied)
            ++list.denied;
        list.interfaces.push_back(std::move(e));
    }
    if (ctx.simulated)
        list.where = " on the simulated bus " + ctx.bus;
    const int rc = list.usable > 0 ? kExitOk : list.denied > 0 ? kExitNoAccess : kExitNoAdapter;
    return {rc, std::move(list)};
}

Outcome cmdRead(Context& ctx) {
    if (const int rc = prepareAdapter(ctx); rc != kExitOk)
        return rc;
    WorkModeBlock block;
    std::vector<ConsoleId> got;
    const std::optional<ReadStop> stop = readBack(ctx, block, got);
    if (stop) {
        ctx.err << "velorinctl: " << readStopText(*stop) << " (" << got.size() << " of 4 read); "
                << (ctx.opt.output ? QStringLiteral("nothing was written")
                                   : QStringLiteral("nothing is shown"))
                << '\n';
        adviseOnSilence(ctx, *stop);
        return kExitAdapterFailed;
    }
    if (!ctx.opt.output)
        return {kExitOk, BlockView{block}};
    if (const int rc = writeKvf(ctx, *ctx.opt.output, block); rc != kExitOk)
        return rc;
    ctx.err << "read 4 records into " << *ctx.opt.output << '\n';
    return kExitOk;
}

Outcome cmdApply(Context& ctx) {
    ConsoleId mode = ConsoleId::PS3;
    if (ctx.opt.console) {
        const auto c = parseConsole(*ctx.opt.console, ctx.err);
        if (!c)
            return kExitUsage;
        mode = *c;
    }
    if (ctx.opt.dryRun && ctx.opt.verify) {
        ctx.err
            << "velorinctl: --verify and --dry-run exclude each other: a dry run writes nothing to verify\n";
        return kExitUsage;
    }
    if (ctx.opt.json && !ctx.opt.dryRun) {
        ctx.err << "velorinctl: apply takes --json only with --dry-run\n";
        return kExitUsage;
    }
    std::optional<WorkModeBlock> block = loadKvf(ctx, ctx.opt.positional[0]);
    if (!block)
        return kExitBadInput;
    if (ctx.opt.dryRun)
        return applyDryRun(ctx, *block, mode);
    if (const int rc = prepareAdapter(ctx); rc != kExitOk)
        return rc;
    const device::ApplyResult result = device::ApplyToAdapter(*ctx.session, *block, mode);
    if (result.status == device::ApplyStatus::NoAdapter) {
        ctx.err << "velorinctl: the adapter could not be opened; nothing was written\n";
        return kExitNoAdapter;
    }
    if (result.status == device::ApplyStatus::WriteFailed) {
        const ConsoleId failed = result.failedConsole.value_or(ConsoleId::PS3);
        QStringList written;
        for (const ConsoleId c : kBlockOrder) {
            if (c == failed)
                break;
            written << consoleName(c);
        }
        ctx.err << "velorinctl: "
                << writeFailureText(result.failure, QStringLiteral("the %1 record").arg(consoleName(failed)))
                << "; written: "
                << (written.isEmpty() ? QStringLiteral("none") : written.join(QStringLiteral(", ")))
                << "; not written: " << consolesFrom(failed) << "; no mode was selected\n";
        return kExitAdapterFailed;
    }
    ctx.err << "applied " << ctx.opt.positional[0] << ": 4 records written, mode " << consoleName(mode)
            << " selected\n";
    if (!ctx.opt.verify)
        return kExitOk;
    // The block now holds exactly what was sent (ids set, unused bytes cleared).
    WorkModeBlock back = *block;
    std::vector<ConsoleId> got;
    const std::optional<ReadStop> stop = readBack(ctx, back, got);
    Verification v;
    for (const Difference& d : diffBlocks(*block, back)) {
        if (std::ranges::find(got, d.console) != got.end())
            v.differences.push_back(d);
    }
    if (stop) {
        // Only what was read back is compared: a record that did not come is no difference.
        ctx.err << "velorinctl: verify incomplete: " << readStopText(*stop) << "; "
                << consolesFrom(stop->console) << (stop->console == kBlockOrder.back() ? " was" : " were")
                << " not compared\n";
        if (!v.differences.empty())
            ctx.err << "velorinctl: verify failed: the adapter does not hold what was written\n";
        adviseOnSilence(ctx, *stop);
        return {kExitAdapterFailed, std::move(v)};
    }
    if (v.differences.empty()) {
        ctx.err << "verified: the adapter holds the 4 records written\n";
        return {kExitOk, std::move(v)};
    }
    ctx.err << "velorinctl: verify failed: the adapter does not hold what was written\n";
    if (adapterOutputPath(ctx) == hid::OutputPath::Interrupt)
        ctx.err << interruptQuirkAdvice() << '\n';
    return {kExitDiffers, std::move(v)};
}

Outcome cmdSelect(Context& ctx) {
    const auto console = parseConsole(ctx.opt.positional[0], ctx.err);
    if (!console)
        return kExitUsage;
    if (const int rc = prepareAdapter(ctx); rc != kExitOk)
        return rc;
    if (const device::LinkStatus sent = device::SendModeSelect(ctx.session->platform(), *console); !sent) {
        ctx.err << "velorinctl: " << writeFailureText(sent.kind(), QStringLiteral("the mode select")) << '\n';
        return kExitAdapterFailed;
    }
    ctx.err << "mode " << consoleName(*console) << " selected\n";
    return kExitOk;
}

Outcome cmdShow(Context& ctx) {
    const std::optional<WorkModeBlock> block = loadKvf(ctx, ctx.opt.positional[0]);
    if (!block)
        return kExitBadInput;
    return {kExitOk, BlockView{*block}};
}

Outcome cmdExport(Context& ctx) {
    const std::optional<WorkModeBlock> block = loadKvf(ctx, ctx.opt.positional[0]);
    if (!block)
        return kExitBadInput;
    return writeOutput(ctx, blockToJson(*block));
}

Outcome cmdImport(Context& ctx) {
    if (!ctx.opt.output || ctx.opt.output->isEmpty() || *ctx.opt.output == u"-") {
        ctx.err << "velorinctl: import needs -o FILE.kvf (the .kvf file to write)\n";
        return kExitUsage;
    }
    const auto json = readBoundedFile(ctx.opt.positional[0], kMaxJsonFileSize);
    if (!json)
        return report(ctx, json.error());
    const auto block = blockFromJson(*json);
    if (!block) {
        ctx.err << "velorinctl: " << ctx.opt.positional[0] << ": "
                << QString::fromStdString(block.error().detail) << "; nothing was written\n";
        return kExitBadInput;
    }
    return writeKvf(ctx, *ctx.opt.output, *block);
}

Outcome cmdSet(Context& ctx) {
    const auto console = parseConsole(ctx.opt.positional[1], ctx.err);
    if (!console)
        return kExitUsage;
    const auto changes = parseAssignments(ctx, *console);
    if (!changes)
        return kExitUsage;
    std::optional<WorkModeBlock> block = loadKvf(ctx, ctx.opt.positional[0]);
    if (!block)
        return kExitBadInput;
    for (const auto& [button, key] : *changes)
        block->setButton(*console, button, key);
    return writeKvf(ctx, ctx.opt.output ? *ctx.opt.output : ctx.opt.positional[0], *block);
}

Outcome cmdCopy(Context& ctx) {
    const auto from = parseConsole(ctx.opt.positional[1], ctx.err);
    const auto to = from ? parseConsole(ctx.opt.positional[2], ctx.err) : std::nullopt;
    if (!from || !to)
        return kExitUsage;
    if (*from == *to) {
        ctx.err << "velorinctl: copy needs two different consoles\n";
        return kExitUsage;
    }
    const std::optional<WorkModeBlock> block = loadKvf(ctx, ctx.opt.positional[0]);
    if (!block)
        return kExitBadInput;
    return writeKvf(ctx, ctx.opt.output ? *ctx.opt.output : ctx.opt.positional[0],
                    copyConsole(*block, *from, *to));
}

Outcome cmdDiff(Context& ctx) {
    const std::optional<WorkModeBlock> a = loadKvf(ctx, ctx.opt.positional[0]);
    if (!a)
        return kExitBadInput;
    const std::optional<WorkModeBlock> b = loadKvf(ctx, ctx.opt.positional[1]);
    if (!b)
        return kExitBadInput;
    DiffList list{diffBlocks(*a, *b)};
    const int rc = list.differences.empty() ? kExitOk : kExitDiffers;
    return {rc, std::move(list)};
}

Outcome cmdCheck(Context& ctx) {
    const std::optional<WorkModeBlock> block = loadKvf(ctx, ctx.opt.positional[0]);
    if (!block)
        return kExitBadInput;
    ClashList list{findClashes(*block)};
    const int rc = list.report.clean() ? kExitOk : kExitDiffers;
    return {rc, std::move(list)};
}

Outcome cmdLink(Context& ctx) {
    const QString fromEnv = qEnvironmentVariable("VELORIN_WEB_URL");
    if (!ctx.opt.base && fromEnv.isEmpty()) {
        ctx.err << "velorinctl: link needs the address of the web page: give --base URL (for example\n"
                   "  --base https://example.org/velorin/) or set VELORIN_WEB_URL\n";
        return kExitUsage;
    }
    const std::optional<WorkModeBlock> block = loadKvf(ctx, ctx.opt.positional[0]);
    if (!block)
        return kExitBadInput;
    const auto link =
        mappinglink::linkForBlock(*block, (ctx.opt.base ? *ctx.opt.base : fromEnv).toStdString());
    if (!link) {
        ctx.err << "velorinctl: " << (ctx.opt.base ? "--base" : "VELORIN_WEB_URL") << ": "
                << QString::fromStdString(link.error().detail) << '\n';
        return kExitUsage;
    }
    return {kExitOk, MappingLinkView{QString::fromStdString(*link)}};
}

Outcome cmdImportLink(Context& ctx) {
    if (!ctx.opt.output || ctx.opt.output->isEmpty() || *ctx.opt.output == u"-") {
        ctx.err << "velorinctl: import-link needs -o FILE.kvf (the .kvf file to write)\n";
        return kExitUsage;
    }
    const auto block = mappinglink::blockFromLink(ctx.opt.positional[0].toStdString());
    if (!block) {
        ctx.err << "velorinctl: not a mapping link: " << QString::fromStdString(block.error().detail)
                << "; nothing was written\n";
        return kExitBadInput;
    }
    return writeKvf(ctx, *ctx.opt.output, *block);
}

Outcome cmdSheet(Context& ctx) {
    const QString output = ctx.opt.output.value_or(QString());
    const QString suffix = QFileInfo(output).suffix().toLower();
    const bool svg = suffix == u"svg";
    if (!svg && suffix != u"html" && suffix != u"htm") {
        ctx.err << "velorinctl: sheet needs -o SHEET.html or -o SHEET.svg (the suffix chooses the format)\n";
        return kExitUsage;
    }
    const std::optional<SheetTexts> texts =
        sheetTextsFor(ctx.opt.lang.value_or(QStringLiteral("en")), ctx.err);
    if (!texts)
        return ctx.opt.lang ? kExitUsage : kExitCannotWrite;
    const std::optional<WorkModeBlock> block = loadKvf(ctx, ctx.opt.positional[0]);
    if (!block)
        return kExitBadInput;
    const std::string document = svg ? renderSheetSvg(*block, *texts) : renderSheetHtml(*block, *texts);
    return writeOutput(ctx, QByteArray::fromStdString(document));
}

Outcome cmdMonitor(Context& ctx) {
    std::optional<ConsoleId> console;
    if (ctx.opt.console) {
        console = parseConsole(*ctx.opt.console, ctx.err);
        if (!console)
            return kExitUsage;
    }
    if (const int rc = prepareAdapter(ctx); rc != kExitOk)
        return rc;
    const std::unique_ptr<hid::HidHandle> handle = device::OpenAdapter(*ctx.session);
    if (!handle) {
        ctx.err << "velorinctl: the adapter could not be opened\n";
        return kExitAdapterFailed;
    }
    ctx.err << "watching the adapter at " << QString::fromStdString(ctx.session->adapterPath().get())
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
        if (!isPadStateReport(report))
            continue;
        device::JoyState state{};
        std::copy_n(report.begin() + 1, state.size(), state.begin());
        PadView view = viewOf(state, console, !ctx.opt.json);
        if (last && *last == view)
            continue;
        ctx.show(view);
        ctx.out.flush();
        last = std::move(view);
    }
}

Outcome cmdDoctor(Context& ctx) {
    if (const int rc = preparePlatform(ctx); rc != kExitOk)
        return rc;
    DoctorReport report = runDoctor(*ctx.session, ctx.opt.writeTest, ctx.simulated, ctx.err);
    const int rc = report.exitCode;
    return {rc, std::move(report)};
}

} // namespace velorin::ctl
