#include "Doctor.h"

#include "Ctl.h"
#include "CtlPrint.h"
#include "KvfFile.h"

#include "core/Identity.h"
#include "device/Discovery.h"
#include "device/Reports.h"
#include "device/Sequences.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <sys/xattr.h>

#include <array>
#include <cstring>

namespace velorin::ctl {
namespace {

QString kernelRelease() {
    utsname u{};
    if (::uname(&u) != 0)
        return QStringLiteral("unknown");
    return QString::fromLocal8Bit(u.sysname) + u' ' + QString::fromLocal8Bit(u.release);
}

// The entries of a POSIX access ACL beyond owner, group and others ("user:1000:rw-").
QStringList aclEntries(const QString& path) {
    std::array<uint8_t, 1024> buf{};
    const ssize_t n =
        ::getxattr(path.toLocal8Bit().constData(), "system.posix_acl_access", buf.data(), buf.size());
    QStringList out;
    if (n < 4)
        return out;
    // A 4-byte version, then entries of tag (u16), permissions (u16) and id (u32), little-endian.
    auto u16 = [&](std::size_t at) { return unsigned(buf[at] | buf[at + 1] << 8); };
    auto u32 = [&](std::size_t at) { return u16(at) | u16(at + 2) << 16; };
    for (std::size_t at = 4; at + 8 <= std::size_t(n); at += 8) {
        const unsigned tag = u16(at);
        const unsigned perm = u16(at + 2);
        const QString rwx = QStringLiteral("%1%2%3")
                                .arg(perm & 4 ? u'r' : u'-')
                                .arg(perm & 2 ? u'w' : u'-')
                                .arg(perm & 1 ? u'x' : u'-');
        if (tag == 0x02) // a named user
            out << QStringLiteral("user:%1:%2").arg(u32(at + 4)).arg(rwx);
        else if (tag == 0x08) // a named group
            out << QStringLiteral("group:%1:%2").arg(u32(at + 4)).arg(rwx);
        else if (tag == 0x10)
            out << QStringLiteral("mask::%1").arg(rwx);
    }
    return out;
}

void describeAccess(const QString& path, DoctorReport::Access& access) {
    struct stat st {};
    if (::stat(path.toLocal8Bit().constData(), &st) != 0)
        return;
    const passwd* pw = ::getpwuid(st.st_uid);
    const group* gr = ::getgrgid(st.st_gid);
    access.owner = pw ? QString::fromLocal8Bit(pw->pw_name) : QString::number(st.st_uid);
    access.group = gr ? QString::fromLocal8Bit(gr->gr_name) : QString::number(st.st_gid);
    access.mode = QString::number(st.st_mode & 07777, 8).rightJustified(4, u'0');
    access.acl = aclEntries(path);
}

// Where udev would read the rule from, or where it lies unread.
QString installedRule(bool& read) {
    for (const char* dir :
         {"/etc/udev/rules.d", "/run/udev/rules.d", "/usr/lib/udev/rules.d", "/lib/udev/rules.d"}) {
        const QString path = QString::fromLatin1(dir) + QStringLiteral("/70-velorin.rules");
        if (QFileInfo::exists(path)) {
            read = true;
            return path;
        }
    }
    read = false;
    const QString local = QStringLiteral("/usr/local/lib/udev/rules.d/70-velorin.rules");
    return QFileInfo::exists(local) ? local : QString();
}

QString seatState() {
    const QString session = qEnvironmentVariable("XDG_SESSION_ID");
    const QString loginctl = QStandardPaths::findExecutable(QStringLiteral("loginctl"));
    if (loginctl.isEmpty())
        return QStringLiteral("unknown (no loginctl)");
    if (session.isEmpty())
        return QStringLiteral("unknown (not in a login session)");
    QProcess p;
    p.start(loginctl, {QStringLiteral("show-session"), session, QStringLiteral("-p"), QStringLiteral("Seat"),
                       QStringLiteral("-p"), QStringLiteral("Active")});
    if (!p.waitForFinished(3000) || p.exitCode() != 0)
        return QStringLiteral("unknown (loginctl failed)");
    QString seat;
    bool active = false;
    for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(u'\n')) {
        if (line.startsWith(u"Seat="))
            seat = line.mid(5).left(40);
        else if (line == u"Active=yes")
            active = true;
    }
    if (seat.isEmpty())
        return QStringLiteral("no seat (a remote or background session)");
    return seat + (active ? QStringLiteral(", active") : QStringLiteral(", not active"));
}

QString backupFolder() {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty())
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/velorin");
}

// Reads the four records; the time of the whole read-back in ms, or nullopt when not all came
// (`end` says why).
std::optional<double> readAll(device::AdapterSession& session, WorkModeBlock& block, int* count = nullptr,
                              device::ReadBackEnd* end = nullptr) {
    QElapsedTimer t;
    t.start();
    const auto got = device::ReadBackFromAdapter(session, block, {}, end);
    const double ms = double(t.nsecsElapsed()) / 1e6;
    if (count)
        *count = int(got.size());
    if (got.size() != kBlockOrder.size())
        return std::nullopt;
    return ms;
}

