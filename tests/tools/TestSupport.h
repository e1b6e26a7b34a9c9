// Shared helpers of the velorinctl tests.
#pragma once

#include "Ctl.h"

#include <QCoreApplication>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTextStream>

#include <array>
#include <cstdint>

namespace velorin::ctl::test {

inline void ensureCoreApp() {
    if (QCoreApplication::instance())
        return;
    static int argc = 1;
    static char name[] = "tools_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

// One in-process velorinctl run.
struct RunResult {
    int code = -1;
    QString out;
    QString err;
};

inline RunResult runCtl(const QStringList& args, const hid::StopSignal* stop = nullptr,
                        const PlatformFactory& makePlatform = {}) {
    RunResult r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.code = run(args, out, err, stop, makePlatform);
    out.flush();
    err.flush();
    return r;
}

// A block in which every byte differs and many codes have no key name.
inline WorkModeBlock patternBlock(uint8_t start = 0x21, uint8_t step = 7) {
    std::array<uint8_t, kBlockSize> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(start + i * step);
    WorkModeBlock block;
    block.replaceAll(bytes);
    return block;
}

inline QByteArray bytesOf(const WorkModeBlock& block) {
    return QByteArray(reinterpret_cast<const char*>(block.raw().data()), static_cast<qsizetype>(kBlockSize));
}

inline void writeBytes(const QString& path, const QByteArray& data) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(data);
}

inline QByteArray readBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace velorin::ctl::test
