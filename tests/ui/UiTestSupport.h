// Shared set-up of the toolkit tests: one offscreen QApplication and one toolkit for the whole run.
#pragma once

#include "ui/Toolkit.h"

#include <QApplication>
#include <QImage>

namespace velorin::ui::test {

// The application and the toolkit with the program's UI definition, named ids and "lang_cn" installed.
QApplication& app();
Toolkit& toolkit();

// A solid image of one colour.
QImage solidImage(QSize size, QColor color);

} // namespace velorin::ui::test
