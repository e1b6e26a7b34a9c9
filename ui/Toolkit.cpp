#include "ui/Toolkit.h"

#include "model/Log.h"
#include "ui/Font.h"
#include "ui/Resources.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPixmap>
#include <QRegularExpression>
#include <QScreen>
#include <pugixml.hpp>

namespace velorin::ui {
namespace {

Toolkit* s_instance = nullptr;

bool parseDocument(const std::optional<QByteArray>& bytes, pugi::xml_document& doc) {
    return bytes && doc.load_buffer(bytes->constData(), size_t(bytes->size()));
}

} // namespace

Toolkit::Toolkit(const QString& decoderName, const ResourcePackage* package)
    : package_(package ? package : &ResourcePackage::embedded()), decoder_(createImageDecoder(decoderName)) {
    if (s_instance)
        qCWarning(lcSoui) << "a second toolkit replaces the first";
    s_instance = this;
    if (!decoder_) {
        qCWarning(lcSoui) << "unknown image decoder" << decoderName << "- using imgdecoder-png";
        decoder_ = createImageDecoder(u"imgdecoder-png");
    }
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        installCjkFontSubstitutions();
        defaultFont_ = QGuiApplication::font();
    }
    loadSystemResources();
}

Toolkit::~Toolkit() {
    if (translator_)
        QCoreApplication::removeTranslator(translator_.get());
    if (s_instance == this)
        s_instance = nullptr;
}

Toolkit* Toolkit::instance() {
    return s_instance;
}

// ---- Images
// ---------------------------------------------------------------------------------------------------

qreal Toolkit::imageDevicePixelRatio() const {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return 1.0;
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->devicePixelRatio() : 1.0;
}

QImage Toolkit::loadImage(QStringView ref, qreal devicePixelRatio) const {
    if (devicePixelRatio <= 0)
        devicePixelRatio = imageDevicePixelRatio();
    if (devicePixelRatio > 1.0) {
        if (const auto hi = package_->bytes(ref.toString() + QStringLiteral("@2x"))) {
            auto image = decoder_->decode(*hi);
            if (image) {
                image->setDevicePixelRatio(2.0);
                return *image;
            }
            qCWarning(lcSoui) << "image" << ref
                              << "@2x cannot be decoded:" << QString::fromStdString(image.error().detail);
        }
    }
    const auto bytes = package_->bytes(ref);
    if (!bytes) {
        qCWarning(lcSoui) << "image" << ref << "not in the package";
        return {};
    }
    auto image = decoder_->decode(*bytes);
    if (!image) {
        qCWarning(lcSoui) << "image" << ref
                          << "cannot be decoded:" << QString::fromStdString(image.error().detail);
        return {};
    }
    return *image;
}

QIcon Toolkit::loadIcon(QStringView name) const {
    QIcon icon;
    const QString prefix = name.toString() + u'@';
    for (const QString& stored : package_->names(u"ICON")) {
        if (stored.compare(name, Qt::CaseInsensitive) != 0 && !stored.startsWith(prefix, Qt::CaseInsensitive))
            continue;
        if (const auto bytes = package_->bytes(u"ICON", stored)) {
            if (const auto image = decoder_->decode(*bytes))
                icon.addPixmap(QPixmap::fromImage(*image));
        }
    }
    return icon;
}

// ---- UI definition
// ------------------------------------------------------------------------------------------

bool Toolkit::loadSystemResources() {
    const auto bytes = package_->bytes(u"XML:SYS_XML_SKIN");
    if (!bytes) {
        qCWarning(lcSoui) << "the built-in skins are missing from the package";
        return false;
    }
    return skins_.loadTable(*bytes, [this](const QString& ref) { return loadImage(ref); }) >= 0;
}

