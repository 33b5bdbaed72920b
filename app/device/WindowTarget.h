// The window's target as the device area sees it: the interface the
// window's interface menu selects, whether sending to it must wait for its
// device to come back, the window's writer that sends to it, and a signal
// whenever any of it may have changed. The window's assembly implements it
// over the window's controller; tests implement it over what they check.
//
// Main thread only.
#ifndef PINWORTH_EXPLORER_WINDOW_TARGET_H
#define PINWORTH_EXPLORER_WINDOW_TARGET_H

#include "core/interfaces/InterfaceIdentity.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace explorer {

class WindowTarget : public QObject {
  Q_OBJECT
public:
  // The selected interface, if one is.
  virtual std::optional<core::InterfaceIdentity> selected() const = 0;
  // Its position in the library's list.
  virtual int selectedPosition() const = 0;
  // The target while its device is unplugged, if it is.
  virtual std::optional<core::InterfaceIdentity> missing() const = 0;
  // Whether nothing may be sent: the target's device is unplugged.
  virtual bool blocked() const = 0;
  // Whether the window's own reading listens to source, and so logs its
  // reports.
  virtual bool isListening(const core::InterfaceIdentity &source) const = 0;

  // Whether a report went out: called once, before send() returns when a
  // check failed, else from a later turn of the event loop.
  using Done = std::function<void(bool sent)>;
  // Sends data, led by reportID when there is one, to the selected
  // interface as the window's Write does (its checks, refusal and alert),
  // without waiting for the device; a report that went out is logged.
  virtual void send(std::optional<uint8_t> reportID,
                    const std::vector<uint8_t> &data, Done done) = 0;

signals:
  // The selection, its state or the window's reading may have changed.
  void changed();
};

} // namespace explorer

#endif
