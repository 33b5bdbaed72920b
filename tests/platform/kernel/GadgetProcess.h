// A pinworth-gadget run by a test on the real kernel: the program named by
// $PINWORTH_GADGET, as root in the test VM, driven through its commands.
#ifndef PINWORTH_TEST_GADGET_PROCESS_H
#define PINWORTH_TEST_GADGET_PROCESS_H

#include <mutex>
#include <string>
#include <sys/types.h>

class GadgetProcess {
public:
  // Starts the gadget and waits for it to be bound; ready() says whether
  // it was, output() what it printed then.
  GadgetProcess(const std::string &model, const std::string &serial);
  // Quits the gadget (its device is pulled out) and waits for it to end.
  ~GadgetProcess();
  GadgetProcess(const GadgetProcess &) = delete;
  GadgetProcess &operator=(const GadgetProcess &) = delete;

  bool ready() const { return ready_; }
  const std::string &output() const { return output_; }
  // Sends one command line and returns the gadget's answer ("ok" or
  // "error: ..."), waiting 10 s at most. Any thread, one at a time.
  std::string command(const std::string &line);

private:
  std::string readLine();

  pid_t pid_ = -1;
  int socket_ = -1; // its standard input, output and error
  std::string unread_;
  bool ready_ = false;
  std::string output_;
  std::mutex mutex_;
};

#endif
