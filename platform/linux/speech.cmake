# Speech synthesis on espeak-ng; the WAV player on libsndfile and PulseAudio's simple API.
pkg_check_modules(ORVANE_ESPEAK REQUIRED IMPORTED_TARGET espeak-ng)
pkg_check_modules(ORVANE_SNDFILE REQUIRED IMPORTED_TARGET sndfile)
pkg_check_modules(ORVANE_PULSE_SIMPLE REQUIRED IMPORTED_TARGET libpulse-simple)
orvane_library(orvane_platform_speech
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/speech_espeak.cpp
  DEPS orvane_base Threads::Threads
  PRIVATE_DEPS PkgConfig::ORVANE_ESPEAK PkgConfig::ORVANE_SNDFILE PkgConfig::ORVANE_PULSE_SIMPLE)
