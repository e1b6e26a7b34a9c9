#include "tests/support/SimController.h"

#include "model/Log.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace velorin::hid {
namespace {

std::optional<std::vector<uint8_t>> fromHex(const QString& hex) {
    const QByteArray raw = hex.toLatin1();
    if (raw.size() % 2 != 0)
        return std::nullopt;
    const QByteArray bytes = QByteArray::fromHex(raw);
    if (bytes.size() * 2 != raw.size())
        return std::nullopt;
    return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

} // namespace

SimController::SimController(QString program) : program_(std::move(program)) {
    busDir_ = (dir_.path() + QStringLiteral("/bus")).toStdString();
}

SimController::~SimController() {
    stop();
}

bool SimController::running() {
    if (pid_ <= 0)
        return false;
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == 0)
        return true;
    exitStatus_ = status;
    pid_ = -1;
    return false;
}

bool SimController::waitForExit(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (running()) {
        if (deadline.hasExpired())
            return false;
        pump(std::min<int>(10, static_cast<int>(std::max<qint64>(1, deadline.remainingTime()))));
    }
    return true;
}

bool SimController::start(const QStringList& args, int timeoutMs) {
    stop();
    if (!dir_.isValid())
        return false;
    partial_.clear();
    answers_.clear();

    std::vector<std::string> all{program_.toStdString()};
    for (const QString& a : args)
        all.push_back(a.toStdString());
    all.insert(all.end(), {"--bus", busDir_});
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return false;
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        ::dup2(pair[1], STDIN_FILENO);
        ::dup2(pair[1], STDOUT_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pair[1]);
    if (pid < 0) {
        ::close(pair[0]);
        qCWarning(velorin::lcSoui) << "velorin-sim could not be started:" << std::strerror(errno);
        return false;
    }
    pid_ = pid;
    socket_ = pair[0];
    ::fcntl(socket_, F_SETFL, ::fcntl(socket_, F_GETFL) | O_NONBLOCK);

    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        for (qsizetype i = 0; i < answers_.size(); ++i) {
            if (answers_[i].startsWith(QLatin1String("ready"))) {
                answers_.remove(0, i + 1);
                return true;
            }
        }
        if (!running() || deadline.hasExpired()) {
            qCWarning(velorin::lcSoui) << "velorin-sim did not become ready";
            return false;
        }
        pump(std::min<int>(50, static_cast<int>(std::max<qint64>(1, deadline.remainingTime()))));
    }
}

void SimController::stop() {
    if (pid_ > 0) {
        static const char quit[] = "quit\n";
        (void)::send(socket_, quit, sizeof quit - 1, MSG_NOSIGNAL);
        const QDeadlineTimer deadline(3000);
        while (running() && !deadline.hasExpired())
            pump(10);
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &exitStatus_, 0);
            pid_ = -1;
        }
    }
    pump(0);
    if (socket_ >= 0)
        ::close(socket_);
    socket_ = -1;
}

bool SimController::pump(int timeoutMs) {
    if (socket_ < 0)
        return false;
    if (timeoutMs > 0) {
        pollfd p{socket_, POLLIN, 0};
        while (::poll(&p, 1, timeoutMs) < 0 && errno == EINTR) {
        }
    }
    bool got = false;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::recv(socket_, buf, sizeof buf, MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got = true;
        partial_.append(buf, n);
    }
    for (qsizetype nl; (nl = partial_.indexOf('\n')) >= 0;) {
        takeLine(QString::fromUtf8(partial_.left(nl)));
        partial_.remove(0, nl + 1);
    }
    return got;
}

void SimController::takeLine(const QString& line) {
    // "out NAME set_report|interrupt ok|refused|ignored HEX"
    if (line.startsWith(QLatin1String("out "))) {
        const QStringList f = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (f.size() == 4 || f.size() == 5) { // an empty report has no hex field
            if (auto bytes = fromHex(f.size() == 5 ? f[4] : QString())) {
                const bool ignored = f[3] == QLatin1String("ignored");
                outputs_.push_back({f[1].toStdString(), ignored || f[3] == QLatin1String("ok"), ignored,
                                    f[2] == QLatin1String("interrupt"), std::move(*bytes)});
                return;
            }
        }
    }
    answers_.push_back(line);
}

bool SimController::command(const QString& line, QStringList* lines, int timeoutMs) {
    if (!running())
        return false;
    pump(0);
    answers_.clear();
    const QByteArray text = line.toUtf8() + '\n';
    if (::send(socket_, text.constData(), static_cast<std::size_t>(text.size()), MSG_NOSIGNAL) != text.size())
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        while (!answers_.isEmpty()) {
            const QString a = answers_.takeFirst();
            if (a.startsWith(QLatin1String("ok")) || a.startsWith(QLatin1String("pong")))
                return true;
            if (a.startsWith(QLatin1String("err"))) {
                lastError_ = a.mid(4);
                return false;
            }
            if (lines)
                lines->push_back(a);
        }
        if (deadline.hasExpired() || !running())
            return false;
        pump(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    }
}

std::vector<SimController::OutputReportLog> SimController::outputReports() {
    pump(0);
    return outputs_;
}

void SimController::clearOutputReports() {
    pump(0);
    outputs_.clear();
}

bool SimController::waitForOutputReports(std::size_t count, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        pump(0);
        if (outputs_.size() >= count)
            return true;
        if (deadline.hasExpired() || !running())
            return false;
        pump(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    }
}

std::optional<std::array<SimController::Record, 4>> SimController::dump(const std::string& iface) {
    QStringList lines;
    if (!command(QStringLiteral("dump ") + QString::fromStdString(iface), &lines))
        return std::nullopt;
    std::array<Record, 4> out{};
    int seen = 0;
    for (const QString& l : lines) {
        const QStringList f = l.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (f.size() != 4 || f[0] != QLatin1String("record"))
            continue;
        bool ok = false;
        const int slot = f[2].toInt(&ok);
        const auto bytes = fromHex(f[3]);
        if (!ok || slot < 0 || slot > 3 || !bytes || bytes->size() != 27)
            return std::nullopt;
        std::copy(bytes->begin(), bytes->end(), out[static_cast<std::size_t>(slot)].begin());
        ++seen;
    }
    if (seen != 4)
        return std::nullopt;
    return out;
}

} // namespace velorin::hid
