#include "gadget/ConfigfsGadget.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace gadget {

namespace {

constexpr const char *kGadgets = "/sys/kernel/config/usb_gadget/";

std::optional<std::string> WriteText(const std::string &path,
                                     const std::string &text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0)
    return path + ": " + std::strerror(errno);
  const ssize_t written = ::write(fd, text.data(), text.size());
  const int error = errno;
  ::close(fd);
  if (written != ssize_t(text.size()))
    return path + ": " + std::strerror(error);
  return std::nullopt;
}

std::string Hex(uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04x", value);
  return text;
}

// The controllers in /sys/class/udc, by name.
std::vector<std::string> Controllers() {
  std::vector<std::string> names;
  if (DIR *udcs = ::opendir("/sys/class/udc")) {
    while (dirent *entry = ::readdir(udcs))
      if (entry->d_name[0] != '.')
        names.push_back(entry->d_name);
    ::closedir(udcs);
  }
  std::sort(names.begin(), names.end());
  return names;
}

} // namespace

ConfigfsGadget::ConfigfsGadget(const Identity &identity, int functionCount)
    : root_(kGadgets + std::string("pinworth-") + identity.serial),
      serial_(identity.serial) {
  const auto make = [&](const std::string &path) {
    if (error_)
      return;
    if (::mkdir(path.c_str(), 0755) != 0)
      error_ = path + ": " + std::strerror(errno);
    else
      made_.push_back(path);
  };
  const auto write = [&](const std::string &path, const std::string &text) {
    if (!error_)
      error_ = WriteText(path, text);
  };
  make(root_);
  write(root_ + "/idVendor", Hex(identity.vendorID));
  write(root_ + "/idProduct", Hex(identity.productID));
  write(root_ + "/bcdUSB", "0x0200");
  write(root_ + "/bcdDevice", "0x0100");
  make(root_ + "/strings/0x409");
  write(root_ + "/strings/0x409/manufacturer", identity.manufacturer);
  write(root_ + "/strings/0x409/product", identity.product);
  write(root_ + "/strings/0x409/serialnumber", identity.serial);
  make(root_ + "/configs/c.1");
  write(root_ + "/configs/c.1/MaxPower", "100");
  for (int index = 0; index < functionCount; ++index) {
    const std::string function =
        root_ + "/functions/ffs." + functionName(index);
    make(function);
    const std::string link = root_ + "/configs/c.1/ffs." + functionName(index);
    if (!error_ && ::symlink(function.c_str(), link.c_str()) != 0)
      error_ = link + ": " + std::strerror(errno);
    else if (!error_)
      made_.push_back(link);
  }
}

ConfigfsGadget::~ConfigfsGadget() {
  unbind(nullptr);
  for (auto path = made_.rbegin(); path != made_.rend(); ++path)
    if (::rmdir(path->c_str()) != 0)
      ::unlink(path->c_str());
}

std::string ConfigfsGadget::functionName(int index) const {
  return "pw" + serial_ + "if" + std::to_string(index);
}

bool ConfigfsGadget::bind(const std::string &udc, std::string *error) {
  std::optional<std::string> failure;
  if (!udc.empty()) {
    failure = WriteText(root_ + "/UDC", udc);
  } else {
    // A controller another gadget has is busy: the first free one.
    failure = "no USB device controller in /sys/class/udc";
    for (const std::string &controller : Controllers())
      if (!(failure = WriteText(root_ + "/UDC", controller)))
        break;
  }
  if (failure && error)
    *error = *failure;
  return !failure;
}

bool ConfigfsGadget::unbind(std::string *error) {
  const std::optional<std::string> failure = WriteText(root_ + "/UDC", "\n");
  if (failure && error)
    *error = *failure;
  return !failure;
}

} // namespace gadget
