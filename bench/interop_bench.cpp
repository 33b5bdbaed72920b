// The exports to other tools' formats over a synthetic capture the bench
// writes: 10^7 rows by default (interface 0 read and written with pins that
// change, interface 1 read, 125 us apart), each exported to pcapng, VCD,
// hid-recorder text and CSV, with the time and the file's size; then a
// 10^6-row pcapng export (2 x 10^6 usbmon events) imported again, beside
// tshark's own time to read it (`tshark -r F -q`).
//   interop_bench [rows]
#include "capture/CaptureReader.h"
#include "capture/CaptureWriter.h"
#include "core/interfaces/CaptureSources.h"
#include "interop/CaptureExport.h"
#include "interop/CaptureImport.h"
#include "platform/PinworthDescriptors.h"

#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start)
      .count();
}

void Fail(const std::string &what) {
  std::fprintf(stderr, "interop_bench: %s\n", what.c_str());
  std::exit(1);
}

void WriteCapture(const std::string &path, uint64_t rows) {
  std::string reason;
  auto writer = capture::CaptureWriter::create(path, &reason);
  if (!writer)
    Fail(reason);
  const uint16_t pins = writer->addInterface(
      core::CaptureEntry({0, 1000, 0}, pinworth::Interface0ReportDescriptor()));
  const uint16_t display = writer->addInterface(
      core::CaptureEntry({1, 1000, 0}, pinworth::Interface1ReportDescriptor()));
  for (uint64_t i = 0; i < rows; ++i) {
    const uint8_t data[7] = {
        uint8_t(i >> 3), uint8_t(i >> 11), 0xff, 0x7f, 0, 0, 0};
    const int64_t time = int64_t(i * 125);
    switch (i % 4) {
    case 0:
    case 1:
      writer->appendReport(false, pins, time, std::nullopt, data, 4);
      break;
    case 2:
      writer->appendReport(true, pins, time, std::nullopt, data, 4);
      break;
    default:
      writer->appendReport(false, display, time, uint8_t(0x0C), data, 7);
    }
  }
  if (writer->close().failed)
    Fail("the capture was not written");
}

long long FileBytes(const std::string &path) {
  struct stat status = {};
  return ::stat(path.c_str(), &status) == 0 ? status.st_size : -1;
}

} // namespace

int main(int argc, char **argv) {
  const uint64_t rows =
      argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 10'000'000;
  QTemporaryDir folder;
  const std::string capturePath = folder.filePath("bench.pwcap").toStdString();
  WriteCapture(capturePath, rows);
  std::string reason;
  const auto reader = capture::CaptureReader::open(capturePath, &reason);
  if (!reader)
    Fail(reason);

  std::printf("%llu rows\n%-14s %10s %14s %10s\n",
              static_cast<unsigned long long>(rows), "format", "seconds",
              "bytes", "B/row");
  for (interop::Format format :
       {interop::Format::Pcapng, interop::Format::Vcd,
        interop::Format::HidRecorder, interop::Format::Csv}) {
    const QString path =
        folder.filePath("bench." + interop::FormatName(format));
    const auto start = std::chrono::steady_clock::now();
    const interop::ExportOutcome outcome =
        interop::ExportCapture(*reader, format, path);
    const double seconds = SecondsSince(start);
    if (!outcome.written)
      Fail(outcome.error.toStdString());
    const long long bytes = FileBytes(path.toStdString());
    std::printf("%-14s %10.2f %14lld %10.1f\n",
                interop::FormatName(format).toUtf8().constData(), seconds,
                bytes, double(bytes) / double(rows));
    QFile::remove(path);
  }

  // tshark reading an export of 10^6 rows, beside the export's own time.
  const uint64_t tsharkRows = std::min<uint64_t>(rows, 1'000'000);
  const std::string small = folder.filePath("small.pwcap").toStdString();
  WriteCapture(small, tsharkRows);
  const auto smallReader = capture::CaptureReader::open(small, &reason);
  const QString pcapng = folder.filePath("small.pcapng");
  auto start = std::chrono::steady_clock::now();
  if (!smallReader ||
      !interop::ExportCapture(*smallReader, interop::Format::Pcapng, pcapng)
           .written)
    Fail("the small export failed");
  const double exported = SecondsSince(start);
  start = std::chrono::steady_clock::now();
  const std::string command =
      "tshark -r '" + pcapng.toStdString() + "' -q 2>/dev/null";
  if (std::system(command.c_str()) != 0)
    Fail("tshark could not read the export (is it installed?)");
  const double tshark = SecondsSince(start);
  start = std::chrono::steady_clock::now();
  const interop::ImportOutcome imported = interop::ImportCapture(
      pcapng, interop::Format::Pcapng, folder.filePath("back.pwcap"));
  if (!imported.written)
    Fail(imported.error.toStdString());
  std::printf("%llu rows to pcapng: %.2f s; imported again: %.2f s; "
              "tshark -r -q of it: %.2f s\n",
              static_cast<unsigned long long>(tsharkRows), exported,
              SecondsSince(start), tshark);
  return 0;
}
