// pinworth-gadget: this machine, through its USB device controller, becomes
// a PinworthA or PinworthB on the host it is plugged into, answering from
// the project's own device model. Commands on standard input drive the
// device as a user at the bench would (see the man page); end of input,
// "quit", Ctrl+C or SIGTERM pull it out.
#include "gadget/CommandLines.h"
#include "gadget/ConfigfsGadget.h"
#include "gadget/FunctionFsInterface.h"

#include "platform/PinworthDescriptors.h"
#include "platform/PinworthProtocol.h"
#include "platform/PinworthUSBIDs.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <memory>
#include <poll.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

int gSignalPipe[2] = {-1, -1};

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t written = ::write(gSignalPipe[1], &byte, 1);
}

constexpr const char *kUsage =
    "usage: pinworth-gadget --model A|B --serial SERIAL [--udc NAME]\n";

struct Options {
  hid::sim::Model model = hid::sim::Model::PinworthA;
  std::string serial;
  std::string udc;
};

bool Parse(int argc, char **argv, Options &options) {
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i], value = argv[i + 1];
    if (name == "--model" && (value == "A" || value == "B"))
      options.model = value == "A" ? hid::sim::Model::PinworthA
                                   : hid::sim::Model::PinworthB;
    else if (name == "--serial" && !value.empty() &&
             value.find('/') == std::string::npos)
      options.serial = value;
    else if (name == "--udc")
      options.udc = value;
    else
      return false;
  }
  return argc % 2 == 1 && !options.serial.empty();
}

// One line of the bench's commands; false for "quit".
bool Run(
    const std::string &line, gadget::GadgetModel &model,
    gadget::ConfigfsGadget &gadget, const Options &options,
    std::vector<std::unique_ptr<gadget::FunctionFsInterface>> &interfaces) {
  std::istringstream words(line);
  std::string command;
  words >> command;
  int first = 0, second = 0;
  std::optional<std::string> failure;
  if (command == "quit")
    return false;
  if ((command == "pull" || command == "release") && words >> first &&
      first >= 0 && first < 32)
    model.setPinPulledLow(first, command == "pull");
  else if (command == "key" && words >> std::hex >> first >> second)
    model.pressRemoteKey(uint8_t(first), uint8_t(second));
  else if (command == "send" && words >> first && (first == 0 || first == 1)) {
    std::vector<uint8_t> report;
    for (int byte; report.size() < 64 && words >> std::hex >> byte &&
                   byte >= 0 && byte <= 0xFF;)
      report.push_back(uint8_t(byte));
    if (report.empty() || !words.eof())
      failure = "send takes an interface and 1 to 64 bytes in hex";
    else
      model.sendInputReport(first, std::move(report));
  } else if (command == "drain") {
    if (!model.waitUntilSent(std::chrono::seconds(1)))
      failure = "the host took no report for 1 s";
  } else if (command == "unplug") {
    model.setPlugged(false);
    if (std::string error; !gadget.unbind(&error))
      failure = error;
  } else if (command == "plug") {
    model.setPlugged(true);
    if (std::string error; !gadget.bind(options.udc, &error))
      failure = error;
  } else if (command == "hold" || command == "take")
    for (const auto &interface : interfaces)
      interface->holdOutputReports(command == "hold");
  else if ((command == "stall" || command == "answer") && words >> first &&
           (first == 0 || first == 1))
    interfaces[size_t(first)]->stallControlRequests(command == "stall");
  else if (!command.empty())
    failure = "unknown command: " + line;
  std::cout << (failure ? "error: " + *failure : std::string("ok"))
            << std::endl;
  return true;
}

// Runs the commands read from standard input until it ends, a command says
// to stop, or a signal comes; 2 when a line was too long, else 0.
int ServeCommands(
    gadget::GadgetModel &model, gadget::ConfigfsGadget &gadget,
    const Options &options,
    std::vector<std::unique_ptr<gadget::FunctionFsInterface>> &interfaces) {
  if (::pipe2(gSignalPipe, O_CLOEXEC) == 0) {
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
  }
  pollfd watched[2] = {{STDIN_FILENO, POLLIN, 0}, {gSignalPipe[0], POLLIN, 0}};
  gadget::CommandLines lines;
  int status = 0;
  for (bool running = true; running;) {
    if (::poll(watched, 2, -1) < 0 && errno != EINTR)
      break;
    if (watched[1].revents)
      break;
    if (!watched[0].revents)
      continue;
    char buffer[512];
    const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (count <= 0)
      break;
    lines.add(buffer, size_t(count));
    while (running)
      if (const std::optional<std::string> line = lines.next())
        running = Run(*line, model, gadget, options, interfaces);
      else
        break;
    if (lines.tooLong()) {
      std::fprintf(stderr,
                   "pinworth-gadget: a line of standard input is longer than "
                   "%zu bytes, the most a command takes\n",
                   gadget::CommandLines::kMaxLineBytes);
      status = 2;
      running = false;
    }
  }
  return status;
}

} // namespace

int main(int argc, char **argv) {
  Options options;
  if (!Parse(argc, argv, options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  struct stat configfs;
  if (::stat("/sys/kernel/config/usb_gadget", &configfs) != 0) {
    std::fputs("pinworth-gadget: /sys/kernel/config/usb_gadget is missing: "
               "mount configfs and load libcomposite and usb_f_fs\n",
               stderr);
    return 1;
  }
  const bool isA = options.model == hid::sim::Model::PinworthA;
  gadget::ConfigfsGadget gadget(
      {uint16_t(pinworth::kUSBVendorID),
       uint16_t(isA ? pinworth::kUSBProductIDA : pinworth::kUSBProductIDB),
       "Pinworth", hid::sim::ModelName(options.model), options.serial},
      2);
  if (gadget.error()) {
    std::fprintf(stderr, "pinworth-gadget: %s\n", gadget.error()->c_str());
    return 1;
  }
  gadget::GadgetModel model(options.model);
  const std::string runFolder = "/run/pinworth-gadget-" + options.serial;
  ::mkdir(runFolder.c_str(), 0700);
  std::vector<std::unique_ptr<gadget::FunctionFsInterface>> interfaces;
  const gadget::FunctionFsInterface::Layout layouts[2] = {
      {0, pinworth::Interface0ReportDescriptor(), 8},
      {1, pinworth::Interface1ReportDescriptor(), 8}};
  for (int index = 0; index < 2; ++index) {
    interfaces.push_back(std::make_unique<gadget::FunctionFsInterface>(
        model, layouts[index], gadget.functionName(index),
        runFolder + "/if" + std::to_string(index)));
    if (const auto &error = interfaces.back()->error()) {
      std::fprintf(stderr, "pinworth-gadget: %s\n", error->c_str());
      model.stop(); // lets the interfaces' threads end
      return 1;
    }
  }
  if (std::string error; !gadget.bind(options.udc, &error)) {
    std::fprintf(stderr, "pinworth-gadget: %s\n", error.c_str());
    model.stop();
    return 1;
  }
  std::cout << "ready" << std::endl;

  const int status = ServeCommands(model, gadget, options, interfaces);
  gadget.unbind(nullptr);
  model.stop();
  interfaces.clear();
  ::rmdir(runFolder.c_str());
  return status;
}
