# Windows, drawing, images and dialogs on Qt 6 Widgets; process and system services on POSIX.
find_package(Qt6 REQUIRED COMPONENTS Widgets)

orvane_library(orvane_platform_ui
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/qt_canvas.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qt_image.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qt_keys.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qt_ui.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qt_window.cpp
    ${PROJECT_SOURCE_DIR}/platform/dialog_answerer.cpp
  DEPS orvane_base Qt6::Widgets Threads::Threads)

orvane_library(orvane_platform_system
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/system_linux.cpp ${PROJECT_SOURCE_DIR}/platform/program_folders.cpp
  DEPS orvane_base orvane_platform_base Threads::Threads)
# The programs find their files from their own location: in an installed tree the data folder
# and Parlo's folder relative to the programs' folder (bin/), in the build tree beside them
# (build/run and build/run/Orvane). ORVANE_PROGRAMS_DIR, when set, is Parlo's folder instead.
file(RELATIVE_PATH ORVANE_DATA_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_DATADIR}/orvane)
file(RELATIVE_PATH ORVANE_PROGRAMS_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBEXECDIR}/orvane)
target_compile_definitions(orvane_platform_system PRIVATE
  ORVANE_PROGRAMS_DIR="${ORVANE_PROGRAMS_DIR}"
  ORVANE_DATA_FROM_BIN="${ORVANE_DATA_FROM_BIN}"
  ORVANE_PROGRAMS_FROM_BIN="${ORVANE_PROGRAMS_FROM_BIN}")
