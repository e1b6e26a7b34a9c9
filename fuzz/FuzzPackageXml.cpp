// Fuzzes the toolkit's start-up reading of a resource package: the UI definition, the string, skin
// and colour tables it names, and the built-in skin table. The first byte chooses which of these
// files the input replaces in an otherwise sound package; a fresh toolkit loads it.
#include "ui/Resources.h"
#include "ui/Toolkit.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

struct Slot {
    const char* type;
    const char* name;
};
constexpr std::array<Slot, 5> kSlots{{{"uidef", "xml_init"},
                                      {"values", "string"},
                                      {"values", "skin"},
                                      {"values", "color"},
                                      {"xml", "SYS_XML_SKIN"}}};

QTemporaryDir* packageDir;

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "soui.warning=false;soui.info=false;soui.debug=false");
    static QApplication app(*argc, *argv);
    static QTemporaryDir dir;
    packageDir = &dir;
    // A plain-folder copy of the package's sound files, one per slot.
    const auto& embedded = velorin::ui::ResourcePackage::embedded();
    for (const Slot& s : kSlots) {
        QDir(dir.path()).mkpath(QString::fromLatin1(s.type));
        const auto bytes = embedded.bytes(QString::fromLatin1(s.type), QString::fromLatin1(s.name));
        if (!bytes)
            std::abort();
        writeFile(dir.path() + u'/' + QString::fromLatin1(s.type) + u'/' + QString::fromLatin1(s.name) +
                      QStringLiteral(".xml"),
                  *bytes);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1)
        return 0;
    const Slot& slot = kSlots[data[0] % kSlots.size()];
    const QString path = packageDir->path() + u'/' + QString::fromLatin1(slot.type) + u'/' +
                         QString::fromLatin1(slot.name) + QStringLiteral(".xml");
    const auto sound = velorin::ui::ResourcePackage::embedded().bytes(QString::fromLatin1(slot.type),
                                                                      QString::fromLatin1(slot.name));
    if (!writeFile(path, QByteArray(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1))))
        std::abort();
    {
        const velorin::ui::ResourcePackage package(packageDir->path());
        velorin::ui::Toolkit toolkit(QStringLiteral("imgdecoder-png"), &package);
        toolkit.loadUiDefinition(u"uidef:xml_init");
        (void)toolkit.resolveString(QStringLiteral("@string/title"));
        (void)toolkit.resolveColor(u"@color/white");
    }
    writeFile(path, *sound); // the next input starts from a sound package again
    return 0;
}
