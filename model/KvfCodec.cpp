#include "model/KvfCodec.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace velorin::kvf {
namespace {

std::atomic<WriteStep> g_failStep{WriteStep::None};
std::atomic<int> g_failError{0};

// Whether a test made this step fail; sets errno as the failing call would.
bool injected(WriteStep step) {
    if (step == WriteStep::None || g_failStep.load() != step)
        return false;
    errno = g_failError.load();
    return true;
}

QString reason(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

// The path a write replaces: the target of a symbolic link (of a chain of them), even one that
// does not exist yet.
QString followLinks(const QString& path) {
    QFileInfo info(path);
    for (int depth = 0; depth < 128 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.isSymLink() ? path : info.filePath();
}

// The temporary file beside the target: "<target>.XXXXXX". Closed and removed on every way out
// unless renamed() was called.
class TempFile {
public:
    TempFile() = default;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile() {
        if (fd_ >= 0)
            ::close(fd_);
        if (!path_.isEmpty())
            ::unlink(path_.constData());
    }

    // Creates a new file with `mode` (less the umask); false with errno set.
    bool create(const QByteArray& target, mode_t mode) {
        static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
        for (int attempt = 0; attempt < 100; ++attempt) {
            QByteArray name = target + '.';
            for (int i = 0; i < 6; ++i)
                name += kChars[QRandomGenerator::global()->bounded(int(sizeof kChars - 1))];
            const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            if (fd >= 0) {
                fd_ = fd;
                path_ = name;
                return true;
            }
            if (errno != EEXIST)
                return false;
        }
        return false; // errno is EEXIST
    }
    int fd() const { return fd_; }
    const QByteArray& path() const { return path_; }
    // Closes the file (it stays until renamed); false with errno set.
    bool close() {
        const int r = ::close(fd_);
        fd_ = -1;
        return r == 0;
    }
    void renamed() { path_.clear(); }

private:
    int fd_ = -1;
    QByteArray path_;
};

Error fail(ErrorKind kind, QString detail = {}, qint64 size = -1) {
    Error e;
    e.kind = kind;
    e.detail = std::move(detail);
    e.size = size;
    return e;
}

} // namespace

Result<WorkModeBlock, Error> read(const QString& path, SizeRule rule) {
    const QFileInfo info(path);
    if (!info.exists())
        return fail(ErrorKind::NotFound, QStringLiteral("no such file"));
    if (!info.isFile())
        return fail(ErrorKind::NotRegular, QStringLiteral("not a regular file"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(ErrorKind::CannotOpen, file.errorString());
    // One byte more than a block tells a longer file from one that fits exactly.
    constexpr auto kSize = static_cast<qint64>(kBlockSize);
    WorkModeBlock::Bytes bytes{};
    char extra = 0;
    qint64 total = 0;
    while (total <= kSize) {
        char* into = total < kSize ? reinterpret_cast<char*>(bytes.data()) + total : &extra;
        const qint64 n = file.read(into, total < kSize ? kSize - total : 1);
        if (n < 0)
            return fail(ErrorKind::CannotRead, file.errorString());
        if (n == 0)
            break;
        total += n;
    }
    if (total < kSize)
        return fail(ErrorKind::TooShort, {}, total);
    if (total > kSize && rule == SizeRule::ExactlyBlock)
        return fail(ErrorKind::TooLong, {}, info.size());
    WorkModeBlock block;
    block.replaceAll(bytes);
    return block;
}

Status<Error> writeAtomically(const QString& path, QByteArrayView data) {
    const QString target = followLinks(path);
    const QByteArray final = QFile::encodeName(target);
    struct stat old {};
    const bool exists = ::stat(final.constData(), &old) == 0;
    if (!exists && errno != ENOENT)
        return fail(ErrorKind::CannotCreate, reason(errno));
    if (exists && S_ISDIR(old.st_mode))
        return fail(ErrorKind::CannotCreate, reason(EISDIR));
    if (exists && !S_ISREG(old.st_mode))
        return fail(ErrorKind::CannotCreate, QStringLiteral("not a regular file"));
    if (exists && ::access(final.constData(), W_OK) != 0)
        return fail(ErrorKind::CannotCreate, reason(errno));

    // Until the permissions of an existing file are copied, nobody else may read the new one.
    TempFile temp;
    if (!temp.create(final, exists ? 0600 : 0666))
        return fail(ErrorKind::CannotCreate, reason(errno));
    if (exists)
        (void)::fchmod(temp.fd(), old.st_mode & 0777); // as before: a file system without modes keeps its own

    const char* next = data.data();
    auto left = static_cast<std::size_t>(data.size());
    while (left > 0) {
        const ssize_t n = injected(WriteStep::Write) ? -1 : ::write(temp.fd(), next, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(ErrorKind::CannotWrite, reason(errno));
        if (n == 0)
            return fail(ErrorKind::CannotWrite, QStringLiteral("the system wrote nothing"));
        next += n;
        left -= static_cast<std::size_t>(n);
    }
    if (injected(WriteStep::SyncFile) || ::fsync(temp.fd()) != 0)
        return fail(ErrorKind::CannotWrite, reason(errno));
    if (injected(WriteStep::Close) || !temp.close())
        return fail(ErrorKind::CannotWrite, reason(errno));
    if (injected(WriteStep::Rename) || ::rename(temp.path().constData(), final.constData()) != 0)
        return fail(ErrorKind::CannotWrite, reason(errno));
    temp.renamed();

    // The rename is durable only once the folder is synced.
    const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return fail(ErrorKind::NotSynced, reason(errno));
    const bool synced = !injected(WriteStep::SyncFolder) && (::fsync(dir) == 0 || errno == EINVAL);
    const int err = errno; // EINVAL: the file system cannot sync a folder, and needs not
    ::close(dir);
    if (!synced)
        return fail(ErrorKind::NotSynced, reason(err));
    return Done{};
}

Status<Error> write(const QString& path, const WorkModeBlock& block) {
    const auto bytes = block.raw();
    return writeAtomically(
        path, QByteArrayView(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())));
}

void failStepForTesting(WriteStep step, int error) {
    g_failError.store(error);
    g_failStep.store(error != 0 ? step : WriteStep::None);
}

} // namespace velorin::kvf
