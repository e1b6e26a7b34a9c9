#include "model/Translations.h"

#include <QFile>

#include <pugixml.hpp>

#include <optional>

// Defined in the generated source (rcc --name velorin_translations). Called by name, so that the
// linker keeps the resource of this static library.
static void initTranslationDocuments() {
    Q_INIT_RESOURCE(velorin_translations);
}

namespace velorin {

namespace {

QString key(QStringView context, QStringView source) {
    return context.toString() + QChar(0) + source.toString();
}

Error<TranslationErrorKind> failure(TranslationErrorKind kind, const char* detail) {
    return {kind, detail};
}

} // namespace

Result<TranslationDocument, Error<TranslationErrorKind>> TranslationDocument::parse(QByteArrayView xml) {
    if (xml.size() > kMaxDocumentBytes)
        return failure(TranslationErrorKind::TooLarge, "translation document too large");
    pugi::xml_document doc;
    if (!doc.load_buffer(xml.data(), size_t(xml.size())))
        return failure(TranslationErrorKind::Malformed, "translation document cannot be parsed");
    const pugi::xml_node language = doc.child("language");
    if (!language)
        return failure(TranslationErrorKind::NotATranslation, "translation document has no language element");
    TranslationDocument out;
    out.name_ = QString::fromUtf8(language.attribute("name").as_string());
    out.guid_ = QString::fromUtf8(language.attribute("guid").as_string());
    for (pugi::xml_node context : language.children("context")) {
        const QString ctx = QString::fromUtf8(context.attribute("name").as_string());
        for (pugi::xml_node message : context.children("message")) {
            const QString source = QString::fromUtf8(message.child("source").text().as_string());
            const QString translation = QString::fromUtf8(message.child("translation").text().as_string());
            if (!source.isEmpty() && !translation.isEmpty())
                out.messages_.insert(key(ctx, source), translation);
        }
    }
    return out;
}

QString TranslationDocument::translate(QStringView context, QStringView source) const {
    const auto it = messages_.constFind(key(context, source));
    return it == messages_.constEnd() ? QString() : *it;
}

const TranslationDocument* builtInTranslation(QStringView name) {
    // Read once each, on first use; the resource is part of this library (model/CMakeLists.txt).
    static const bool packed = (initTranslationDocuments(), true);
    (void)packed;
    static const auto load = [](const char* path) -> std::optional<TranslationDocument> {
        QFile file(QString::fromLatin1(path));
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        auto doc = TranslationDocument::parse(file.readAll());
        return doc ? std::optional(std::move(*doc)) : std::nullopt;
    };
    if (name == u"en") {
        static const std::optional<TranslationDocument> en = load(":/velorin/translator/en.xml");
        return en ? &*en : nullptr;
    }
    if (name == u"ja") {
        static const std::optional<TranslationDocument> ja = load(":/velorin/translator/ja.xml");
        return ja ? &*ja : nullptr;
    }
    return nullptr;
}

} // namespace velorin