// Writes the four records byte for byte, except byte 0, which names the slot and so must be the
// console's id: unlike apply, the unused bytes stay as they are, so the adapter can end exactly
// as it began. No mode select follows.
std::optional<WorkModeBlock> writeExactly(device::AdapterSession& session, WorkModeBlock block) {
    const std::unique_ptr<hid::HidHandle> handle = device::OpenAdapter(session);
    if (!handle)
        return std::nullopt;
    for (const ConsoleId c : kBlockOrder) {
        const RecordSpan record = block.record(c);
        record[0] = static_cast<uint8_t>(c);
        if (!handle->setOutputReport(makeWriteWorkModeReport(record)))
            return std::nullopt;
    }
    return block;
}

// How writing four records and reading them back went.
enum class RoundTrip { Same, Differs, WriteFailed, NotReadBack };

RoundTrip writeAndCompare(device::AdapterSession& session, const WorkModeBlock& wanted) {
    const std::optional<WorkModeBlock> sent = writeExactly(session, wanted);
    if (!sent)
        return RoundTrip::WriteFailed;
    WorkModeBlock back;
    device::ReadBackEnd end = device::ReadBackEnd::Complete;
    if (!readAll(session, back, nullptr, &end))
        return end == device::ReadBackEnd::RequestFailed ? RoundTrip::WriteFailed : RoundTrip::NotReadBack;
    return back == *sent ? RoundTrip::Same : RoundTrip::Differs;
}

// What to do when the kernel could not send a report to the adapter.
QString writeFailedAdvice(const DoctorReport& r) {
    if (r.quirkActive && r.interruptOut.value_or(false))
        return QStringLiteral(
            "The usbhid quirk 0x00040000 is set for the adapter, so the kernel sends output reports as "
            "SET_REPORT requests, and this adapter, which has an interrupt OUT endpoint, refuses them: "
            "remove "
            "the quirk (/etc/modprobe.d/velorin-usbhid-quirk.conf, or usbhid.quirks on the kernel command "
            "line), reload usbhid or reboot, and replug the adapter.");
    return QStringLiteral("The kernel could not send a report to the adapter (the write failed): replug the "
                          "adapter and run velorinctl doctor again.");
}

void fail(DoctorReport& r, const QString& verdict, int exitCode, const QString& advice = {}) {
    r.verdict = verdict;
    r.exitCode = exitCode;
    if (!advice.isEmpty())
        r.advice = advice;
}

void writeTest(device::AdapterSession& session, DoctorReport& r, const WorkModeBlock& original,
               QTextStream& progress) {
    QDir().mkpath(backupFolder());
    r.backup = backupFolder() + QStringLiteral("/doctor-backup-") +
               QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")) +
               QStringLiteral(".kvf");
    if (const auto saved = writeKvfFile(r.backup, original); !saved) {
        r.backup.clear();
        fail(r, QStringLiteral("cannot save the records before the write test"), kExitCannotWrite,
             QString::fromStdString(saved.error().detail));
        return;
    }
    progress << "records saved in " << r.backup << "; writing a changed copy\n";
    progress.flush();
    WorkModeBlock changed = original;
    const KeyCode was = changed.button(ConsoleId::PS3, PadButton::L2);
    changed.setButton(ConsoleId::PS3, PadButton::L2, was == 0x04 ? 0x05 : 0x04); // A, or B
    const RoundTrip changedTrip = writeAndCompare(session, changed);
    const RoundTrip restoredTrip = writeAndCompare(session, original);
    r.recordsMatch = changedTrip == RoundTrip::Same;
    r.restored = restoredTrip == RoundTrip::Same;
    r.writeFailed = changedTrip == RoundTrip::WriteFailed || restoredTrip == RoundTrip::WriteFailed;
    const QString restore = QStringLiteral("velorinctl apply %1 --verify").arg(r.backup);
    if (!*r.restored) {
        fail(r, QStringLiteral("the records could not be written back"), kExitAdapterFailed,
             (r.writeFailed ? writeFailedAdvice(r) + u' ' : QString()) +
                 QStringLiteral("Restore them with: ") + restore);
        return;
    }
    if (changedTrip == RoundTrip::WriteFailed) {
        fail(r, QStringLiteral("a write to the adapter failed"), kExitAdapterFailed, writeFailedAdvice(r));
        return;
    }
    if (!*r.recordsMatch) {
        fail(r, QStringLiteral("the adapter does not keep what is written"), kExitDiffers,
             r.outputPath == hid::OutputPath::Interrupt
                 ? interruptQuirkAdvice()
                 : QStringLiteral("The adapter took every write and then read back its old records."));
    }
}

