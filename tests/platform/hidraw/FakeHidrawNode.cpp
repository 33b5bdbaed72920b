#include "tests/platform/hidraw/FakeHidrawNode.h"

#include "descriptor/ReportDescriptor.h"

#include <QtGlobal>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr unsigned kGetInputNumber = _IOC_NR(HIDIOCGINPUT(0));

// The kernel keeps the reports of each open file in a ring of
// HIDRAW_BUFFER_SIZE (64) slots, one of which always stays free: 63 reports.
// hidraw_report_event() skips a file whose ring is full, so the new report is
// dropped for that file and the oldest ones stay.
constexpr size_t kQueueCapacity = 64 - 1;

// hidraw_send_report() and hidraw_get_report() refuse a buffer shorter than
// 2 bytes (the report number and at least one byte) or longer than
// HID_MAX_BUFFER_SIZE with EINVAL, before the device sees anything.
bool KernelRefusesLength(size_t length) {
  return length < 2 || length > 16384;
}

// The terminal behind an emulated node, opened once more for ourselves.
int OpenTerminalReader(UMockdevTestbed *testbed, const std::string &devnode) {
  gchar *root = umockdev_testbed_get_root_dir(testbed);
  std::string link = std::string(root) + devnode;
  g_free(root);
  char target[PATH_MAX];
  ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
  if (length <= 0)
    throw std::runtime_error("no terminal behind " + devnode);
  target[length] = '\0';
  int fd = open(target, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0)
    throw std::runtime_error(std::string("cannot open ") + target);
  termios raw;
  tcgetattr(fd, &raw);
  cfmakeraw(&raw);
  tcsetattr(fd, TCSANOW, &raw);
  return fd;
}

} // namespace

FakeHidrawNode::FakeHidrawNode(UMockdevTestbed *testbed,
                               const std::string &devnode,
                               Bytes reportDescriptor)
    : devnode_(devnode), descriptor_(std::move(reportDescriptor)),
      handler_(umockdev_ioctl_base_new()),
      terminalMaster_(umockdev_testbed_get_dev_fd(testbed, devnode.c_str())),
      terminalReader_(OpenTerminalReader(testbed, devnode)) {
  using Handler = gboolean (*)(UMockdevIoctlBase *, UMockdevIoctlClient *,
                               FakeHidrawNode *);
  const std::pair<const char *, Handler> handlers[] = {
      {"handle-ioctl",
       [](UMockdevIoctlBase *, UMockdevIoctlClient *client,
          FakeHidrawNode *self) { return self->handleIoctl(client); }},
      {"handle-read",
       [](UMockdevIoctlBase *, UMockdevIoctlClient *client,
          FakeHidrawNode *self) { return self->handleRead(client); }},
      {"handle-write",
       [](UMockdevIoctlBase *, UMockdevIoctlClient *client,
          FakeHidrawNode *self) { return self->handleWrite(client); }},
      {"client-connected",
       [](UMockdevIoctlBase *, UMockdevIoctlClient *client,
          FakeHidrawNode *self) -> gboolean {
         self->handleOpen(client);
         return TRUE;
       }}};
  for (const auto &[signal, handler] : handlers)
    g_signal_connect(handler_, signal, G_CALLBACK(handler), this);
  GError *error = nullptr;
  if (!umockdev_testbed_attach_ioctl(testbed, devnode.c_str(), handler_,
                                     &error)) {
    std::string message = error->message;
    g_error_free(error);
    throw std::runtime_error("cannot emulate " + devnode + ": " + message);
  }
}

FakeHidrawNode::~FakeHidrawNode() {
  g_signal_handlers_disconnect_by_data(handler_, this);
  for (UMockdevIoctlClient *client : opened_)
    g_object_unref(client);
  g_object_unref(handler_);
  close(terminalReader_);
}

std::vector<Bytes> FakeHidrawNode::written() const {
  std::lock_guard lock(mutex_);
  return written_;
}

std::vector<Bytes> FakeHidrawNode::inputRequests() const {
  std::lock_guard lock(mutex_);
  return inputRequests_;
}

void FakeHidrawNode::setInputReport(uint8_t number, Bytes report) {
  std::lock_guard lock(mutex_);
  inputReports_[number] = std::move(report);
}

// As usbhid in 6.1: a report of an ID not declared as input, or shorter
// than declared, is dropped before hidraw sees it; a longer one passes.
bool FakeHidrawNode::kernelTakes(const Bytes &report) const {
  const hid::descriptor::Decoded decoded =
      hid::descriptor::Decode(descriptor_.data(), descriptor_.size());
  const uint8_t id = decoded.usesReportIDs && !report.empty() ? report[0] : 0;
  for (const hid::descriptor::Report &declared : decoded.reports)
    if (declared.kind == hid::descriptor::Report::Kind::Input &&
        declared.reportID == id)
      return report.size() >= declared.reportBytes;
  return false;
}

