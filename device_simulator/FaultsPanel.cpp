#include "device_simulator/FaultsPanel.h"

#include "device_simulator/StateColours.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>

namespace simulator {

namespace {

const QColor kActiveFault(0xc0, 0x00, 0x00);

const char *const kFaultNames[] = {"stall", "fail next write", "fail next read",
                                   "refuse to open"};

bool IsOn(const hid::sim::InterfaceFaults &faults, FaultsPanel::Fault fault) {
  switch (fault) {
  case FaultsPanel::Stall:
    return faults.stalled;
  case FaultsPanel::FailNextWrite:
    return faults.nextWriteStatus != hid::kSuccess;
  case FaultsPanel::FailNextRead:
    return faults.nextReadStatus != hid::kSuccess;
  case FaultsPanel::RefuseOpen:
    return faults.openStatus != hid::kSuccess;
  case FaultsPanel::kFaultCount:
    break;
  }
  return false;
}

void SetOn(hid::sim::InterfaceFaults &faults, FaultsPanel::Fault fault,
           bool on) {
  switch (fault) {
  case FaultsPanel::Stall:
    faults.stalled = on;
    break;
  case FaultsPanel::FailNextWrite:
    faults.nextWriteStatus = on ? hid::kErrorIO : hid::kSuccess;
    break;
  case FaultsPanel::FailNextRead:
    faults.nextReadStatus = on ? hid::kErrorIO : hid::kSuccess;
    break;
  case FaultsPanel::RefuseOpen:
    faults.openStatus = on ? hid::kErrorNotPermitted : hid::kSuccess;
    break;
  case FaultsPanel::kFaultCount:
    break;
  }
}

} // namespace

FaultsPanel::FaultsPanel(hid::sim::SimBackend &backend, QWidget *parent)
    : QGroupBox(tr("Faults"), parent), backend_(backend) {
  auto *grid = new QGridLayout(this);
  grid->setVerticalSpacing(0);
  for (int interfaceNumber = 0; interfaceNumber < 2; ++interfaceNumber) {
    grid->addWidget(new QLabel(tr("Interface %1").arg(interfaceNumber)),
                    interfaceNumber, 0);
    for (int fault = 0; fault < kFaultCount; ++fault) {
      auto *box = new QCheckBox(tr(kFaultNames[fault]));
      box->setObjectName(
          QStringLiteral("fault%1_%2")
              .arg(interfaceNumber)
              .arg(QString::fromLatin1(kFaultNames[fault]).replace(' ', '_')));
      connect(box, &QCheckBox::clicked, this,
              [this, interfaceNumber, fault](bool on) {
                set(interfaceNumber, Fault(fault), on);
              });
      grid->addWidget(box, interfaceNumber, fault + 1);
      boxes_[interfaceNumber][fault] = box;
    }
  }
  showDevice(std::nullopt);
}

void FaultsPanel::set(int interfaceNumber, Fault fault, bool on) {
  if (!device_)
    return;
  hid::sim::InterfaceFaults faults = backend_.faults(*device_, interfaceNumber);
  SetOn(faults, fault, on);
  backend_.setFaults(*device_, interfaceNumber, faults);
}

void FaultsPanel::showDevice(std::optional<hid::sim::DeviceID> device) {
  device_ = device;
  for (int interfaceNumber = 0; interfaceNumber < 2; ++interfaceNumber)
    for (int fault = 0; fault < kFaultCount; ++fault) {
      QCheckBox *box = boxes_[interfaceNumber][fault];
      const bool on = device && IsOn(backend_.faults(*device, interfaceNumber),
                                     Fault(fault));
      box->setEnabled(bool(device));
      box->setChecked(on);
      MarkState(box, on ? std::optional(kActiveFault) : std::nullopt);
    }
}

} // namespace simulator
