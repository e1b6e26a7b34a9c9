// What the files of CMainDlg share (MainDlg.cpp: the commands, the close flow and event dispatch;
// MainDlgStartup.cpp: the set-up, texts and background; MainDlgKeyboard.cpp: keyboard focus and
// pad-press focus). Included by those files only.
#pragma once

#include "core/Console.h"

#include <QString>

#include <initializer_list>
#include <string_view>

namespace velorin::app::mainwnd {

// The command buttons as they stand in the window, left to right. The console buttons are the
// core's table's (ConsoleInfo::tabButton), in block order, which is their order in the window.
inline constexpr std::initializer_list<const char16_t*> kCommandButtons = {u"btn_loadcfg", u"btn_savecfg",
                                                                           u"btn_default", u"btn_Applay"};

inline QString latin(std::string_view text) {
    return QString::fromLatin1(text.data(), qsizetype(text.size()));
}

inline QString tabButtonOf(ConsoleId console) {
    return latin(consoleInfo(console).tabButton);
}

} // namespace velorin::app::mainwnd
