#include "model/Log.h"

#include <cstdio>
#include <cstring>

namespace velorin {

Q_LOGGING_CATEGORY(lcSouiCategory, "soui")

const QLoggingCategory& lcSoui() {
    return lcSouiCategory();
}

namespace {

const char* levelName(QtMsgType type) {
    switch (type) {
    case QtDebugMsg:
        return "debug";
    case QtInfoMsg:
        return "info";
    case QtWarningMsg:
        return "warning";
    case QtCriticalMsg:
        return "error";
    case QtFatalMsg:
        return "fatal";
    }
    return "?";
}

// "app/MainDlg.cpp" -> "MainDlg"
QString sourceBaseName(const char* file) {
    if (!file || !*file)
        return QStringLiteral("?");
    const char* slash = std::strrchr(file, '/');
    QString base = QString::fromUtf8(slash ? slash + 1 : file);
    const qsizetype dot = base.lastIndexOf(u'.');
    return dot > 0 ? base.left(dot) : base;
}

void handler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const QByteArray out =
        formatLogEntry(type, context.file, context.line, context.function, text).toLocal8Bit();
    std::fprintf(stderr, "%s\n", out.constData());
    std::fflush(stderr);
}

} // namespace

QString formatLogEntry(QtMsgType type, const char* file, int line, const char* function,
                       const QString& text) {
    return QStringLiteral("[%1] %2:%3 %4: %5")
        .arg(QLatin1String(levelName(type)), sourceBaseName(file), QString::number(line),
             QString::fromUtf8(function ? function : "?"), text.left(kMaxLogChars));
}

void installLogHandler() {
    qInstallMessageHandler(handler);
}

void logAt(LogLevel level, const char* source, int line, const char* function, const QString& text) {
    // The category's filter rules decide, as they do for qCInfo and the others.
    const QLoggingCategory& category = lcSoui();
    QMessageLogger logger(source, line, function, category.categoryName());
    switch (level) {
    case LogLevel::Error:
        if (category.isCriticalEnabled())
            logger.critical("%s", qUtf8Printable(text));
        break;
    case LogLevel::Warning:
        if (category.isWarningEnabled())
            logger.warning("%s", qUtf8Printable(text));
        break;
    case LogLevel::Info:
        if (category.isInfoEnabled())
            logger.info("%s", qUtf8Printable(text));
        break;
    case LogLevel::Debug:
    case LogLevel::Verbose:
        if (category.isDebugEnabled())
            logger.debug("%s", qUtf8Printable(text));
        break;
    }
}

} // namespace velorin
