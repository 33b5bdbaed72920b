#include "cli/CaptureInterfaces.h"
#include "cli/Output.h"

#include "core/interfaces/CaptureSources.h"
#include "core/interfaces/InterfaceInfo.h"

namespace cli {

capture::CaptureInterface ToCaptureInterface(const ListedInterface &interface) {
  const core::InterfaceInfo info = core::ReadInterfaceInfo(*interface.handle);
  return core::CaptureEntry(interface.identity,
                            info.descriptorStatus == hid::kSuccess
                                ? info.descriptor
                                : std::vector<uint8_t>{});
}

std::unique_ptr<capture::CaptureReader> OpenCapture(const QString &path,
                                                    const QString &shownName) {
  std::string reason;
  std::unique_ptr<capture::CaptureReader> reader =
      capture::CaptureReader::open(path.toStdString(), &reason);
  if (!reader)
    PrintError(QStringLiteral("%1: %2").arg(shownName,
                                            QString::fromStdString(reason)));
  return reader;
}

} // namespace cli
