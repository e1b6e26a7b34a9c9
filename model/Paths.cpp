#include "model/Paths.h"

#include <QFileInfo>

#include <mutex>

namespace velorin {

namespace {
std::mutex overrideMutex;
QString overrideDir;
} // namespace

QString executableDir() {
    {
        std::lock_guard lock(overrideMutex);
        if (!overrideDir.isEmpty())
            return overrideDir.endsWith(u'/') ? overrideDir : overrideDir + u'/';
    }
    const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (exe.isEmpty())
        return QStringLiteral("./");
    return exe.left(exe.lastIndexOf(u'/') + 1);
}

void setExecutableDirForTesting(const QString& dir) {
    std::lock_guard lock(overrideMutex);
    overrideDir = dir;
}

} // namespace velorin