void FakeHidrawNode::sendInterruptReport(Bytes report) {
  std::lock_guard lock(mutex_);
  if (disconnected_ || !kernelTakes(report))
    return;
  forgetClosedClients();
  bool dropped = false;
  for (auto &[client, state] : clients_) {
    if (state.queue.size() < kQueueCapacity)
      state.queue.push_back(report);
    else if (countsForReadiness(state))
      dropped = true;
  }
  dropped_ += dropped ? 1 : 0;
  settleDoorbells();
}

bool FakeHidrawNode::readersCaughtUp() {
  std::lock_guard lock(mutex_);
  forgetClosedClients();
  return std::all_of(clients_.begin(), clients_.end(),
                     [this](const auto &entry) {
                       const Client &client = entry.second;
                       return !countsForReadiness(client) ||
                              (client.queue.empty() &&
                               (!client.hasRead || client.lastReadFoundEmpty));
                     });
}

int FakeHidrawNode::droppedReports() const {
  std::lock_guard lock(mutex_);
  return dropped_;
}

int FakeHidrawNode::readCalls() const {
  std::lock_guard lock(mutex_);
  return readCalls_;
}

void FakeHidrawNode::setStalled(bool stalled) {
  std::lock_guard lock(mutex_);
  stalled_ = stalled;
}

int FakeHidrawNode::heldRequests() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(held_.size());
}

void FakeHidrawNode::answerHeldRequests() {
  std::lock_guard lock(mutex_);
  for (HeldRequest &request : held_) {
    if (request.data) {
      answerInput(request.client, request.data);
      g_object_unref(request.data);
    } else {
      written_.push_back(request.written);
      umockdev_ioctl_client_complete(
          request.client, static_cast<glong>(request.written.size()), 0);
    }
    g_object_unref(request.client);
  }
  held_.clear();
}

void FakeHidrawNode::failRequestsWith(int error) {
  std::lock_guard lock(mutex_);
  failure_ = error;
}

void FakeHidrawNode::disconnect() {
  std::lock_guard lock(mutex_);
  disconnected_ = true;
  failure_ = ENODEV;
  settleDoorbells();
}

int FakeHidrawNode::openCalls() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(opened_.size());
}

int FakeHidrawNode::openClients() {
  std::lock_guard lock(mutex_);
  forgetClosedClients();
  return static_cast<int>(clients_.size());
}

void FakeHidrawNode::handleOpen(UMockdevIoctlClient *client) {
  std::lock_guard lock(mutex_);
  opened_.push_back(static_cast<UMockdevIoctlClient *>(g_object_ref(client)));
  clients_[client];
}

// As the kernel's release does, drops the unread reports of the clients
// that have closed. umockdev tells of a close only through the client's
// connected state, so this runs before anything that depends on the queues.
void FakeHidrawNode::forgetClosedClients() {
  size_t open = clients_.size();
  std::erase_if(clients_, [](const auto &entry) {
    return !umockdev_ioctl_client_get_connected(entry.first);
  });
  if (clients_.size() != open)
    settleDoorbells();
}

gboolean FakeHidrawNode::handleIoctl(UMockdevIoctlClient *client) {
  unsigned long request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
  std::lock_guard lock(mutex_);
  if (disconnected_) {
    umockdev_ioctl_client_complete(client, -1, ENODEV);
    return TRUE;
  }
  if (request == HIDIOCGRDESCSIZE) {
    UMockdevIoctlData *data =
        umockdev_ioctl_data_resolve(arg, 0, sizeof(int), nullptr);
    int size = static_cast<int>(descriptor_.size());
    std::memcpy(data->data, &size, sizeof size);
    umockdev_ioctl_client_complete(client, 0, 0);
    g_object_unref(data);
    return TRUE;
  }
  if (request == HIDIOCGRDESC) {
    UMockdevIoctlData *data = umockdev_ioctl_data_resolve(
        arg, 0, sizeof(hidraw_report_descriptor), nullptr);
    hidraw_report_descriptor descriptor;
    std::memcpy(&descriptor, data->data, sizeof descriptor);
    uint32_t size = std::min<uint32_t>(
        descriptor.size, static_cast<uint32_t>(descriptor_.size()));
    std::memcpy(descriptor.value, descriptor_.data(), size);
    std::memcpy(data->data, &descriptor, sizeof descriptor);
    umockdev_ioctl_client_complete(client, 0, 0);
    g_object_unref(data);
    return TRUE;
  }
  if (_IOC_TYPE(request) != 'H' || _IOC_NR(request) != kGetInputNumber)
    return FALSE;
  int error = KernelRefusesLength(_IOC_SIZE(request)) ? EINVAL : failure_;
  if (error) {
    umockdev_ioctl_client_complete(client, -1, error);
    return TRUE;
  }
  UMockdevIoctlData *data =
      umockdev_ioctl_data_resolve(arg, 0, _IOC_SIZE(request), nullptr);
  inputRequests_.emplace_back(data->data, data->data + data->data_len);
  if (stalled_) {
    held_.push_back(
        {static_cast<UMockdevIoctlClient *>(g_object_ref(client)), data, {}});
    return TRUE;
  }
  answerInput(client, data);
  g_object_unref(data);
  return TRUE;
}