bool Toolkit::loadTable(QStringView ref, const char* what, QHash<QString, QString>& into) {
    pugi::xml_document doc;
    if (!parseDocument(package_->bytes(ref), doc)) {
        qCWarning(lcSoui) << what << "table" << ref << "missing or unreadable";
        return false;
    }
    for (pugi::xml_node entry : doc.document_element().children()) {
        if (entry.type() != pugi::node_element)
            continue;
        const char* value = entry.attribute("value") ? entry.attribute("value").value() : entry.text().get();
        into.insert(QString::fromUtf8(entry.name()), QString::fromUtf8(value));
    }
    return true;
}

bool Toolkit::loadUiDefinition(QStringView ref) {
    pugi::xml_document doc;
    if (!parseDocument(package_->bytes(ref), doc)) {
        qCWarning(lcSoui) << "UI definition" << ref << "missing or unreadable";
        return false;
    }
    const pugi::xml_node root = doc.document_element();
    bool ok = true;
    if (const pugi::xml_node font = root.child("font")) {
        QString desc;
        if (font.attribute("face"))
            desc += QStringLiteral("face:") + QString::fromUtf8(font.attribute("face").value());
        if (font.attribute("size"))
            desc += QStringLiteral(",size:") + QString::fromUtf8(font.attribute("size").value());
        defaultFont_ = applyFontDescription(defaultFont_, desc, scale_);
    }
    if (const pugi::xml_node n = root.child("string"); n && n.attribute("src"))
        ok &= loadTable(QString::fromUtf8(n.attribute("src").value()), "string", strings_);
    if (const pugi::xml_node n = root.child("color"); n && n.attribute("src"))
        ok &= loadTable(QString::fromUtf8(n.attribute("src").value()), "colour", colors_);
    if (const pugi::xml_node n = root.child("skin"); n && n.attribute("src")) {
        const QString src = QString::fromUtf8(n.attribute("src").value());
        const auto bytes = package_->bytes(src);
        ok &= bytes && skins_.loadTable(*bytes, [this](const QString& r) { return loadImage(r); }) >= 0;
    }
    for (pugi::xml_node cls : root.child("style").children("class")) {
        const QString name = QString::fromUtf8(cls.attribute("name").as_string());
        if (name.isEmpty())
            continue;
        StyleClass style;
        for (const pugi::xml_attribute& a : cls.attributes())
            if (QStringView(QString::fromUtf8(a.name())) != u"name")
                style.append({QString::fromUtf8(a.name()), QString::fromUtf8(a.value())});
        styles_.insert(name, style);
    }
    return ok;
}

std::optional<QString> Toolkit::string(QStringView name) const {
    const auto it = strings_.constFind(name.toString());
    return it == strings_.constEnd() ? std::nullopt : std::optional<QString>(*it);
}

QString Toolkit::resolveString(const QString& text) const {
    static const QString prefix = QStringLiteral("@string/");
    if (!text.startsWith(prefix))
        return text;
    return string(QStringView(text).mid(prefix.size())).value_or(text);
}

std::optional<ColorRef> Toolkit::namedColor(QStringView name) const {
    const auto it = colors_.constFind(name.toString());
    return it == colors_.constEnd() ? std::nullopt : parseColor(*it);
}

std::optional<ColorRef> Toolkit::resolveColor(QStringView text) const {
    if (text.startsWith(u"@color/"))
        return namedColor(text.mid(7));
    return parseColor(text);
}

const StyleClass* Toolkit::styleClass(QStringView name) const {
    const auto it = styles_.constFind(name.toString());
    return it == styles_.constEnd() ? nullptr : &*it;
}

// ---- Translation
// -----------------------------------------------------------------------------------------------

bool Toolkit::installTranslator(QStringView name) {
    const auto bytes = package_->bytes(u"translator", name);
    if (!bytes) {
        qCWarning(lcSoui) << "translation" << name << "not in the package";
        return false;
    }
    auto translator = std::make_unique<XmlTranslator>();
    if (!translator->loadDocument(*bytes))
        return false;
    if (translator_)
        QCoreApplication::removeTranslator(translator_.get());
    translator_ = std::move(translator);
    if (!QCoreApplication::installTranslator(translator_.get()))
        qCWarning(lcSoui) << "translation" << name << "was not installed";
    return true;
}

} // namespace velorin::ui
