#include "KvfFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace velorin::ctl {

namespace {

std::optional<QByteArray> readBounded(const QString& path, qint64 maxBytes, QString* error, bool* tooLarge) {
    const QFileInfo info(path);
    if (!info.exists()) {
        *error = QStringLiteral("%1: no such file").arg(path);
        return std::nullopt;
    }
    // A FIFO or a device could block for ever or never end.
    if (!info.isFile()) {
        *error = QStringLiteral("%1: not a regular file").arg(path);
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: cannot open: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    // One byte more than allowed tells an oversized file from one that fits exactly.
    QByteArray data = file.read(maxBytes + 1);
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("%1: cannot read: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    if (data.size() > maxBytes) {
        *error = QStringLiteral("%1: larger than %2 bytes").arg(path).arg(maxBytes);
        *tooLarge = true;
        return std::nullopt;
    }
    return data;
}

QString notKvf(const QString& path, qint64 size) {
    return QStringLiteral("%1: not a .kvf file: it is %2 bytes long; a .kvf file holds exactly 108 bytes "
                          "(four 27-byte records)")
        .arg(path)
        .arg(size);
}

} // namespace

std::optional<QByteArray> readBoundedFile(const QString& path, qint64 maxBytes, QString* error) {
    bool tooLarge = false;
    return readBounded(path, maxBytes, error, &tooLarge);
}

std::optional<WorkModeBlock> readKvfFile(const QString& path, QString* error) {
    constexpr auto kSize = static_cast<qint64>(kBlockSize);
    bool tooLarge = false;
    const std::optional<QByteArray> data = readBounded(path, kSize, error, &tooLarge);
    if (!data) {
        if (tooLarge)
            *error = notKvf(path, QFileInfo(path).size());
        return std::nullopt;
    }
    if (data->size() != kSize) {
        *error = notKvf(path, data->size());
        return std::nullopt;
    }
    WorkModeBlock::Bytes bytes{};
    std::copy(data->begin(), data->end(), reinterpret_cast<char*>(bytes.data()));
    WorkModeBlock block;
    block.replaceAll(bytes);
    return block;
}

bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = QStringLiteral("%1: cannot create: %2").arg(path, file.errorString());
        return false;
    }
    if (file.write(data) != data.size()) {
        *error = QStringLiteral("%1: cannot write: %2").arg(path, file.errorString());
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = QStringLiteral("%1: cannot write: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool writeKvfFile(const QString& path, const WorkModeBlock& block, QString* error) {
    const auto raw = block.raw();
    return writeFileAtomically(
        path, QByteArray(reinterpret_cast<const char*>(raw.data()), static_cast<qsizetype>(raw.size())),
        error);
}

} // namespace velorin::ctl
