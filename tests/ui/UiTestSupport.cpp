#include "UiTestSupport.h"

#include "ui/Resources.h"

#include <QPainter>

namespace velorin::ui::test {

QApplication& app() {
    static int argc = 1;
    static char arg0[] = "ui_tests";
    static char* argv[] = {arg0, nullptr};
    static QApplication* instance = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return new QApplication(argc, argv); // lives until the process ends
    }();
    return *instance;
}

Toolkit& toolkit() {
    app();
    static Toolkit* tk = [] {
        auto* t = new Toolkit(QStringLiteral("imgdecoder-gdip"));
        t->loadUiDefinition(u"uidef:xml_init");
        t->registerNamedIds(NamedIdTable::fromLayouts(t->package()));
        t->installTranslator(u"lang_cn");
        return t;
    }();
    return *tk;
}

QImage solidImage(QSize size, QColor color) {
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(color);
    return image;
}

} // namespace velorin::ui::test
