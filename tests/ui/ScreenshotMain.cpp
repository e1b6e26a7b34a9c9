// Builds the main window from the resource package offscreen and saves a screenshot:
//   ui_screenshot <out.png>
// The PS3 page is selected and the PS3 tab button checked, as the program opens.
#include "ui/Elements.h"
#include "ui/SHostWnd.h"
#include "ui/Toolkit.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("main_window.png");

    velorin::ui::Toolkit toolkit(QStringLiteral("imgdecoder-gdip"));
    toolkit.loadUiDefinition(u"uidef:xml_init");
    toolkit.registerNamedIds(velorin::ui::NamedIdTable::fromLayouts(toolkit.package()));
    toolkit.installTranslator(u"lang_cn");

    velorin::ui::SHostWnd window(QStringLiteral("LAYOUT:XML_MAINWND"));
    if (!window.create()) {
        std::fprintf(stderr, "the main window cannot be built\n");
        return 1;
    }
    if (auto* ps3 = window.findChildByName(u"btn_ps3", u"imgbtn")) {
        ps3->setChecked(true);
        ps3->setAttribute(QStringLiteral("colorText"), QStringLiteral("#ffffffff"));
    }
    window.centerOnWorkArea();
    window.show();
    QTimer::singleShot(400, &app, &QApplication::quit); // let the fades finish
    app.exec();

    QDir().mkpath(QFileInfo(out).absolutePath());
    const QImage shot = window.grab().toImage();
    if (!shot.save(out)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(out));
        return 1;
    }
    std::printf("%s %dx%d\n", qPrintable(out), shot.width(), shot.height());
    return 0;
}
