# Windows, drawing, images and dialogs on Qt 6 Widgets; process and system services on POSIX.
find_package(Qt6 REQUIRED COMPONENTS Widgets)

orvane_library(orvane_platform_qt
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/qt_canvas.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qt_image.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qt_keys.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qt_ui.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qt_window.cpp
  DEPS Qt6::Widgets Threads::Threads)

orvane_library(orvane_platform_system
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/system_linux.cpp
  DEPS Threads::Threads)
