#include "KvfFile.h"

#include "model/KvfCodec.h"

#include <QFile>
#include <QFileInfo>

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
    kvf::Error e;
    std::optional<WorkModeBlock> block = kvf::read(path, kvf::SizeRule::ExactlyBlock, &e);
    if (block)
        return block;
    switch (e.kind) {
    case kvf::ErrorKind::NotFound:
    case kvf::ErrorKind::NotRegular:
        *error = QStringLiteral("%1: %2").arg(path, e.detail);
        break;
    case kvf::ErrorKind::CannotOpen:
        *error = QStringLiteral("%1: cannot open: %2").arg(path, e.detail);
        break;
    case kvf::ErrorKind::TooShort:
    case kvf::ErrorKind::TooLong:
        *error = notKvf(path, e.size);
        break;
    default:
        *error = QStringLiteral("%1: cannot read: %2").arg(path, e.detail);
        break;
    }
    return std::nullopt;
}

bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error) {
    kvf::Error e;
    if (kvf::writeAtomically(path, data, &e))
        return true;
    *error =
        QStringLiteral("%1: cannot %2: %3")
            .arg(path,
                 e.kind == kvf::ErrorKind::CannotCreate ? QStringLiteral("create") : QStringLiteral("write"),
                 e.detail);
    return false;
}

bool writeKvfFile(const QString& path, const WorkModeBlock& block, QString* error) {
    const auto raw = block.raw();
    return writeFileAtomically(
        path, QByteArray(reinterpret_cast<const char*>(raw.data()), static_cast<qsizetype>(raw.size())),
        error);
}

} // namespace velorin::ctl
