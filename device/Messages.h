// The two notices from the listener to the main window. Neither carries data: the receiver reads
// the shared device state.
#pragma once

#include <QEvent>

namespace velorin::device {

// Sent (and waited for) after every arrival of a HID interface, once the scan that follows it
// is done: the main window reads the four records back.
inline constexpr QEvent::Type WM_HID_ARRIVAL = QEvent::Type(0x0414);
// Posted by the reader thread after every read, and once when the adapter is gone: the main
// window redraws the status lamps.
inline constexpr QEvent::Type WM_UPDATE_JOYDATE = QEvent::Type(0x0415);

static_assert(WM_HID_ARRIVAL >= QEvent::User && WM_HID_ARRIVAL <= QEvent::MaxUser);
static_assert(WM_UPDATE_JOYDATE >= QEvent::User && WM_UPDATE_JOYDATE <= QEvent::MaxUser);

} // namespace velorin::device
