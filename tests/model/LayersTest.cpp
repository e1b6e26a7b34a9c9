// The layer rule of docs/HACKING.md, checked on the sources: every project include of a folder
// names only that folder or a layer it may use; the core includes no Qt and links none.
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <map>

namespace {

TEST(Layers, EachFolderIncludesOnlyTheLayersBelowIt) {
    const QString core = QStringLiteral("core");
    const std::map<QString, QStringList> allowed = {
        {core, {core}},
        {QStringLiteral("model"), {core, QStringLiteral("model")}},
        {QStringLiteral("device"), {core, QStringLiteral("device"), QStringLiteral("model")}},
        {QStringLiteral("ui"), {core, QStringLiteral("ui"), QStringLiteral("model")}},
        {QStringLiteral("keysel"),
         {core, QStringLiteral("keysel"), QStringLiteral("ui"), QStringLiteral("model")}},
        {QStringLiteral("app"),
         {core, QStringLiteral("app"), QStringLiteral("keysel"), QStringLiteral("ui"),
          QStringLiteral("device"), QStringLiteral("model")}},
        {QStringLiteral("tools"), {core, QStringLiteral("device"), QStringLiteral("model")}},
    };
    const QRegularExpression include(QStringLiteral("^#include \"([a-z]+)/"),
                                     QRegularExpression::MultilineOption);
    const QString root = QStringLiteral(VELORIN_SOURCE_DIR) + u'/';
    int files = 0;
    for (const auto& [folder, layers] : allowed) {
        QDirIterator it(root + folder, {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
            ++files;
            for (const auto& m : include.globalMatch(QString::fromUtf8(f.readAll())))
                EXPECT_TRUE(layers.contains(m.captured(1)))
                    << path.mid(root.size()).toStdString() << " includes " << m.captured(1).toStdString()
                    << "/";
        }
    }
    EXPECT_GT(files, 100) << "the sources were not found";
}

// The core builds for the web, where there is no Qt: it includes no Qt header and its library
// links nothing (the build writes what velorin_core links into core-link-libraries.txt).
TEST(Layers, TheCoreUsesNoQt) {
    const QRegularExpression qtInclude(QStringLiteral("^#include <(Q|qt)"),
                                       QRegularExpression::MultilineOption);
    const QString root = QStringLiteral(VELORIN_SOURCE_DIR) + u'/';
    int files = 0;
    QDirIterator it(root + QStringLiteral("core"), {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                    QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
        ++files;
        EXPECT_FALSE(qtInclude.match(QString::fromUtf8(f.readAll())).hasMatch())
            << path.mid(root.size()).toStdString() << " includes Qt";
    }
    EXPECT_GT(files, 10) << "the core's sources were not found";

    QFile linked(QStringLiteral(VELORIN_BINARY_DIR "/core-link-libraries.txt"));
    ASSERT_TRUE(linked.open(QIODevice::ReadOnly)) << linked.fileName().toStdString();
    const QString libraries = QString::fromUtf8(linked.readAll()).trimmed();
    EXPECT_TRUE(libraries.isEmpty()) << "velorin_core links " << libraries.toStdString();
}

} // namespace
