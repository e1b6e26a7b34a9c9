// velorinctl doctor: everything between the desk and the adapter, checked one by one, with a verdict
// an owner can act on and a report to attach to a bug.
#pragma once

#include "device/AdapterSession.h"
#include "device/hid/HidPlatform.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>
#include <vector>

namespace velorin::ctl {

struct DoctorReport {
    QString kernel;
    struct Interface {
        QString path;
        QString vendorProduct; // "0888:8831"
        bool adapter = false;
        QString reason; // why it is not the adapter
    };
    std::vector<Interface> interfaces;
    QString adapter; // the adapter's path, empty when none was found
    hid::OutputPath outputPath = hid::OutputPath::Unknown;
    std::optional<bool> interruptOut;
    bool quirkActive = false;
    struct Access {
        QString owner;
        QString group;
        QString mode; // "0660"
        QStringList acl;
        bool canOpen = false;
        QString problem; // why it cannot be opened
    } access;
    QString udevRule; // where 70-velorin.rules is installed, empty when nowhere udev reads
    QString seat;     // "seat0, active", "seat0, not active", or why it is unknown
    bool identityOk = false;
    QString identityDetail;
    std::optional<double> readbackMs;
    int recordsRead = 0;
    bool writeFailed = false;         // the kernel could not send one of the reports doctor wrote
    std::optional<bool> recordsMatch; // the write test; nullopt when it did not run
    std::optional<bool> restored;     // the records written back after the write test
    QString backup;                   // the records saved before the write test
    QString advice;                   // what to do about a failure, one or two sentences
    QString verdict;                  // "ok" or a short reason
    int exitCode = 0;
};

// Runs every check in `session` (its platform; it stores the adapter's path there). With
// `writeTest` it also writes a changed copy of the records, reads them back, and writes the
// originals back (never a mode select); progress lines for a long step go to `progress`. The
// printers of CtlPrint.h render the report.
DoctorReport runDoctor(device::AdapterSession& session, bool writeTest, bool simulated,
                       QTextStream& progress);

// The one sentence that names the usbhid quirk when writes on the interrupt endpoint go unheard.
QString interruptQuirkAdvice();

} // namespace velorin::ctl
