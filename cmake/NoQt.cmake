# vx_forbid_qt(TARGET DIRECTORY): a `core` library is plain C++. Two checks
# make that a build error instead of a habit:
# - at configure time, nothing the target links (directly or through other
#   targets) may be a Qt library;
# - at build time, no header or source below DIRECTORY may include a Qt
#   header (Qt's include folders are not on a core library's path anyway; the
#   scan also catches a header no source of the library compiles yet, and says
#   which file it is).

function(vx_forbid_qt target directory)
  file(GLOB_RECURSE files CONFIGURE_DEPENDS ${directory}/*.h ${directory}/*.cpp)
  set(stamp ${CMAKE_CURRENT_BINARY_DIR}/${target}_no_qt.stamp)
  set(list ${CMAKE_CURRENT_BINARY_DIR}/${target}_no_qt_files.txt)
  list(JOIN files "\n" text)
  file(CONFIGURE OUTPUT ${list} CONTENT "${text}\n")
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DSTAMP=${stamp} -DLIST=${list} -P ${VX_SOURCE_DIR}/cmake/NoQtScan.cmake
    DEPENDS ${files} ${list} ${VX_SOURCE_DIR}/cmake/NoQtScan.cmake
    COMMENT "Checking that ${target} includes no Qt header"
    VERBATIM)
  add_custom_target(${target}_no_qt DEPENDS ${stamp})
  add_dependencies(${target} ${target}_no_qt)
  set_target_properties(${target} PROPERTIES AUTOMOC OFF AUTORCC OFF AUTOUIC OFF)
  # The link check runs once every target of the project is defined.
  cmake_language(EVAL CODE "cmake_language(DEFER DIRECTORY [[${CMAKE_SOURCE_DIR}]] CALL _vx_check_links_no_qt [[${target}]])")
endfunction()

function(_vx_collect_links item out_var)
  set(seen ${${out_var}})
  if(item IN_LIST seen)
    return()
  endif()
  list(APPEND seen ${item})
  if(TARGET ${item})
    get_target_property(imported ${item} IMPORTED)
    set(links "")
    if(NOT imported)
      get_target_property(direct ${item} LINK_LIBRARIES)
      if(direct)
        list(APPEND links ${direct})
      endif()
    endif()
    get_target_property(iface ${item} INTERFACE_LINK_LIBRARIES)
    if(iface)
      list(APPEND links ${iface})
    endif()
    foreach(link IN LISTS links)
      string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" link "${link}")
      if(NOT link MATCHES "^\\$<")
        _vx_collect_links(${link} seen)
      endif()
    endforeach()
  endif()
  set(${out_var} ${seen} PARENT_SCOPE)
endfunction()

function(_vx_check_links_no_qt target)
  set(all "")
  _vx_collect_links(${target} all)
  foreach(item IN LISTS all)
    if(item MATCHES "^Qt[0-9]*::" OR item MATCHES "QScintilla" OR item MATCHES "(^|/)libQt[0-9]")
      message(FATAL_ERROR "${target} must link no Qt, but links ${item}")
    endif()
  endforeach()
endfunction()
