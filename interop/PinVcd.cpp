#include "interop/PinVcd.h"

#include "capture/CaptureReader.h"
#include "core/interfaces/CaptureSources.h"
#include "core/reports/ReportDecoder.h"
#include "interop/ExportFile.h"

#include <QDateTime>

namespace interop {

namespace {

constexpr int kPins = core::kPinsPerPort * core::kPinPorts;

// A wire's identifier: printable characters from '!', base 94.
std::string WireCode(int wire) {
  std::string code;
  do {
    code += char('!' + wire % 94);
    wire /= 94;
  } while (wire > 0);
  return code;
}

uint32_t PinValues(const capture::Record &record) {
  uint32_t values = 0;
  for (int pin = 0; pin < kPins; ++pin)
    if (core::PinHigh(record.data.data(), record.size, pin))
      values |= 1u << pin;
  return values;
}

} // namespace

PinVcd::PinVcd(const capture::CaptureReader &reader, ExportFile &file)
    : reader_(reader), file_(file) {}

void PinVcd::begin() {
  const QDateTime start = QDateTime::fromMSecsSinceEpoch(
      reader_.header().startUnixUS / 1000, Qt::UTC);
  std::string header =
      "$date " + start.toString(Qt::ISODateWithMs).toStdString() +
      " $end\n$version Pinworth Explorer $end\n"
      "$comment interface 0 pins: latchN as written, levelN as read $end\n"
      "$timescale 100 us $end\n";
  std::string values;
  int wire = 0;
  const std::vector<capture::CaptureInterface> &table = reader_.interfaces();
  for (uint16_t source = 0; source < table.size(); ++source) {
    const core::InterfaceIdentity identity =
        *core::IdentityOfSource(table, source);
    if (identity.interfaceNumber() != 0 || identity.interfaceType > 3) {
      pinsOfSource_.push_back(-1);
      continue;
    }
    pinsOfSource_.push_back(int(pins_.size()));
    const std::string device =
        identity.key().replace(':', '_').replace('#', '_').toStdString();
    header += "$scope module " + device + " $end\n";
    Pins pins;
    for (auto [wires, name] :
         {std::pair{&pins.latch, "latch"}, std::pair{&pins.level, "level"}}) {
      wires->firstWire = wire;
      for (int pin = 0; pin < kPins; ++pin, ++wire) {
        header += "$var wire 1 " + WireCode(wire) + ' ' + device + '_' + name +
                  std::to_string(pin) + " $end\n";
        values += 'x' + WireCode(wire) + '\n';
      }
    }
    pins_.push_back(pins);
    header += "$upscope $end\n";
  }
  // An explicit #0 before the first values: sigrok starts at the first
  // time it reads.
  file_.append(header + "$enddefinitions $end\n#0\n$dumpvars\n" + values +
               "$end\n");
}

bool PinVcd::add(uint64_t, const capture::Record &record) {
  const bool written = record.kind == capture::RecordKind::Written;
  if ((!written && record.kind != capture::RecordKind::Read) ||
      record.source >= pinsOfSource_.size() || pinsOfSource_[record.source] < 0)
    return false;
  Pins &pins = pins_[size_t(pinsOfSource_[record.source])];
  change(written ? pins.latch : pins.level, PinValues(record), record.timeUS);
  return true;
}

// The last values last a tick past the last record: sigrok takes no sample
// at the last time.
void PinVcd::end() {
  moveTo(TimeSum(lastTimeUS_, kVcdTickUS));
}

void PinVcd::change(Wires &wires, uint32_t values, int64_t timeUS) {
  lastTimeUS_ = std::max(lastTimeUS_, timeUS);
  const uint32_t changed = wires.known ? wires.values ^ values : ~0u;
  if (changed == 0)
    return;
  moveTo(timeUS);
  std::string lines;
  for (int pin = 0; pin < kPins; ++pin)
    if (changed & (1u << pin))
      lines += ((values >> pin) & 1 ? '1' : '0') +
               WireCode(wires.firstWire + pin) + '\n';
  file_.append(lines);
  wires.values = values;
  wires.known = true;
}

// Times never go back: a record logged out of order keeps the current tick.
void PinVcd::moveTo(int64_t timeUS) {
  if (timeUS <= 0)
    return;
  const int64_t tick = timeUS / kVcdTickUS;
  if (tick <= tick_)
    return;
  tick_ = tick;
  file_.append('#' + std::to_string(tick) + '\n');
}

} // namespace interop
