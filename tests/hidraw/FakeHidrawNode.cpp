#include "FakeHidrawNode.h"

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
         std::lock_guard lock(self->mutex_);
         self->clients_.push_back(
             static_cast<UMockdevIoctlClient *>(g_object_ref(client)));
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
  for (UMockdevIoctlClient *client : clients_)
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

void FakeHidrawNode::setInputReport(Bytes report) {
  std::lock_guard lock(mutex_);
  inputReport_ = std::move(report);
}

void FakeHidrawNode::sendInterruptReport(Bytes report) {
  std::lock_guard lock(mutex_);
  interruptReports_.push_back(std::move(report));
  ringDoorbell();
}

int FakeHidrawNode::reportsQueued() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(interruptReports_.size());
}

bool FakeHidrawNode::readable() const {
  pollfd terminal{terminalReader_, POLLIN, 0};
  return poll(&terminal, 1, 0) == 1;
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
  ringDoorbell();
}

int FakeHidrawNode::openCalls() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(clients_.size());
}

int FakeHidrawNode::openClients() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(std::count_if(
      clients_.begin(), clients_.end(), [](UMockdevIoctlClient *client) {
        return umockdev_ioctl_client_get_connected(client);
      }));
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
  if (failure_) {
    umockdev_ioctl_client_complete(client, -1, failure_);
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

gboolean FakeHidrawNode::handleRead(UMockdevIoctlClient *client) {
  UMockdevIoctlData *buffer = umockdev_ioctl_client_get_arg(client);
  std::lock_guard lock(mutex_);
  readCalls_++;
  if (disconnected_) {
    umockdev_ioctl_client_complete(client, -1, EIO);
    return TRUE;
  }
  if (interruptReports_.empty()) {
    umockdev_ioctl_client_complete(client, -1, EAGAIN);
    return TRUE;
  }
  Bytes report = std::move(interruptReports_.front());
  interruptReports_.pop_front();
  char doorbell;
  if (read(terminalReader_, &doorbell, 1) != 1)
    qFatal("%s was not readable for a queued report", devnode_.c_str());
  size_t size = std::min(report.size(), static_cast<size_t>(buffer->data_len));
  std::memcpy(buffer->data, report.data(), size);
  umockdev_ioctl_client_complete(client, static_cast<glong>(size), 0);
  return TRUE;
}

gboolean FakeHidrawNode::handleWrite(UMockdevIoctlClient *client) {
  UMockdevIoctlData *buffer = umockdev_ioctl_client_get_arg(client);
  Bytes bytes(buffer->data, buffer->data + buffer->data_len);
  std::lock_guard lock(mutex_);
  if (failure_) {
    umockdev_ioctl_client_complete(client, -1, failure_);
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

// Answers a HIDIOCGINPUT: the input report, cut to the buffer.
void FakeHidrawNode::answerInput(UMockdevIoctlClient *client,
                                 UMockdevIoctlData *data) {
  size_t size =
      std::min(inputReport_.size(), static_cast<size_t>(data->data_len));
  if (size > 0)
    std::memcpy(data->data, inputReport_.data(), size);
  umockdev_ioctl_client_complete(client, static_cast<glong>(size), 0);
}

void FakeHidrawNode::ringDoorbell() {
  if (write(terminalMaster_, "x", 1) != 1)
    throw std::runtime_error("cannot make " + devnode_ + " readable");
}
