// One HID service of a search of the simulated backend: an interface of a
// simulated Pinworth, or a foreign service, which can be described but not
// opened.
#ifndef PINWORTH_SIM_SERVICE_H
#define PINWORTH_SIM_SERVICE_H

#include "platform/simulated/SimState.h"

#include <memory>

namespace hid::sim {

class SimService : public Service {
public:
  SimService(std::shared_ptr<SimState> state, Slot slot);

  Status copyProperties(PropertyTable &outTable) const override;
  // Foreign services are never asked: the library does not open them.
  Status copyReportDescriptor(std::vector<uint8_t> &outBytes) const override;
  Status getClassName(std::string &outName) const override;
  Status
  createPlugInInterface(std::unique_ptr<PlugInInterface> &outPlugIn) override;

private:
  const InterfaceFaults &faults() const;

  std::shared_ptr<SimState> state_;
  Slot slot_;
};

} // namespace hid::sim

#endif
