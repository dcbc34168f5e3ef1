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
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/system_linux.cpp
  DEPS orvane_base orvane_platform_base Threads::Threads)
# Where Orvane looks for Parlo: by default the build's own output folder, where parlo/ puts it.
if(ORVANE_PROGRAMS_DIR)
  set(ORVANE_PROGRAMS_DIR_VALUE ${ORVANE_PROGRAMS_DIR})
else()
  set(ORVANE_PROGRAMS_DIR_VALUE ${ORVANE_RUNTIME_DIR})
endif()
target_compile_definitions(orvane_platform_system PRIVATE ORVANE_PROGRAMS_DIR="${ORVANE_PROGRAMS_DIR_VALUE}")
