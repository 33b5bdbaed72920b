#include "platform/hidraw/HidrawBackend.h"

#include "platform/ObjectQueue.h"
#include "platform/hidraw/ErrnoStatus.h"
#include "platform/hidraw/HidrawDevice.h"
#include "platform/hidraw/UdevNotificationPort.h"

#include <cerrno>

namespace hid::hidraw {

namespace {

constexpr MasterPort kMasterPort = 1;

class HidrawPlugIn : public PlugInInterface {
public:
  HidrawPlugIn(HidrawNode node, InterruptReader &reader,
               std::shared_ptr<NodeRemovals> removals)
      : node_(std::move(node)), reader_(reader),
        removals_(std::move(removals)) {}

  Status queryInterface(DeviceInterface **outInterface) override {
    if (outInterface == nullptr)
      return kErrorBadArgument;
    *outInterface = new HidrawDevice(node_, reader_, removals_);
    return kSuccess;
  }

private:
  HidrawNode node_;
  InterruptReader &reader_;
  std::shared_ptr<NodeRemovals> removals_;
};

// One HID interface of a search. Its property table is read from sysfs when
// asked for.
class HidrawService : public Service {
public:
  HidrawService(UdevContext context, HidrawNode node, InterruptReader &reader,
                std::shared_ptr<NodeRemovals> removals)
      : context_(std::move(context)), node_(std::move(node)), reader_(reader),
        removals_(std::move(removals)) {}

  Status copyProperties(PropertyTable &outTable) const override {
    return ReadPropertyTable(context_.get(), node_.syspath, outTable);
  }

  Status copyReportDescriptor(std::vector<uint8_t> &outBytes) const override {
    return ReadReportDescriptor(context_.get(), node_.syspath, outBytes);
  }

  Status getClassName(std::string &outName) const override {
    outName = "IOHIDDevice";
    return kSuccess;
  }

  Status
  createPlugInInterface(std::unique_ptr<PlugInInterface> &outPlugIn) override {
    outPlugIn = std::make_unique<HidrawPlugIn>(node_, reader_, removals_);
    return kSuccess;
  }

private:
  UdevContext context_;
  HidrawNode node_;
  InterruptReader &reader_;
  std::shared_ptr<NodeRemovals> removals_;
};

} // namespace

HidrawBackend::HidrawBackend() : context_(NewUdevContext()) {}

Status HidrawBackend::getMasterPort(MasterPort *outPort) {
  if (outPort == nullptr)
    return kErrorBadArgument;
  if (!context_)
    return kErrorNoMemory;
  *outPort = kMasterPort;
  return kSuccess;
}

void HidrawBackend::deallocateMasterPort(MasterPort) {}

std::unique_ptr<MatchingDictionary>
HidrawBackend::serviceMatching(const char *className) {
  if (className == nullptr)
    return nullptr;
  auto matching = std::make_unique<MatchingDictionary>();
  matching->className = className;
  return matching;
}

Status HidrawBackend::getMatchingServices(
    MasterPort port, const MatchingDictionary &matching,
    std::unique_ptr<ObjectIterator> &outIterator) {
  if (port != kMasterPort || matching.className != "IOHIDDevice")
    return kErrorBadArgument;
  if (!context_)
    return kErrorNoMemory;
  std::optional<int32_t> vendorID;
  if (auto vendor = matching.numbers.find("VendorID");
      vendor != matching.numbers.end())
    vendorID = vendor->second;
  auto services = std::make_unique<ObjectQueue>();
  for (HidrawNode &node : FindHidrawNodes(context_.get(), vendorID))
    services->push(std::make_shared<HidrawService>(context_, std::move(node),
                                                   reader_, removals_));
  outIterator = std::move(services);
  return kSuccess;
}

std::unique_ptr<NotificationPort>
HidrawBackend::createNotificationPort(MasterPort port) {
  if (port != kMasterPort)
    return nullptr;
  return UdevNotificationPort::Create(context_, removals_);
}

} // namespace hid::hidraw
