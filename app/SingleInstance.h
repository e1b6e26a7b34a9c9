// One instance per user. A lock file in the per-user runtime folder is the mutex; a local server
// in the same folder, named after the instance, marks the running main window and takes two
// requests from later starts: "close" (the "-x" switch) and "activate".
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace velorin::app {

inline constexpr char kInstanceName[] = "Velorin-Mutex{15EE4096-8AC3-4708-A2E6-B581F600A5EB}";

// The command line as one string: the arguments after the program name joined by single spaces,
// without the program's own options (--simulate [BUS], --lang LANG, --platform ..., -v).
QString commandLineFromArguments(const QStringList& argumentsWithoutProgram);

// A request line a later start sends to the marker; anything else is ignored.
enum class InstanceRequest { None, Close, Activate };
InstanceRequest parseInstanceRequest(const QByteArray& line);

class SingleInstance {
public:
    // `runtimeDir` empty: the per-user runtime folder.
    explicit SingleInstance(const QString& runtimeDir = QString());
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Decides whether this process starts: "-x" asks the running instance to close and waits for
    // it (bounded), then returns false without taking the lock; when another instance holds the
    // lock, asks it to come to the front and returns false; otherwise keeps the lock and returns true.
    bool isMYMutex(const QString& commandLine);

    // The instance marker: listens for requests while the main window lives.
    bool setMarker(std::function<void()> onClose, std::function<void()> onActivate);
    void removeMarker();
    bool hasMarker() const { return server_ != nullptr; }

    QString lockPath() const;
    QString markerPath() const;

    // How long "-x" waits for the running instance to close.
    static constexpr int kCloseWaitMs = 5000;

private:
    bool sendRequest(const QByteArray& request, bool waitForClose) const;

    QString dir_;
    std::unique_ptr<QLockFile> lock_;
    std::unique_ptr<QLocalServer> server_;
    std::function<void()> onClose_;
    std::function<void()> onActivate_;
};

} // namespace velorin::app
