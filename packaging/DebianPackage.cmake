# The Debian package, made by cpack from what cmake --install puts under
# /usr. Its dependencies come from dpkg-shlibdeps; its postinst applies the
# udev rule to the devices already plugged in.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pinworth-explorer)
set(CPACK_PACKAGE_VENDOR "The Pinworth Explorer authors")
# Lines of the description stay within 80 columns; CPack only indents them.
set(CPACK_PACKAGE_DESCRIPTION [=[
Pinworth Explorer writes, reads and logs the reports of the Pinworth USB HID
I/O controllers, models PinworthA and PinworthB, through the kernel's hidraw
interface: reports typed in hex, polling, interrupt reports, a report log and
named macros. Its udev rule gives the user at the seat access to the devices.

pinworth-explorer-sim runs the explorer on two simulated devices. pinworth
does the same from the shell, without a display: it lists, writes, polls and
listens, and prints each report as a line of text or JSON.
]=])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER
  "The Pinworth Explorer authors <pinworth-explorer@users.noreply.github.com>")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_SOURCE_DIR}/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
