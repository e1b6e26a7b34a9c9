// The resource package: every resource addressed as "TYPE:NAME", both parts matched without regard to case.
//
// The embedded package is built from res/<type>/<file> (NAME = the file name without its last extension)
// and from the rendered artwork ("IMG:<name>_png", the double-density rendering as "IMG:<name>_png@2x",
// the program icon as "ICON:ICON_LOGO@<size>"). The index is built once, when the package is first used.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>
#include <utility>

namespace velorin::ui {

class ResourcePackage {
public:
    // Indexes the files below `root` (a Qt resource path such as ":/velorin" or a plain folder): every
    // file <root>/<type>/<name> becomes "TYPE:NAME".
    explicit ResourcePackage(const QString& root);

    // The package compiled into the program.
    static const ResourcePackage& embedded();

    // Splits "type:name" at its first colon; both parts trimmed. Empty parts when there is no colon.
    static std::pair<QString, QString> splitRef(QStringView ref);

    // The bytes of a resource, or nothing when the package has no such resource (or it cannot be read).
    std::optional<QByteArray> bytes(QStringView ref) const;
    std::optional<QByteArray> bytes(QStringView type, QStringView name) const;
    bool contains(QStringView ref) const;

    // The path the resource can be opened at (for QFile/QImageReader), or an empty string.
    QString path(QStringView ref) const;

    // Every key, upper case, "TYPE:NAME".
    QStringList keys() const;
    // The names (as stored) of every resource of one type.
    QStringList names(QStringView type) const;

    // Largest resource we ever hand out; anything bigger is treated as unreadable.
    static constexpr qint64 kMaxResourceBytes = 64 * 1024 * 1024;

private:
    static QString key(QStringView type, QStringView name);

    struct Entry {
        QString type;
        QString name;
        QString path;
    };
    QHash<QString, Entry> index_;
};

} // namespace velorin::ui
