#include "model/Log.h"

#include <gtest/gtest.h>

using velorin::formatLogEntry;

TEST(Log, EntryNamesLevelSourceBaseLineAndFunction) {
    EXPECT_EQ(formatLogEntry(QtCriticalMsg, "/src/app/MainDlg.cpp", 33, "CMainDlg::OnWMUpdateJoydate",
                             QStringLiteral("m_PS3Handler.ShowKeystatus exception")),
              QStringLiteral(
                  "[error] MainDlg:33 CMainDlg::OnWMUpdateJoydate: m_PS3Handler.ShowKeystatus exception"));
    EXPECT_EQ(formatLogEntry(QtDebugMsg, "HidInputWnd", 138, "AsynchReadThreadProc", QStringLiteral("x")),
              QStringLiteral("[debug] HidInputWnd:138 AsynchReadThreadProc: x"));
}

TEST(Log, LongTextIsCutTo2048Characters) {
    const QString text(5000, QChar(u'字'));
    const QString entry = formatLogEntry(QtInfoMsg, "a.cpp", 1, "f", text);
    EXPECT_EQ(entry.size(), QStringLiteral("[info] a:1 f: ").size() + velorin::kMaxLogChars);
}

TEST(Log, MissingContextStillFormats) {
    EXPECT_EQ(formatLogEntry(QtWarningMsg, nullptr, 0, nullptr, QStringLiteral("t")),
              QStringLiteral("[warning] ?:0 ?: t"));
}
