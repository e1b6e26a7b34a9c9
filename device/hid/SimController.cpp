#include "device/hid/SimController.h"

#include "model/Log.h"

#include <QDeadlineTimer>

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

bool SimController::running() const {
    return process_ && process_->state() != QProcess::NotRunning;
}

bool SimController::start(const QStringList& args, int timeoutMs) {
    stop();
    if (!dir_.isValid())
        return false;
    partial_.clear();
    answers_.clear();
    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QStringList all = args;
    all << QStringLiteral("--bus") << QString::fromStdString(busDir_);
    process_->start(program_, all);
    if (!process_->waitForStarted(timeoutMs)) {
        qCWarning(velorin::lcSoui) << "velorin-sim did not start:" << process_->errorString();
        return false;
    }
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        for (qsizetype i = 0; i < answers_.size(); ++i) {
            if (answers_[i].startsWith(QLatin1String("ready"))) {
                answers_.remove(0, i + 1);
                return true;
            }
        }
        if (!running() || deadline.hasExpired() || !pump(static_cast<int>(deadline.remainingTime())))
            return false;
    }
}

void SimController::stop() {
    if (!process_)
        return;
    if (running()) {
        process_->write("quit\n");
        process_->closeWriteChannel();
        if (!process_->waitForFinished(3000)) {
            process_->kill();
            process_->waitForFinished(3000);
        }
    }
    pump(0);
    process_.reset();
}

bool SimController::pump(int timeoutMs) {
    if (!process_)
        return false;
    bool got = process_->bytesAvailable() > 0;
    if (!got && timeoutMs > 0)
        got = process_->waitForReadyRead(timeoutMs);
    partial_ += process_->readAllStandardOutput();
    for (qsizetype nl; (nl = partial_.indexOf('\n')) >= 0;) {
        takeLine(QString::fromUtf8(partial_.left(nl)));
        partial_.remove(0, nl + 1);
    }
    return got;
}

void SimController::takeLine(const QString& line) {
    // "out NAME ok|refused HEX"
    if (line.startsWith(QLatin1String("out "))) {
        const QStringList f = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (f.size() == 3 || f.size() == 4) { // an empty report has no hex field
            if (auto bytes = fromHex(f.size() == 4 ? f[3] : QString())) {
                outputs_.push_back({f[1].toStdString(), f[2] == QLatin1String("ok"), std::move(*bytes)});
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
    process_->write(line.toUtf8() + '\n');
    process_->waitForBytesWritten(timeoutMs);
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
