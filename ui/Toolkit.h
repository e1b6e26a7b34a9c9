// The toolkit's process-wide state: the resource package, the image decoder, the skin pool, the string,
// colour and style tables of the UI definition, the default font, the named-id table and the installed
// translator. Exactly one Toolkit exists while windows are built; construct it after the QApplication.
//
//   velorin::ui::Toolkit toolkit("imgdecoder-gdip");   // system skins loaded
//   toolkit.loadUiDefinition("uidef:xml_init");
//   toolkit.registerNamedIds(NamedIdTable::fromLayouts(toolkit.package()));
//   toolkit.installTranslator("lang_cn");
#pragma once

#include "ui/Color.h"
#include "ui/ImageDecoder.h"
#include "ui/NamedIds.h"
#include "ui/Resources.h"
#include "ui/Skin.h"
#include "ui/Translator.h"

#include <QFont>
#include <QHash>
#include <QIcon>
#include <QList>
#include <QPair>
#include <QString>
#include <memory>
#include <optional>

namespace velorin::ui {

// A style class: attributes applied before an element's own.
using StyleClass = QList<QPair<QString, QString>>;

class Toolkit {
public:
    // `decoderName` chooses the image decoder (unknown names fall back to "imgdecoder-png" with a warning);
    // `package` defaults to the embedded one and must outlive the toolkit.
    explicit Toolkit(const QString& decoderName = QStringLiteral("imgdecoder-gdip"),
                     const ResourcePackage* package = nullptr);
    ~Toolkit();
    Toolkit(const Toolkit&) = delete;
    Toolkit& operator=(const Toolkit&) = delete;

    // The live toolkit, or nullptr.
    static Toolkit* instance();

    const ResourcePackage& package() const { return *package_; }
    const ImageDecoder& decoder() const { return *decoder_; }

    // ---- Images
    // -------------------------------------------------------------------------------------------------
    // Decodes an image resource ("IMG:ps3_png"). With devicePixelRatio > 1 the "@2x" rendering is used
    // when the package has one (the image then carries that ratio). Null image when missing or bad.
    QImage loadImage(QStringView ref, qreal devicePixelRatio = 0) const;
    // An icon from every size stored as "ICON:<name>@<size>" (plus "ICON:<name>" itself).
    QIcon loadIcon(QStringView name) const;
    // Device pixel ratio used for images when none is given: the primary screen's.
    qreal imageDevicePixelRatio() const;

    // ---- UI definition
    // -------------------------------------------------------------------------------------- Loads
    // "XML:SYS_XML_SKIN" (the built-in skins). Done by the constructor.
    bool loadSystemResources();
    // Loads a UI definition: default font, string, skin and colour tables, style classes.
    bool loadUiDefinition(QStringView ref = u"uidef:xml_init");

    SkinPool& skins() { return skins_; }
    const SkinPool& skins() const { return skins_; }
    Skin* skin(QStringView name) const { return skins_.find(name); }

    // An entry of the string table, or nothing.
    std::optional<QString> string(QStringView name) const;
    // "@string/name" to the table's text (unchanged when the name is unknown); other texts unchanged.
    QString resolveString(const QString& text) const;
    // An entry of the colour table, or nothing.
    std::optional<ColorRef> namedColor(QStringView name) const;
    // "@color/name" or the colour notation.
    std::optional<ColorRef> resolveColor(QStringView text) const;
    const StyleClass* styleClass(QStringView name) const;

    QFont defaultFont() const { return defaultFont_; }
    // Scale in percent at which layout sizes become pixels.
    int scale() const { return scale_; }

    // ---- Named ids
    // ---------------------------------------------------------------------------------------------
    void registerNamedIds(NamedIdTable table) { namedIds_ = std::move(table); }
    const NamedIdTable& namedIds() const { return namedIds_; }

    // ---- Translation
    // ----------------------------------------------------------------------------------------------- Loads
    // "translator:<name>", installs it in the application (replacing the one installed before) and returns
    // true; false and nothing installed when the document is missing or malformed.
    bool installTranslator(QStringView name);
    const XmlTranslator* translator() const { return translator_.get(); }

private:
    bool loadTable(QStringView ref, const char* what, QHash<QString, QString>& into);

    const ResourcePackage* package_;
    std::unique_ptr<ImageDecoder> decoder_;
    SkinPool skins_;
    QHash<QString, QString> strings_;
    QHash<QString, QString> colors_;
    QHash<QString, StyleClass> styles_;
    QFont defaultFont_;
    int scale_ = 100;
    NamedIdTable namedIds_;
    std::unique_ptr<XmlTranslator> translator_;
};

} // namespace velorin::ui
