#include "cli/Usage.h"

namespace cli {

const char kUsageText[] =
    R"(Usage: pinworth [--sim] [--json] <command> [arguments]

Writes, reads and listens to the Pinworth USB HID I/O controllers from the
shell. Each report is printed as one line, as the explorer's log copies it:
seconds since the first report (in a session, since its start), source,
R (read) or W (written), report ID, data bytes, meaning.

Commands:
  list                      every interface attached: position, name, model,
                            serial number, interface number, device node
  write <interface> <bytes> send one report; an interface 0 takes 4 bytes, an
                            interface 1 a report ID and 7 bytes; missing bytes
                            are sent as 00. Bytes as "05 01 80", "0x05,0x01",
                            "050180" or "[5, 1, 128]", and quoted texts as
                            ASCII, with \\ \" \' \n \r \t \xHH; from a shell,
                            quote them again: "05 85 'Hello'"
  read <interface>          poll an interface 0 as the explorer does
      --count N             stop after N reports
      --interval MS         poll every MS milliseconds (default 50)
      --changes             print a report only when it differs from the last
      --timeout S           stop after S seconds
  listen <interface>        print the interrupt reports as they arrive, until
                            the device is unplugged or:
      --count N             stop after N reports
      --timeout S           stop after S seconds
  info <interface>          properties and the decoded report descriptor
  record <interface>... -o FILE
                            write every interface named into the capture
                            FILE, interfaces 1 by interrupt, interfaces 0
                            polled 20 times a second, until Ctrl+C or:
      --count N             stop after N reports in all
      --timeout S           stop after S seconds
      --force               write over FILE when it exists (refused without)
  dump FILE                 print a capture as log lines; events are lines
                            marked * in the R/W column
  convert IN OUT            a capture to another tool's format, or back:
                            pcapng (Wireshark), vcd (the pins), hid-recorder
                            text, csv; pcap and pcapng of usbmon are read;
                            OUT's format from its extension or:
      --format F            pwcap, pcapng, vcd, hid-recorder or csv
      --device BUS:ADDR     the Pinworth of a usbmon capture without its
                            device descriptor (a PinworthA)
  replay FILE --to <interface>
                            write the reports the capture FILE wrote to
                            interfaces of that number, in order, at their
                            recorded gaps; stop at the first that fails
      --speed X             the gaps divided by X, 0.1 to 10
      --interval MS         every MS milliseconds instead; 0: as fast as
                            the device takes them
  replay FILE               with --sim and no --to: play the reports the
                            capture FILE read into the simulated device of
                            its model, which then sends and reads them as
                            recorded, and print them (takes --speed)
  lcd <device> <text>       show up to 16 characters on the display and read
                            them back (mode on, initialise, write, read)
  lcd <device> --read       read the display's first line
  macro list                the explorer's stored macros: index, R/W, report
                            ID, bytes, name
  macro run <name>          write the macro of that name, to the interface
      --to <interface>      named, or else to the only interface of its kind
                            attached (an interface 1 for a report ID)
  session                   run the commands of standard input, one a line,
                            on the same devices; stop at the first that fails.
                            A line splits as in a shell: blanks, 'single' and
                            "double" quotes, \ before a character, # comments;
                            at most 4096 bytes. Seconds count from its start
      sleep MS              in a session: wait MS milliseconds

An interface is named by its position in list (0, 1, ...) or by model, serial
number and interface number: A:1000:0, B:2000:1. A device is named by either
of its interfaces, or as A:1000.

Options:
  --sim          use two simulated devices, a PinworthA "1000" and a
                 PinworthB "2000", fresh at every run, instead of real ones
  --json         print reports and the list as JSON, one object a line
  -h, --help     print this text
  -v, --version  print the version

Ctrl+C stops read, listen, record and replay between two reports.

Exit status:
  0    success
  2    bad arguments: nothing was sent (or dump's file is not a capture)
  3    no such interface or device attached
  4    a transfer failed, the device was unplugged or a capture could not
       be written; standard error says why
  5    timed out: fewer reports than --count, or no answer from the display
  130  stopped by Ctrl+C

Examples:
  pinworth list
  pinworth write A:1000:1 04 01
  pinworth write A:1000:1 "05 85 'Hello'"
  pinworth lcd A:1000 "Hello"
  pinworth read 0 --changes --count 5
  pinworth listen B:2000:1 --json --timeout 10
  pinworth record A:1000:0 A:1000:1 -o pins.pwcap --timeout 60
  pinworth dump pins.pwcap --json
  pinworth convert pins.pwcap pins.pcapng
  pinworth replay pins.pwcap --to A:1000:0 --speed 2
  pinworth macro run Enable LCD Mode --to A:1000:1
  printf 'lcd A:1000 Hi\nsleep 500\nlcd 1 --read\n' | pinworth --sim session
)";

} // namespace cli