// Fills the report's interfaces; returns the first with the adapter's identity.
std::optional<hid::DeviceInfo> listInterfaces(hid::HidPlatform& platform, DoctorReport& r) {
    std::optional<hid::DeviceInfo> adapterInfo;
    for (const hid::DeviceInfo& info : platform.enumerate()) {
        std::string whyNot;
        const bool isAdapter = device::isAdapterIdentity(info, &whyNot);
        r.interfaces.push_back({QString::fromStdString(info.path),
                                hex4(info.vendorId) + u':' + hex4(info.productId), isAdapter,
                                QString::fromStdString(whyNot)});
        if (isAdapter && !adapterInfo)
            adapterInfo = info;
    }
    return adapterInfo;
}

} // namespace

QString interruptQuirkAdvice() {
    // usbhid's HID_QUIRK_NO_OUTPUT_REPORTS_ON_INTR_EP for the adapter's ids.
    const QString quirk =
        QString::asprintf("0x%04x:0x%04x:0x00040000", kAdapterIdentity.vendorId, kAdapterIdentity.productId);
    return QStringLiteral("Output reports travel on the adapter's interrupt OUT endpoint, where its firmware "
                          "does not hear them: make usbhid send them as SET_REPORT with the line \"options "
                          "usbhid quirks=%1\" in /etc/modprobe.d/velorin-usbhid-quirk.conf (an example is in "
                          "/usr/share/doc/velorin/examples/), then reload usbhid or reboot and replug the "
                          "adapter.")
        .arg(quirk);
}

DoctorReport runDoctor(device::AdapterSession& session, bool withWriteTest, bool simulated,
                       QTextStream& progress) {
    DoctorReport r;
    r.kernel = kernelRelease();
    r.verdict = QStringLiteral("ok");
    bool ruleRead = false;
    r.udevRule = installedRule(ruleRead);
    if (!ruleRead)
        r.udevRule.clear();
    r.seat = seatState();

    const std::optional<hid::DeviceInfo> adapterInfo = listInterfaces(session.platform(), r);
    if (!adapterInfo) {
        fail(r, QStringLiteral("no adapter"), kExitNoAdapter,
             simulated ? QStringLiteral("Start velorin-sim on this bus.")
                       : QStringLiteral(
                             "Plug the adapter in; if it is plugged in, it is not seen as a HID device."));
        return r;
    }
    r.adapter = QString::fromStdString(adapterInfo->path);
    r.interruptOut = adapterInfo->interruptOut;
    r.quirkActive = (adapterInfo->usbhidQuirks & hid::kQuirkNoOutputReportsOnIntrEp) != 0;
    r.outputPath = hid::outputPath(*adapterInfo);
    describeAccess(r.adapter, r.access);

    std::unique_ptr<hid::HidHandle> handle = session.platform().open(adapterInfo->path);
    if (!handle) {
        hid::OpenError error = hid::OpenError::None;
        session.platform().open(adapterInfo->path, &error);
        const bool denied = error == hid::OpenError::PermissionDenied;
        r.access.problem =
            denied ? QStringLiteral("permission denied") : QStringLiteral("it cannot be opened");
        fail(r,
             denied ? QStringLiteral("no access to the adapter")
                    : QStringLiteral("the adapter cannot be opened"),
             denied ? kExitNoAccess : kExitAdapterFailed,
             denied && !simulated
                 ? (r.udevRule.isEmpty()
                        ? QStringLiteral(
                              "Install 70-velorin.rules (see velorinctl list) and replug the adapter.")
                        : QStringLiteral(
                              "The rule is installed: reload udev (sudo udevadm control --reload-rules "
                              "&& sudo udevadm trigger), replug the adapter, and use a local, active "
                              "session."))
                 : QString());
        return r;
    }
    r.access.canOpen = true;
    std::string whyNot;
    r.identityOk = device::isAdapterIdentity(handle->identity(), &whyNot);
    r.identityDetail = r.identityOk ? QStringLiteral("the open handle is the adapter")
                                    : QStringLiteral("the open handle is not the adapter: ") +
                                          QString::fromStdString(whyNot);
    handle.reset();
    if (!r.identityOk) {
        fail(r, QStringLiteral("identity check failed"), kExitAdapterFailed);
        return r;
    }

    session.adapterPath().set(adapterInfo->path);
    WorkModeBlock original;
    device::ReadBackEnd end = device::ReadBackEnd::Complete;
    r.readbackMs = readAll(session, original, &r.recordsRead, &end);
    if (!r.readbackMs && end == device::ReadBackEnd::RequestFailed) {
        // The request never left: that is a failed write, not an adapter that stayed silent.
        r.writeFailed = true;
        fail(r, QStringLiteral("a write to the adapter failed"), kExitAdapterFailed, writeFailedAdvice(r));
        return r;
    }
    if (!r.readbackMs) {
        fail(r, QStringLiteral("the adapter did not answer record requests"), kExitAdapterFailed,
             r.outputPath == hid::OutputPath::Interrupt
                 ? interruptQuirkAdvice()
                 : QStringLiteral("The adapter took the requests but sent no record within 100 ms."));
        return r;
    }
    if (withWriteTest)
        writeTest(session, r, original, progress);
    return r;
}

} // namespace velorin::ctl
