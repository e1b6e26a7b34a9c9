#include "Configfs.h"

#include "core/Identity.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace velorin::gadget {
namespace {

bool writeFile(const std::string& path, const void* data, std::size_t size, std::string* error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = path + ": " + std::strerror(errno);
        return false;
    }
    const ssize_t put = ::write(fd, data, size);
    const int e = errno;
    ::close(fd);
    if (put == static_cast<ssize_t>(size))
        return true;
    if (error)
        *error = path + ": " + (put < 0 ? std::strerror(e) : "short write");
    return false;
}

bool writeText(const std::string& path, const std::string& text, std::string* error) {
    return writeFile(path, text.data(), text.size(), error);
}

bool makeDir(const std::string& path, std::string* error) {
    if (::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST)
        return true;
    if (error)
        *error = "mkdir " + path + ": " + std::strerror(errno);
    return false;
}

std::string readLine(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    char buf[128];
    const ssize_t got = ::read(fd, buf, sizeof buf - 1);
    ::close(fd);
    if (got <= 0)
        return {};
    std::string s(buf, static_cast<std::size_t>(got));
    while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    return s;
}

std::string hex4(uint16_t v) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "0x%04x", v);
    return buf;
}

std::string firstUdc() {
    DIR* dir = ::opendir("/sys/class/udc");
    if (!dir)
        return {};
    std::string first;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != ".." && (first.empty() || name < first))
            first = name;
    }
    ::closedir(dir);
    return first;
}

} // namespace

ConfigfsGadget::ConfigfsGadget(std::string name, std::string udc, std::string configfs)
    : name_(std::move(name)), udc_(std::move(udc)), configfs_(std::move(configfs)) {}

ConfigfsGadget::~ConfigfsGadget() {
    unplug();
}

std::string ConfigfsGadget::gadgetDir() const {
    return configfs_ + "/usb_gadget/" + name_;
}

bool ConfigfsGadget::plug(const Layout& layout, std::string* error) {
    if (plugged_) {
        if (error)
            *error = "already plugged";
        return false;
    }
    if (layout.interfaces.empty() || layout.interfaces.size() > 4) {
        if (error)
            *error = "a gadget has 1 to 4 interfaces";
        return false;
    }
    removeTree(); // a leftover of a process that died
    const std::string udc = udc_.empty() ? firstUdc() : udc_;
    if (udc.empty()) {
        if (error)
            *error = "no USB device controller in /sys/class/udc (load dummy_hcd)";
        return false;
    }
    const std::string g = gadgetDir();
    const sim::InterfaceIdentity device = sim::interfaceIdentity(layout.interfaces.front());
    const std::string product = device.vendorId == kAdapterIdentity.vendorId
                                    ? std::string("Velorin gadget adapter")
                                    : std::string("Velorin test ") + sim::kindName(layout.interfaces.front());
    bool ok = makeDir(configfs_ + "/usb_gadget", error) && makeDir(g, error) &&
              writeText(g + "/idVendor", hex4(device.vendorId), error) &&
              writeText(g + "/idProduct", hex4(device.productId), error) &&
              writeText(g + "/bcdDevice", "0x0100", error) && writeText(g + "/bcdUSB", "0x0200", error) &&
              makeDir(g + "/strings/0x409", error) &&
              writeText(g + "/strings/0x409/manufacturer", "Velorin", error) &&
              writeText(g + "/strings/0x409/product", product, error) &&
              writeText(g + "/strings/0x409/serialnumber", "0001", error) &&
              makeDir(g + "/configs/c.1", error) && writeText(g + "/configs/c.1/MaxPower", "100", error) &&
              makeDir(g + "/configs/c.1/strings/0x409", error) &&
              writeText(g + "/configs/c.1/strings/0x409/configuration", "Velorin", error);
    for (std::size_t i = 0; ok && i < layout.interfaces.size(); ++i) {
        const std::string f = g + "/functions/hid.usb" + std::to_string(i);
        const sim::InterfaceIdentity id = sim::interfaceIdentity(layout.interfaces[i]);
        // f_hid's report_length is the endpoints' packet size: the interface's longest report. A
        // boot protocol (keyboard, mouse) comes with the boot subclass.
        ok = makeDir(f, error) && writeText(f + "/protocol", std::to_string(id.bootProtocol), error) &&
             writeText(f + "/subclass", id.bootProtocol != 0 ? "1" : "0", error) &&
             writeText(f + "/report_length", std::to_string(id.reportLength), error) &&
             writeFile(f + "/report_desc", id.descriptor.data(), id.descriptor.size(), error) &&
             writeText(f + "/no_out_endpoint", layout.outEndpoint ? "0" : "1", error);
        const std::string link = g + "/configs/c.1/hid.usb" + std::to_string(i);
        if (ok && ::symlink(f.c_str(), link.c_str()) != 0) {
            ok = false;
            if (error)
                *error = "link " + link + ": " + std::strerror(errno);
        }
    }
    if (ok)
        ok = writeText(g + "/UDC", udc, error);
    if (!ok) {
        removeTree();
        return false;
    }
    layout_ = layout;
    plugged_ = true;
    return true;
}

void ConfigfsGadget::unplug() {
    if (!plugged_)
        return;
    removeTree();
    plugged_ = false;
}

void ConfigfsGadget::removeTree() {
    const std::string g = gadgetDir();
    if (::access(g.c_str(), F_OK) != 0)
        return;
    std::string ignored;
    if (!readLine(g + "/UDC").empty())
        writeText(g + "/UDC", "\n", &ignored);
    // configfs removes in the reverse order of creation: links, then configurations and their
    // strings, functions, the device's strings, the device.
    for (int i = 0; i < 8; ++i)
        ::unlink((g + "/configs/c.1/hid.usb" + std::to_string(i)).c_str());
    ::rmdir((g + "/configs/c.1/strings/0x409").c_str());
    ::rmdir((g + "/configs/c.1").c_str());
    for (int i = 0; i < 8; ++i)
        ::rmdir((g + "/functions/hid.usb" + std::to_string(i)).c_str());
    ::rmdir((g + "/strings/0x409").c_str());
    ::rmdir(g.c_str());
}

std::string ConfigfsGadget::deviceNode(std::size_t index) const {
    const std::string dev = readLine(gadgetDir() + "/functions/hid.usb" + std::to_string(index) + "/dev");
    unsigned major = 0, minor = 0;
    if (std::sscanf(dev.c_str(), "%u:%u", &major, &minor) != 2)
        return {};
    DIR* dir = ::opendir("/dev");
    if (!dir)
        return {};
    std::string found;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name.rfind("hidg", 0) != 0)
            continue;
        struct stat st {};
        if (::stat(("/dev/" + name).c_str(), &st) == 0 && S_ISCHR(st.st_mode) &&
            ::major(st.st_rdev) == major && ::minor(st.st_rdev) == minor) {
            found = "/dev/" + name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

} // namespace velorin::gadget
