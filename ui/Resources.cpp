#include "ui/Resources.h"

#include "model/Log.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

// Defined in the generated package source (rcc --name velorin_res).
static void initEmbeddedPackage() {
    Q_INIT_RESOURCE(velorin_res);
}

namespace velorin::ui {

ResourcePackage::ResourcePackage(const QString& root) {
    const QDir rootDir(root);
    const QStringList types = rootDir.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& type : types) {
        QDirIterator it(rootDir.filePath(type), QDir::Files);
        while (it.hasNext()) {
            it.next();
            const QFileInfo info = it.fileInfo();
            // Files in a plain folder keep their extension; packed ones were stored without it.
            QString name = info.fileName();
            if (!root.startsWith(u':') && name.contains(u'.'))
                name = info.completeBaseName();
            const QString k = key(type, name);
            if (index_.contains(k))
                qCWarning(lcSoui) << "resource" << k << "stored twice; keeping the first";
            else
                index_.insert(k, Entry{type, name, info.filePath()});
        }
    }
}

const ResourcePackage& ResourcePackage::embedded() {
    static const ResourcePackage package = [] {
        initEmbeddedPackage();
        return ResourcePackage(QStringLiteral(":/velorin"));
    }();
    return package;
}

std::pair<QString, QString> ResourcePackage::splitRef(QStringView ref) {
    const qsizetype colon = ref.indexOf(u':');
    if (colon < 0)
        return {};
    return {ref.left(colon).trimmed().toString(), ref.mid(colon + 1).trimmed().toString()};
}

QString ResourcePackage::key(QStringView type, QStringView name) {
    return type.toString().toUpper() + u':' + name.toString().toUpper();
}

std::optional<QByteArray> ResourcePackage::bytes(QStringView ref) const {
    const auto [type, name] = splitRef(ref);
    if (type.isEmpty() || name.isEmpty())
        return std::nullopt;
    return bytes(type, name);
}

std::optional<QByteArray> ResourcePackage::bytes(QStringView type, QStringView name) const {
    const auto it = index_.constFind(key(type, name));
    if (it == index_.constEnd())
        return std::nullopt;
    QFile file(it->path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcSoui) << "resource" << it->path << "cannot be opened";
        return std::nullopt;
    }
    if (file.size() > kMaxResourceBytes) {
        qCWarning(lcSoui) << "resource" << it->path << "is too large";
        return std::nullopt;
    }
    return file.readAll();
}

bool ResourcePackage::contains(QStringView ref) const {
    const auto [type, name] = splitRef(ref);
    return index_.contains(key(type, name));
}

QString ResourcePackage::path(QStringView ref) const {
    const auto [type, name] = splitRef(ref);
    const auto it = index_.constFind(key(type, name));
    return it == index_.constEnd() ? QString() : it->path;
}

QStringList ResourcePackage::keys() const {
    QStringList list = index_.keys();
    list.sort();
    return list;
}

QStringList ResourcePackage::names(QStringView type) const {
    QStringList list;
    for (const Entry& e : index_)
        if (e.type.compare(type, Qt::CaseInsensitive) == 0)
            list << e.name;
    list.sort();
    return list;
}

} // namespace velorin::ui
