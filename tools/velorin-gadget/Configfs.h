// A USB HID gadget made through configfs (libcomposite + usb_f_hid): one device with one or more
// HID interfaces, bound to a USB device controller (dummy_hcd's dummy_udc.0 in the test machine).
// Binding is a plug and unbinding an unplug, so the host side sees real USB events.
#pragma once

#include "core/sim/Interfaces.h"

#include <string>
#include <vector>

namespace velorin::gadget {

using sim::Kind;

// The interfaces of the gadget (core/sim/Interfaces.h); the first one's kind also gives the
// device's ids.
struct Layout {
    std::vector<Kind> interfaces{Kind::Adapter};
    // Whether each interface has an interrupt OUT endpoint (f_hid's no_out_endpoint is the opposite).
    bool outEndpoint = true;
};

class ConfigfsGadget {
public:
    // `name` is the directory under /sys/kernel/config/usb_gadget; `udc` the controller to bind
    // to, empty for the first in /sys/class/udc.
    ConfigfsGadget(std::string name, std::string udc, std::string configfs = "/sys/kernel/config");
    ~ConfigfsGadget(); // unplugs and removes the gadget; the caller has closed its /dev/hidgN first
    ConfigfsGadget(const ConfigfsGadget&) = delete;
    ConfigfsGadget& operator=(const ConfigfsGadget&) = delete;

    // Builds the gadget's directories for `layout` and binds it (a plug). A leftover gadget of the
    // same name (from a process that died) is removed first.
    bool plug(const Layout& layout, std::string* error);
    // Unbinds the gadget (an unplug) and removes its directories. Every /dev/hidgN of it must be
    // closed before: a descriptor held across the unbind crashes some kernels.
    void unplug();
    bool plugged() const { return plugged_; }
    const Layout& layout() const { return layout_; }
    // The /dev node of interface `index` (its character device number read from configfs);
    // empty when it is not known.
    std::string deviceNode(std::size_t index) const;

private:
    std::string gadgetDir() const;
    void removeTree();

    std::string name_;
    std::string udc_;
    std::string configfs_;
    Layout layout_;
    bool plugged_ = false;
};

} // namespace velorin::gadget
