# Serial ports: listed with libudev (tty devices with a USB parent), driven with termios.
pkg_check_modules(ORVANE_LIBUDEV REQUIRED IMPORTED_TARGET libudev)
orvane_library(orvane_platform_serial
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/serial_udev.cpp ${CMAKE_CURRENT_LIST_DIR}/serial_termios.cpp
  DEPS orvane_base orvane_platform_base
  PRIVATE_DEPS PkgConfig::ORVANE_LIBUDEV)