// As the kernel's read: the client's oldest report, cut to the buffer; EIO
// only once the queue is empty and the device gone.
gboolean FakeHidrawNode::handleRead(UMockdevIoctlClient *client) {
  UMockdevIoctlData *buffer = umockdev_ioctl_client_get_arg(client);
  std::lock_guard lock(mutex_);
  readCalls_++;
  forgetClosedClients();
  auto reader = clients_.find(client);
  if (reader != clients_.end()) {
    reader->second.hasRead = true;
    reader->second.lastReadFoundEmpty = reader->second.queue.empty();
  }
  if (reader == clients_.end() || reader->second.queue.empty()) {
    umockdev_ioctl_client_complete(client, -1, disconnected_ ? EIO : EAGAIN);
    return TRUE;
  }
  Bytes report = std::move(reader->second.queue.front());
  reader->second.queue.pop_front();
  settleDoorbells();
  size_t size = std::min(report.size(), static_cast<size_t>(buffer->data_len));
  std::copy_n(report.begin(), size, buffer->data);
  umockdev_ioctl_client_complete(client, static_cast<glong>(size), 0);
  return TRUE;
}

gboolean FakeHidrawNode::handleWrite(UMockdevIoctlClient *client) {
  UMockdevIoctlData *buffer = umockdev_ioctl_client_get_arg(client);
  Bytes bytes(buffer->data, buffer->data + buffer->data_len);
  std::lock_guard lock(mutex_);
  // A gone device answers ENODEV before the length is looked at.
  int error = disconnected_                       ? failure_
              : KernelRefusesLength(bytes.size()) ? EINVAL
                                                  : failure_;
  if (error) {
    umockdev_ioctl_client_complete(client, -1, error);
    return TRUE;
  }
  if (stalled_) {
    held_.push_back({static_cast<UMockdevIoctlClient *>(g_object_ref(client)),
                     nullptr, std::move(bytes)});
    return TRUE;
  }
  written_.push_back(bytes);
  umockdev_ioctl_client_complete(client, static_cast<glong>(bytes.size()), 0);
  return TRUE;
}

// Answers a HIDIOCGINPUT, cut to the buffer. As usbhid does for report
// number 0, the number stays in front of the device's answer.
void FakeHidrawNode::answerInput(UMockdevIoctlClient *client,
                                 UMockdevIoctlData *data) {
  uint8_t number = data->data[0];
  auto found = inputReports_.find(number);
  if (found == inputReports_.end()) {
    umockdev_ioctl_client_complete(client, -1, EPIPE);
    return;
  }
  size_t skipped = number == 0 ? 1 : 0;
  size_t size = std::min(found->second.size(), data->data_len - skipped);
  std::copy_n(found->second.begin(), size, data->data + skipped);
  umockdev_ioctl_client_complete(client, static_cast<glong>(skipped + size), 0);
}

// Once a client has read, only the queues of clients that have read count:
// a file the library only sends requests through would otherwise keep the
// node readable for its reader.
bool FakeHidrawNode::countsForReadiness(const Client &client) const {
  return client.hasRead ||
         std::none_of(clients_.begin(), clients_.end(),
                      [](const auto &entry) { return entry.second.hasRead; });
}

// Puts bytes into the terminal, or takes them out, until it holds one per
// report of the longest queue that counts, and one more once the device is
// gone.
void FakeHidrawNode::settleDoorbells() {
  size_t longest = 0;
  for (const auto &[client, state] : clients_)
    if (countsForReadiness(state))
      longest = std::max(longest, state.queue.size());
  const int wanted = static_cast<int>(longest) + (disconnected_ ? 1 : 0);
  for (; doorbells_ < wanted; doorbells_++)
    if (write(terminalMaster_, "x", 1) != 1)
      qFatal("cannot make %s readable", devnode_.c_str());
  // A byte just written may take a moment to pass the terminal.
  pollfd terminal{terminalReader_, POLLIN, 0};
  char doorbell;
  for (; doorbells_ > wanted; doorbells_--)
    if (poll(&terminal, 1, 5000) != 1 ||
        read(terminalReader_, &doorbell, 1) != 1)
      qFatal("%s held fewer doorbells than its queues", devnode_.c_str());
}
