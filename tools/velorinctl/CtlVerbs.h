// The verbs of velorinctl: what each gets (the parsed command line) and what it gives back (an exit
// code and a report for the printers). The table that names them is in Ctl.cpp.
#pragma once

#include "CtlPrint.h"

#include "core/Console.h"
#include "device/AdapterSession.h"
#include "device/hid/HidPlatform.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <functional>
#include <memory>
#include <optional>

namespace velorin::ctl {

struct Options {
    QString verb;
    QStringList positional;
    bool help = false;
    bool version = false;
    bool json = false;
    bool verify = false;
    bool writeTest = false;
    bool dryRun = false;
    bool verbose = false;
    bool simulate = false;
    // Hidden, for the shell completions: the key names, or the button names (of --console).
    bool listKeys = false;
    bool listButtons = false;
    QString bus;
    std::optional<QString> output;
    std::optional<QString> console;
    std::optional<QString> base; // link: the web page's address
    std::optional<QString> lang; // sheet: zh, en or ja
};

// What a verb gets. Messages (progress, problems, fixes) go to `err` at once; results go back in
// the Outcome and only the printers write `out`.
struct Context {
    const Options& opt;
    QTextStream& out;
    QTextStream& err;
    const hid::StopSignal* stop;
    // The platform without --simulate (hidraw when empty).
    PlatformFactory makePlatform;
    bool simulated = false;
    QString bus;
    // The command's adapter session, made by preparePlatform (and so by prepareAdapter).
    std::unique_ptr<device::AdapterSession> session;

    // Prints one report as text or, with --json, as JSON. For verbs that stream (monitor); the
    // others return their report.
    void show(const Report& report) {
        if (opt.json)
            printJson(out, report);
        else
            printText(out, report);
    }
};

// What a verb gives back: an exit code from Ctl.h and what to print on standard output.
struct Outcome {
    Outcome(int exit = kExitOk, Report report = {}) : exitCode(exit), report(std::move(report)) {}
    int exitCode;
    Report report;
};

using Handler = Outcome (*)(Context&);

// nullopt after printing the problem.
std::optional<ConsoleId> parseConsole(const QString& text, QTextStream& err);

Outcome cmdList(Context& ctx);
Outcome cmdRead(Context& ctx);
Outcome cmdApply(Context& ctx);
Outcome cmdSelect(Context& ctx);
Outcome cmdShow(Context& ctx);
Outcome cmdExport(Context& ctx);
Outcome cmdImport(Context& ctx);
Outcome cmdSet(Context& ctx);
Outcome cmdCopy(Context& ctx);
Outcome cmdDiff(Context& ctx);
Outcome cmdCheck(Context& ctx);
Outcome cmdLink(Context& ctx);
Outcome cmdImportLink(Context& ctx);
Outcome cmdSheet(Context& ctx);
Outcome cmdDoctor(Context& ctx);
Outcome cmdMonitor(Context& ctx);

} // namespace velorin::ctl
