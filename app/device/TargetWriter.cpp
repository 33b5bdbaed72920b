#include "app/device/TargetWriter.h"

#include <QPointer>

namespace explorer {

TargetWriter::TargetWriter(WindowTarget &target) : target_(target) {}

void TargetWriter::write(std::optional<uint8_t> reportID,
                         const std::vector<uint8_t> &data,
                         const QObject *context, Done done) const {
  const auto answer = [guard = QPointer(context), hasContext = bool(context),
                       done = std::move(done)](bool sent) {
    if (done && (guard || !hasContext))
      done(sent);
  };
  if (target_.blocked())
    return answer(false);
  target_.send(reportID, data, answer);
}

void TargetWriter::write(std::vector<core::Interface1Report> reports,
                         const QObject &context, Done done) const {
  if (reports.empty()) {
    if (done)
      done(true);
    return;
  }
  const core::Interface1Report first = reports.front();
  reports.erase(reports.begin());
  write(first[0], std::vector<uint8_t>(first.begin() + 1, first.end()),
        &context,
        [this, rest = std::move(reports), &context, done](bool sent) mutable {
          if (!sent) {
            if (done)
              done(false);
            return;
          }
          write(std::move(rest), context, std::move(done));
        });
}

} // namespace explorer
