// The text of an assignment box, as the window shows it.
#pragma once

#include "core/KeyCodes.h"

#include <QString>

namespace velorin {

// The text of an assignment box for a code: the key table's name (core/KeyCodes.h), empty for
// codes without one; the three mouse codes show the current display texts Lclick, Rclick and
// Mclick.
QString KeyCodeName(KeyCode code);

} // namespace velorin
