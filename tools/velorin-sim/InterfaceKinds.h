// The kinds of interface velorin-sim can plug: the adapter, a keyboard, a mouse, and the near
// misses that share the adapter's ids.
#pragma once

#include "device/hid/SimBus.h"

#include <optional>
#include <string>

namespace velorin::sim {

enum class Kind { Adapter, Keyboard, Mouse, Feature, Input64, OtherPage, TwoLinks };

std::optional<Kind> kindFromName(const std::string& name);
hid::sim::Identity identityFor(Kind kind);

} // namespace velorin::sim
