#include "app/SingleInstance.h"

#include "model/Log.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>

namespace velorin::app {

namespace {
constexpr int kMaxRequestBytes = 64;
}

QString commandLineFromArguments(const QStringList& argumentsWithoutProgram) {
    QStringList kept;
    for (qsizetype i = 0; i < argumentsWithoutProgram.size(); ++i) {
        const QString& arg = argumentsWithoutProgram[i];
        if (arg == QLatin1String("--simulate") || arg == QLatin1String("--platform") ||
            arg == QLatin1String("--lang")) {
            // An optional value follows unless it is another option.
            if (i + 1 < argumentsWithoutProgram.size() && !argumentsWithoutProgram[i + 1].startsWith(u'-'))
                ++i;
            continue;
        }
        if (arg.startsWith(QLatin1String("--simulate=")) || arg.startsWith(QLatin1String("--platform=")) ||
            arg.startsWith(QLatin1String("--lang=")) || arg == QLatin1String("-v") ||
            arg == QLatin1String("--verbose"))
            continue;
        kept << arg;
    }
    return kept.join(u' ');
}

InstanceRequest parseInstanceRequest(const QByteArray& line) {
    const QByteArray trimmed = line.trimmed();
    if (trimmed == "close")
        return InstanceRequest::Close;
    if (trimmed == "activate")
        return InstanceRequest::Activate;
    return InstanceRequest::None;
}

SingleInstance::SingleInstance(const QString& runtimeDir) : dir_(runtimeDir) {
    if (dir_.isEmpty())
        dir_ = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir_.isEmpty())
        dir_ = QDir::tempPath();
    QDir().mkpath(dir_);
}

SingleInstance::~SingleInstance() {
    removeMarker();
}

QString SingleInstance::lockPath() const {
    return dir_ + u'/' + QLatin1String(kInstanceName) + QLatin1String(".lock");
}

QString SingleInstance::markerPath() const {
    return dir_ + u'/' + QLatin1String(kInstanceName);
}

bool SingleInstance::sendRequest(const QByteArray& request, bool waitForClose) const {
    QLocalSocket socket;
    socket.connectToServer(markerPath());
    if (!socket.waitForConnected(1000))
        return false;
    socket.write(request + '\n');
    if (!socket.waitForBytesWritten(1000))
        return false;
    if (!waitForClose) {
        socket.disconnectFromServer();
        return true;
    }
    // The running instance drops the connection when its window is gone.
    const QDeadlineTimer deadline(kCloseWaitMs);
    while (socket.state() == QLocalSocket::ConnectedState && !deadline.hasExpired())
        socket.waitForDisconnected(static_cast<int>(std::min<qint64>(deadline.remainingTime(), 100)));
    return socket.state() != QLocalSocket::ConnectedState;
}

bool SingleInstance::isMYMutex(const QString& commandLine) {
    if (commandLine == QLatin1String("-x")) {
        logAt(LogLevel::Verbose, "Velorin", 37, "isMYMutex", QStringLiteral("strCmdLine.Compare - x"));
        sendRequest("close", true);
        return false;
    }
    auto lock = std::make_unique<QLockFile>(lockPath());
    lock->setStaleLockTime(0); // only a lock whose process is gone is stale
    if (!lock->tryLock(0)) {
        sendRequest("activate", false);
        logAt(LogLevel::Verbose, "Velorin", 65, "isMYMutex",
              QStringLiteral("GetLastError() == ERROR_ALREADY_EXISTS"));
        return false;
    }
    lock_ = std::move(lock);
    if (commandLine == QLatin1String("-boot"))
        logAt(LogLevel::Verbose, "Velorin", 71, "isMYMutex", QStringLiteral("strCmdLine.Compare - boot"));
    return true;
}

bool SingleInstance::setMarker(std::function<void()> onClose, std::function<void()> onActivate) {
    removeMarker();
    onClose_ = std::move(onClose);
    onActivate_ = std::move(onActivate);
    // We hold the lock, so a socket file left at the marker's place is a dead instance's.
    QLocalServer::removeServer(markerPath());
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(markerPath()))
        return false;
    QObject::connect(server.get(), &QLocalServer::newConnection, server.get(), [this, srv = server.get()] {
        while (QLocalSocket* socket = srv->nextPendingConnection()) {
            QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
                if (!socket->canReadLine()) {
                    if (socket->bytesAvailable() > kMaxRequestBytes)
                        socket->abort();
                    return;
                }
                const InstanceRequest request = parseInstanceRequest(socket->readLine(kMaxRequestBytes));
                // Run the request outside this socket's own handler: closing removes the marker,
                // which deletes the server and its sockets.
                QTimer::singleShot(0, server_.get(), [this, request] {
                    if (request == InstanceRequest::Close && onClose_)
                        onClose_();
                    else if (request == InstanceRequest::Activate && onActivate_)
                        onActivate_();
                });
            });
        }
    });
    server_ = std::move(server);
    return true;
}

void SingleInstance::removeMarker() {
    if (!server_)
        return;
    // Closing the server drops the connection of a waiting "-x" start.
    const auto sockets = server_->findChildren<QLocalSocket*>();
    for (QLocalSocket* socket : sockets)
        socket->abort();
    server_->close();
    server_.reset();
}

} // namespace velorin::app
