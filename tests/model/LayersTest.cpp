// The layer rule of docs/HACKING.md, checked on the sources: every project include of a folder
// names only that folder or a layer it may use.
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <gtest/gtest.h>

#include <map>

namespace {

TEST(Layers, EachFolderIncludesOnlyTheLayersBelowIt) {
    const std::map<QString, QStringList> allowed = {
        {QStringLiteral("model"), {QStringLiteral("model")}},
        {QStringLiteral("device"), {QStringLiteral("device"), QStringLiteral("model")}},
        {QStringLiteral("ui"), {QStringLiteral("ui"), QStringLiteral("model")}},
        {QStringLiteral("keysel"), {QStringLiteral("keysel"), QStringLiteral("ui"), QStringLiteral("model")}},
        {QStringLiteral("app"),
         {QStringLiteral("app"), QStringLiteral("keysel"), QStringLiteral("ui"), QStringLiteral("device"),
          QStringLiteral("model")}},
        {QStringLiteral("tools"), {QStringLiteral("device"), QStringLiteral("model")}},
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

} // namespace
