// A USB gadget in configfs (/sys/kernel/config/usb_gadget): a Pinworth's
// device descriptor and strings, one configuration, and one FunctionFS
// function per HID interface, linked in interface order. It is bound to a
// USB device controller once every function has its descriptors, and taken
// apart, unbound first, when it goes.
#ifndef PINWORTH_GADGET_CONFIGFS_GADGET_H
#define PINWORTH_GADGET_CONFIGFS_GADGET_H

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace gadget {

class ConfigfsGadget {
public:
  struct Identity {
    uint16_t vendorID;
    uint16_t productID;
    std::string manufacturer;
    std::string product;
    std::string serial;
  };

  // Makes the gadget "pinworth-<serial>" with functionCount FunctionFS
  // functions; error() says why when it could not.
  ConfigfsGadget(const Identity &identity, int functionCount);
  // Unbinds the gadget and removes what it made.
  ~ConfigfsGadget();
  ConfigfsGadget(const ConfigfsGadget &) = delete;
  ConfigfsGadget &operator=(const ConfigfsGadget &) = delete;

  const std::optional<std::string> &error() const { return error_; }
  // The name to mount function index's FunctionFS instance by.
  std::string functionName(int index) const;

  // Binds to udc (the first free controller in /sys/class/udc when empty):
  // the cable plugged in; unbind() pulls it. False when it failed, with why
  // in *error unless error is null.
  bool bind(const std::string &udc, std::string *error);
  bool unbind(std::string *error);

private:
  std::string root_;
  std::string serial_;
  std::vector<std::string> made_; // in the order made, removed in reverse
  std::optional<std::string> error_;
};

} // namespace gadget

#endif
