// Report transfer: output reports, input reports by request, and interrupt
// reports through a handler on the event loop.
#include "lib/PinworthLibPrivate.h"
#include "platform/TransferLater.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr uint32_t kTransferTimeoutMS = 50;

// Opens the interface for a transfer; reports and returns the failure.
hid::Status OpenForTransfer(hid::DeviceInterface *inInterface) {
  hid::Status status =
      inInterface ? inInterface->open(0) : hid::kErrorBadArgument;
  PrintErrMsgIfIOErr(status, "Could not open hid device interface");
  return status;
}

} // namespace

// Leaves the interface open on success, closed after a failed request.
int32_t PinworthWriteToInterface(hid::DeviceInterface *inInterface, int inSize,
                                 const void *inData) {
  if (inSize < 0)
    return hid::kErrorBadArgument;
  if (hid::Status status = OpenForTransfer(inInterface))
    return status;
  hid::Status status =
      inInterface->setReport(hid::ReportType::Output, 0, inData,
                             static_cast<uint32_t>(inSize), kTransferTimeoutMS);
  if (status != hid::kSuccess) {
    PrintErrMsgIfIOErr(status,
                       "Could not write setReport on hid device interface");
    inInterface->close();
    return status;
  }
  return hid::kSuccess;
}

// Closes the interface afterwards, whatever state it was found in.
int32_t PinworthReadFromInterface(hid::DeviceInterface *inInterface,
                                  int inReportID, int inSize, void *outData) {
  if (inSize < 0 || (inSize > 0 && !outData))
    return hid::kErrorBadArgument;
  auto size = static_cast<uint32_t>(inSize);
  if (hid::Status status = OpenForTransfer(inInterface))
    return status;
  std::memset(outData, 0, size);
  hid::Status status = inInterface->getReport(
      hid::ReportType::Input, static_cast<uint32_t>(inReportID), outData, &size,
      kTransferTimeoutMS);
  if (status != hid::kSuccess)
    PrintErrMsgIfIOErr(status,
                       "Could not read getReport on hid device interface");
  inInterface->close();
  return status;
}

void PinworthWriteToInterfaceLater(hid::DeviceInterface *inInterface,
                                   std::vector<uint8_t> inData,
                                   PinworthTransferDone done) {
  if (hid::Status status = OpenForTransfer(inInterface))
    return hid::AnswerLater(inInterface, std::move(done), status);
  inInterface->setReportLater(
      hid::ReportType::Output, 0, std::move(inData), kTransferTimeoutMS,
      [inInterface, done](hid::Status status, std::vector<uint8_t>,
                          hid::ReportTime answeredAt) {
        if (status != hid::kSuccess) {
          PrintErrMsgIfIOErr(
              status, "Could not write setReport on hid device interface");
          inInterface->close();
        }
        done(status, {}, answeredAt);
      });
}

void PinworthReadFromInterfaceLater(hid::DeviceInterface *inInterface,
                                    int inReportID, int inSize,
                                    PinworthTransferDone done) {
  if (inSize < 0)
    return hid::AnswerLater(inInterface, std::move(done),
                            hid::kErrorBadArgument);
  if (hid::Status status = OpenForTransfer(inInterface))
    return hid::AnswerLater(inInterface, std::move(done), status);
  const auto size = static_cast<uint32_t>(inSize);
  inInterface->getReportLater(
      hid::ReportType::Input, static_cast<uint32_t>(inReportID), size,
      kTransferTimeoutMS,
      [inInterface, size, done](hid::Status status, std::vector<uint8_t> data,
                                hid::ReportTime answeredAt) {
        if (status != hid::kSuccess)
          PrintErrMsgIfIOErr(
              status, "Could not read getReport on hid device interface");
        inInterface->close();
        data.resize(size);
        done(status, std::move(data), answeredAt);
      });
}

// The handler stays installed for the rest of the handle's life: the
// handle's last Release() removes it.
int32_t PinworthSetInterruptCallback(hid::DeviceInterface *inInterface,
                                     void *inBuffer, uint32_t inBufferSize,
                                     hid::ReportCallback inCallbackPtr,
                                     void *inRefCon) {
  if (!inInterface)
    return hid::kErrorBadArgument;
  inInterface->open(0);
  return inInterface->setInterruptReportHandlerCallback(
      inBuffer, inBufferSize, inCallbackPtr, inBuffer, inRefCon);
}

int32_t PinworthWrite(int inPinworthIndex, int inInterfaceIndex, int inSize,
                      const void *inData) {
  hid::DeviceInterface *interface =
      PinworthGetInterface(inPinworthIndex, inInterfaceIndex);
  if (!interface)
    return -1;
  return PinworthWriteToInterface(interface, inSize, inData);
}

int32_t PinworthRead(int inPinworthIndex, int inInterfaceIndex, int inReportID,
                     int inSize, void *outData) {
  hid::DeviceInterface *interface =
      PinworthGetInterface(inPinworthIndex, inInterfaceIndex);
  if (!interface)
    return -1;
  return PinworthReadFromInterface(interface, inReportID, inSize, outData);
}

int32_t PinworthAWriteInterface0(const void *inData) {
  hid::DeviceInterface *interface =
      PinworthFirstInterfaceOfType(kPinworthAInterface0);
  if (!interface)
    return -1;
  return PinworthWriteToInterface(interface, 4, inData);
}

int32_t PinworthAReadInterface0(void *outData) {
  hid::DeviceInterface *interface =
      PinworthFirstInterfaceOfType(kPinworthAInterface0);
  if (!interface)
    return -1;
  return PinworthReadFromInterface(interface, 0, 4, outData);
}

int32_t PinworthAWriteInterface1(int inReportID, const void *inData) {
  hid::DeviceInterface *interface =
      PinworthFirstInterfaceOfType(kPinworthAInterface1);
  if (!interface)
    return -1;
  uint8_t report[8];
  report[0] = static_cast<uint8_t>(inReportID & 0xFF);
  std::memcpy(report + 1, inData, 7);
  return PinworthWriteToInterface(interface, sizeof report, report);
}

// Reads interface 0, the same interface as PinworthAReadInterface0.
int32_t PinworthAReadInterface(int inReportID, void *outData) {
  hid::DeviceInterface *interface =
      PinworthFirstInterfaceOfType(kPinworthAInterface0);
  if (!interface)
    return -1;
  return PinworthReadFromInterface(interface, inReportID, 7, outData);
}

void byteSwap(void *ioData, int inCount) {
  if (inCount < 1)
    return;
  auto *bytes = static_cast<uint8_t *>(ioData);
  std::reverse(bytes, bytes + inCount);
}
