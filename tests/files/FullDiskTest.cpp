// Every program of the suite that writes a file, on a disk that refuses the bytes: the window's
// save, each velorinctl verb that writes a file, doctor's backup and the simulator's flash file.
// Each must leave the file it would replace byte for byte as it was and no temporary file
// behind, and say so: "WriteFile error" in the window; exit code 4 and a sentence with the file
// and the system's reason from velorinctl; a line with both on the simulator's standard error.
//
// Two disks. A file size limit (RLIMIT_FSIZE, with SIGXFSZ ignored) in the writing process makes
// every write past 64 bytes fail with EFBIG and needs no privileges. A real tmpfs, mounted in a
// mount namespace of its own and filled up, makes writes fail with ENOSPC; it needs root.
#include "app/AssignmentFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace velorin;

namespace {

// A place where writes fail. The writers run in child processes that enter() it first.
class FailingDisk {
public:
    virtual ~FailingDisk() = default;
    // The folder the writers write into, as they name it.
    virtual QString folder() const = 0;
    // How this process reaches `path` (a path inside folder()).
    virtual QString outside(const QString& path) const { return path; }
    // Runs in a fresh child, after fork and before exec: async-signal-safe calls only.
    virtual void enter() const noexcept = 0;
    // Uses up the room left once the old files are in place.
    virtual void fill() {}
    // The error a refused write gives.
    virtual int refusal() const = 0;
};

class FileSizeLimit final : public FailingDisk {
public:
    QString folder() const override { return dir_.path(); }
    void enter() const noexcept override {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        ::sigaction(SIGXFSZ, &ignore, nullptr);
        rlimit limit{};
        ::getrlimit(RLIMIT_FSIZE, &limit);
        limit.rlim_cur = 64; // less than a block: a write gets part of the way, then EFBIG
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    int refusal() const override { return EFBIG; }

private:
    QTemporaryDir dir_;
};

// A 64 KiB tmpfs over a temporary folder, in a mount namespace held by a child that does nothing
// else; this process reaches it through /proc/PID/root, the writers by joining the namespace.
class FullTmpfs final : public FailingDisk {
public:
    FullTmpfs() {
        if (::geteuid() != 0) {
            why_ = "mounting a tmpfs in a mount namespace of its own needs root";
            return;
        }
        const QByteArray mountPoint = QFile::encodeName(dir_.path());
        int ready[2], hold[2];
        if (::pipe2(ready, O_CLOEXEC) != 0 || ::pipe2(hold, O_CLOEXEC) != 0) {
            why_ = std::string("pipe: ") + std::strerror(errno);
            return;
        }
        holder_ = ::fork();
        if (holder_ == 0) {
            ::close(ready[0]);
            ::close(hold[1]);
            int err = 0;
            if (::unshare(CLONE_NEWNS) != 0 ||
                ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                ::mount("tmpfs", mountPoint.constData(), "tmpfs", MS_NOSUID | MS_NODEV,
                        "size=64k,mode=0755") != 0)
                err = errno;
            (void)!::write(ready[1], &err, sizeof err);
            char c = 0;
            while (::read(hold[0], &c, 1) > 0) { // until the test closes its end
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(hold[0]);
        hold_ = hold[1];
        int err = -1;
        const bool told = ::read(ready[0], &err, sizeof err) == sizeof err;
        ::close(ready[0]);
        if (!told || err != 0) {
            why_ = std::string("cannot mount a tmpfs in a mount namespace of its own: ") +
                   (told ? std::strerror(err) : "the helper process ended");
            return;
        }
        root_ = QStringLiteral("/proc/%1/root").arg(holder_);
        ns_ = ::open(QStringLiteral("/proc/%1/ns/mnt").arg(holder_).toLocal8Bit().constData(),
                     O_RDONLY | O_CLOEXEC);
        if (ns_ < 0)
            why_ = std::string("cannot open the mount namespace: ") + std::strerror(errno);
    }
    ~FullTmpfs() override {
        if (ns_ >= 0)
            ::close(ns_);
        if (hold_ >= 0)
            ::close(hold_); // the holder ends, and the tmpfs with its namespace
        if (holder_ > 0)
            ::waitpid(holder_, nullptr, 0);
    }
    // Empty when the tmpfs is in place.
    const std::string& unavailable() const { return why_; }

    QString folder() const override { return dir_.path(); }
    QString outside(const QString& path) const override { return root_ + path; }
    void enter() const noexcept override {
        if (::setns(ns_, CLONE_NEWNS) != 0)
            ::_exit(121);
    }
    void fill() override {
        const QByteArray path = QFile::encodeName(outside(folder() + QStringLiteral("/filler")));
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0) << std::strerror(errno);
        const std::vector<char> page(4096, 'f');
        while (::write(fd, page.data(), page.size()) > 0) {
        }
        EXPECT_EQ(errno, ENOSPC);
        ::close(fd);
    }
    int refusal() const override { return ENOSPC; }

private:
    QTemporaryDir dir_;
    std::string why_;
    pid_t holder_ = -1;
    int hold_ = -1;
    int ns_ = -1;
    QString root_;
};

QByteArray pattern(int size, int start) {
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char(start + i * 7);
    return b;
}

QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool writeBytes(const QString& path, const QByteArray& data) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size() && f.flush();
}

struct Ran {
    int code = -1;
    QString out;
    QString err;
};

// A program run in the failing disk.
Ran runIn(const FailingDisk& disk, const QString& program, const QStringList& args,
          const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setChildProcessModifier([&disk] { disk.enter(); });
    p.start(program, args);
    Ran r;
    if (!p.waitForFinished(60000)) { // only ends a hung run
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("did not end");
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// The window's save of `block` into `path`, run in a child in the failing disk: the texts of the
// error boxes it showed, one a line.
Ran windowSave(const FailingDisk& disk, const QString& path, const WorkModeBlock& block) {
    struct Chooser : app::FileChooser {
        QString path;
        std::optional<QString> chooseOpen(QWidget*) override { return std::nullopt; }
        std::optional<QString> chooseSave(QWidget*) override { return path; }
    };
    struct Boxes : app::MessageBoxes {
        int fd = -1;
        void error(const QString& text) override {
            const QByteArray line = text.toUtf8() + '\n';
            (void)!::write(fd, line.constData(), static_cast<std::size_t>(line.size()));
        }
        void information(const QString&, const QString&) override {}
        bool question(const QString&, const QString&) override { return true; }
    };
    Ran r;
    int pipe[2];
    if (::pipe2(pipe, O_CLOEXEC) != 0)
        return r;
    WorkModeBlock held = block;
    Chooser chooser;
    chooser.path = path;
    Boxes boxes;
    boxes.fd = pipe[1];
    app::AssignmentFiles files([&held]() -> const WorkModeBlock& { return held; }, chooser, boxes,
                               [](const WorkModeBlock&) {});
    const pid_t child = ::fork();
    if (child == 0) {
        disk.enter();
        files.save(nullptr);
        ::_exit(0);
    }
    ::close(pipe[1]);
    QByteArray said;
    char buf[256];
    for (ssize_t n; (n = ::read(pipe[0], buf, sizeof buf)) > 0;)
        said.append(buf, n);
    ::close(pipe[0]);
    int status = 0;
    if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status))
        r.code = WEXITSTATUS(status);
    r.err = QString::fromUtf8(said);
    return r;
}

QString ctl() {
    return QStringLiteral(VELORINCTL_PATH);
}

// Waits for the simulator's "ready" line (the limit only ends a hung start).
bool waitForReady(QProcess& sim) {
    QByteArray said;
    const auto ready = [&] { return said.startsWith("ready ") || said.contains("\nready "); };
    while (!ready() && sim.waitForReadyRead(20000))
        said += sim.readAllStandardOutput();
    return ready();
}

// A simulator running outside the failing disk, for the verbs that read from an adapter.
class PlainSim {
public:
    explicit PlainSim(const QString& seed) {
        sim_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        sim_.start(QStringLiteral(VELORIN_SIM_PATH),
                   {QStringLiteral("--bus"), bus(), QStringLiteral("--seed"), seed});
        ready_ = waitForReady(sim_);
    }
    ~PlainSim() {
        sim_.write("quit\n");
        if (!sim_.waitForFinished(5000))
            sim_.kill();
        sim_.waitForFinished();
    }
    bool ready() const { return ready_; }
    QString bus() const { return dir_.path() + QStringLiteral("/bus"); }

private:
    QTemporaryDir dir_;
    QProcess sim_;
    bool ready_ = false;
};

// What one writer is asked to do and what must stay.
struct Writer {
    const char* name;
    QString target;    // the file it would replace (or, for doctor, the folder of its new file)
    QByteArray before; // the target's bytes before; empty for a folder that must stay empty
    std::function<Ran()> run;
    int code;                   // the exit code that says the write failed
    const char* also = nullptr; // what else it must say
};

// The simulator keeping its records in `flash`, run in the failing disk, while velorinctl (outside
// it) applies `kvf`: what the host was told, then what the simulator said.
Ran flashWrite(const FailingDisk& disk, const QString& flash, const QString& kvf) {
    QTemporaryDir dir;
    const QString bus = dir.path() + QStringLiteral("/bus");
    QProcess sim;
    sim.setChildProcessModifier([&disk] { disk.enter(); });
    sim.start(QStringLiteral(VELORIN_SIM_PATH),
              {QStringLiteral("--bus"), bus, QStringLiteral("--flash"), flash});
    Ran r;
    if (waitForReady(sim)) {
        QProcess apply;
        apply.start(ctl(), {QStringLiteral("--simulate=") + bus, QStringLiteral("apply"), kvf});
        apply.waitForFinished(60000);
        r.out = QString::fromUtf8(apply.readAllStandardError());
    }
    sim.write("quit\n");
    sim.waitForFinished(60000);
    r.code = sim.exitStatus() == QProcess::NormalExit ? sim.exitCode() : -1;
    r.err = QString::fromUtf8(sim.readAllStandardError());
    return r;
}

void everyWriterLeavesTheOldFile(FailingDisk& disk) {
    static int argc = 1;
    static char name[] = "files_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    QTemporaryDir inputs;
    ASSERT_TRUE(inputs.isValid());
    const auto in = [&](const char* name) { return inputs.path() + u'/' + QLatin1String(name); };
    const auto at = [&](const char* name) { return disk.folder() + u'/' + QLatin1String(name); };
    WorkModeBlock block;
    const QByteArray blockBytes = pattern(108, 0x21);
    block.replaceAll(std::span<const uint8_t, kBlockSize>(
        reinterpret_cast<const uint8_t*>(blockBytes.constData()), kBlockSize));
    ASSERT_TRUE(writeBytes(in("a.kvf"), blockBytes));
    ASSERT_TRUE(writeBytes(in("b.kvf"), pattern(108, 0x05)));
    QProcess exporter; // a JSON file for import, made by the real export
    exporter.start(ctl(), {QStringLiteral("export"), in("a.kvf"), QStringLiteral("-o"), in("a.json")});
    ASSERT_TRUE(exporter.waitForFinished(60000) && exporter.exitCode() == 0);
    PlainSim sim(in("a.kvf"));
    ASSERT_TRUE(sim.ready());
    const QString simulate = QStringLiteral("--simulate=") + sim.bus();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_STATE_HOME"), at("state"));

    std::vector<Writer> writers = {
        {"window save", at("window.kvf"), pattern(108, 1),
         [&] { return windowSave(disk, at("window.kvf"), block); }, 0},
        {"velorin-sim --flash", at("flash.bin"), pattern(108, 8),
         [&] { return flashWrite(disk, at("flash.bin"), in("b.kvf")); }, 0,
         "the adapter refused the PS3 record"},
    };
    struct Verb {
        const char* name;
        const char* file;
        QByteArray before;
        QStringList args;
        const char* also = nullptr;
    };
    const Verb verbs[] = {
        {"velorinctl set -o (the same file)",
         "set.kvf",
         pattern(108, 2),
         {"set", at("set.kvf"), "ps3", "A=Q", "-o", at("set.kvf")}},
        {"velorinctl set -o",
         "set-o.kvf",
         pattern(108, 3),
         {"set", in("a.kvf"), "ps3", "A=Q", "-o", at("set-o.kvf")}},
        {"velorinctl copy (in place)", "copy.kvf", pattern(108, 4), {"copy", at("copy.kvf"), "ps3", "ps4"}},
        {"velorinctl copy -o",
         "copy-o.kvf",
         pattern(108, 5),
         {"copy", in("a.kvf"), "ps3", "xbox", "-o", at("copy-o.kvf")}},
        {"velorinctl import -o",
         "import.kvf",
         pattern(108, 6),
         {"import", in("a.json"), "-o", at("import.kvf")}},
        {"velorinctl export -o",
         "export.json",
         "{\"an\": \"older export\"}\n",
         {"export", in("a.kvf"), "-o", at("export.json")}},
        {"velorinctl read -o", "read.kvf", pattern(108, 7), {simulate, "read", "-o", at("read.kvf")}},
        {"velorinctl doctor --write-test (its backup)",
         "state/velorin",
         QByteArray(),
         {simulate, "doctor", "--write-test"},
         "cannot save the records before the write test"},
    };
    for (const Verb& v : verbs)
        writers.push_back({v.name, at(v.file), v.before,
                           [&, args = v.args] { return runIn(disk, ctl(), args, env); }, 4, v.also});

    QStringList expectedFiles{QStringLiteral("state")};
    ASSERT_TRUE(QDir().mkpath(disk.outside(at("state/velorin"))));
    for (const Writer& w : writers) {
        if (w.before.isEmpty())
            continue;
        ASSERT_TRUE(writeBytes(disk.outside(w.target), w.before)) << w.name;
        expectedFiles << QFileInfo(w.target).fileName();
    }
    disk.fill();
    if (QFileInfo::exists(disk.outside(at("filler"))))
        expectedFiles << QStringLiteral("filler");

    const QString reason = QString::fromLocal8Bit(std::strerror(disk.refusal()));
    for (const Writer& w : writers) {
        SCOPED_TRACE(w.name);
        const Ran r = w.run();
        const QString said = r.out + r.err;
        EXPECT_EQ(r.code, w.code) << said.toStdString();
        if (QLatin1String(w.name) == QLatin1String("window save")) {
            EXPECT_EQ(r.err, QStringLiteral("WriteFile error\n"));
        } else {
            EXPECT_TRUE(said.contains(w.target)) << "names the file: " << said.toStdString();
            EXPECT_TRUE(said.contains(reason))
                << "gives the reason (" << reason.toStdString() << "): " << said.toStdString();
        }
        if (w.also) {
            EXPECT_TRUE(said.contains(QLatin1String(w.also))) << w.also << ": " << said.toStdString();
        }
        if (w.before.isEmpty()) {
            EXPECT_EQ(
                QDir(disk.outside(w.target)).entryList(QDir::Files | QDir::Hidden).join(u' ').toStdString(),
                "")
                << "no backup file, not even an empty or partial one";
        } else {
            EXPECT_EQ(readBytes(disk.outside(w.target)), w.before) << "the old file, byte for byte";
        }
    }
    QStringList files = QDir(disk.outside(disk.folder()))
                            .entryList(QDir::Files | QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot);
    files.sort();
    expectedFiles.sort();
    EXPECT_EQ(files.join(u' ').toStdString(), expectedFiles.join(u' ').toStdString())
        << "no temporary file is left behind";
}

TEST(FullDisk, EveryWriterLeavesTheOldFileWhenWritesFailWithAFileSizeLimit) {
    FileSizeLimit disk;
    everyWriterLeavesTheOldFile(disk);
}

TEST(FullDisk, EveryWriterLeavesTheOldFileOnAFullTmpfs) {
    FullTmpfs disk;
    if (!disk.unavailable().empty())
        GTEST_SKIP() << "no full tmpfs here: " << disk.unavailable();
    everyWriterLeavesTheOldFile(disk);
}

} // namespace
