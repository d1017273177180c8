# Every third-party dependency is found here, once, so subsystems only link targets.
find_package(Threads REQUIRED)
find_package(Qt6 6.2 REQUIRED COMPONENTS Core Gui Widgets PrintSupport Test)
set(CMAKE_AUTOMOC ON)
set(CMAKE_AUTORCC ON)

find_path(QSCINTILLA_INCLUDE_DIR Qsci/qsciscintilla.h
  PATHS /usr/include/x86_64-linux-gnu/qt6 /usr/include/qt6 ${Qt6_DIR}/../../../../include/qt6)
find_library(QSCINTILLA_LIBRARY NAMES qscintilla2_qt6)
if(NOT QSCINTILLA_INCLUDE_DIR OR NOT QSCINTILLA_LIBRARY)
  message(FATAL_ERROR "QScintilla for Qt 6 not found (Debian: libqscintilla2-qt6-dev)")
endif()
add_library(QScintilla::QScintilla UNKNOWN IMPORTED)
set_target_properties(QScintilla::QScintilla PROPERTIES
  IMPORTED_LOCATION ${QSCINTILLA_LIBRARY}
  INTERFACE_INCLUDE_DIRECTORIES ${QSCINTILLA_INCLUDE_DIR}
  INTERFACE_LINK_LIBRARIES Qt6::Widgets)

find_package(JPEG REQUIRED)

find_package(GTest REQUIRED)
find_package(benchmark REQUIRED)
