# Sound devices and endpoints on PulseAudio (libpulse, also served by PipeWire's pulse server).
pkg_check_modules(ORVANE_LIBPULSE REQUIRED IMPORTED_TARGET libpulse)
orvane_library(orvane_platform_audio
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/pulse_connection.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pulse_capture.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pulse_playback.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pulse_audio_system.cpp
    ${CMAKE_CURRENT_LIST_DIR}/pulse_endpoints.cpp
  DEPS orvane_base Threads::Threads
  PRIVATE_DEPS PkgConfig::ORVANE_LIBPULSE)
