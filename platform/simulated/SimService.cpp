#include "platform/simulated/SimService.h"

#include "platform/simulated/SimHandle.h"

namespace hid::sim {

namespace {

class SimPlugIn : public PlugInInterface {
public:
  SimPlugIn(std::shared_ptr<SimState> state, DeviceID device,
            int interfaceNumber)
      : state_(std::move(state)), device_(device),
        interfaceNumber_(interfaceNumber) {}

  Status queryInterface(DeviceInterface **outInterface) override {
    if (Status status =
            state_->interface(device_, interfaceNumber_).faults.queryStatus)
      return status;
    *outInterface = new SimHandle(state_, device_, interfaceNumber_);
    return kSuccess;
  }

private:
  std::shared_ptr<SimState> state_;
  DeviceID device_;
  int interfaceNumber_;
};

} // namespace

SimService::SimService(std::shared_ptr<SimState> state, Slot slot)
    : state_(std::move(state)), slot_(slot) {}

Status SimService::copyProperties(PropertyTable &outTable) const {
  const InterfaceFaults &f = faults();
  if (f.propertiesUnreadable)
    return kErrorIO;
  outTable = PropertyTable{};
  if (slot_.foreign) {
    const ForeignService &service = state_->foreign.at(slot_.id);
    outTable.vendorID = service.vendorID;
    outTable.productID = service.productID;
  } else {
    outTable =
        DeviceProperties(state_->device(slot_.id), slot_.interfaceNumber);
  }
  if (f.vendorIDMissing)
    outTable.vendorID.reset();
  if (f.productIDMissing)
    outTable.productID.reset();
  return kSuccess;
}

Status SimService::copyReportDescriptor(std::vector<uint8_t> &outBytes) const {
  if (slot_.foreign)
    return kErrorUnsupported;
  return DeviceReportDescriptor(
      state_->interface(slot_.id, slot_.interfaceNumber), slot_.interfaceNumber,
      outBytes);
}

Status SimService::getClassName(std::string &outName) const {
  if (Status status = faults().classNameStatus)
    return status;
  outName = "IOHIDDevice";
  return kSuccess;
}

Status
SimService::createPlugInInterface(std::unique_ptr<PlugInInterface> &outPlugIn) {
  if (Status status = faults().plugInStatus)
    return status;
  if (slot_.foreign)
    return kErrorUnsupported;
  outPlugIn =
      std::make_unique<SimPlugIn>(state_, slot_.id, slot_.interfaceNumber);
  return kSuccess;
}

const InterfaceFaults &SimService::faults() const {
  if (slot_.foreign)
    return state_->foreign.at(slot_.id).faults;
  return state_->interface(slot_.id, slot_.interfaceNumber).faults;
}

} // namespace hid::sim
