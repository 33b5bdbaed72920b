// One HID interface of a gadget, served from user space through FunctionFS:
// its descriptors (the interface, its HID class descriptor, an interrupt IN
// and an interrupt OUT endpoint), the control requests the kernel hands
// over (GET_DESCRIPTOR of the report descriptor, GET_REPORT, SET_REPORT,
// SET_IDLE; the others are stalled), the output reports of the OUT endpoint
// and the model's input reports on the IN endpoint. Each runs on a thread
// of its own, on the shared model.
#ifndef PINWORTH_GADGET_FUNCTION_FS_INTERFACE_H
#define PINWORTH_GADGET_FUNCTION_FS_INTERFACE_H

#include "gadget/GadgetModel.h"

#include <atomic>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct usb_ctrlrequest;

namespace gadget {

class FunctionFsInterface {
public:
  struct Layout {
    int interfaceNumber;
    std::vector<uint8_t> reportDescriptor;
    uint16_t maxPacketSize;
  };

  // Mounts the FunctionFS instance name at mountPoint (made if missing) and
  // writes the descriptors; error() says why when it could not.
  FunctionFsInterface(GadgetModel &model, Layout layout, std::string name,
                      std::string mountPoint);
  // Stops the threads (the gadget must be unbound and the model stopped
  // first, which ends the endpoints' transfers) and unmounts.
  ~FunctionFsInterface();
  FunctionFsInterface(const FunctionFsInterface &) = delete;
  FunctionFsInterface &operator=(const FunctionFsInterface &) = delete;

  const std::optional<std::string> &error() const { return error_; }
  // While held, output reports are not taken: the host's writes wait, as
  // they do on a device that stopped answering.
  void holdOutputReports(bool held) { held_ = held; }
  // While stalled, control requests get no answer (the host's time runs
  // out), as on a device whose firmware hangs.
  void stallControlRequests(bool stalled);

private:
  void serveControl();
  void wakeControl();
  void handleSetup(const usb_ctrlrequest &setup);
  void readOutputReports();
  void writeInputReports();
  std::string endpoint(int number) const;

  GadgetModel &model_;
  Layout layout_;
  std::string mountPoint_;
  bool mounted_ = false;
  int ep0_ = -1;
  int wakeEvent_ = -1; // an eventfd: the control thread stops or answers
  std::atomic<bool> stopping_ = false;
  std::atomic<bool> held_ = false;
  std::atomic<bool> stalled_ = false;
  std::optional<std::string> error_;
  std::thread control_, outputs_, inputs_;
};

} // namespace gadget

#endif
