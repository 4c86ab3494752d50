# System DLLs that the worker loads at the first call into them instead of at
# start. A check run calls none of WinHTTP, the event log, XmlLite, the shell,
# shlwapi or OLE Automation, and loading them costs more than the run's own
# Windows calls. GNU ld has no /DELAYLOAD: dlltool makes a delay-load import
# library from cmake/delay_load/NAME.def, which lists the functions the
# worker calls (a release check holds the lists against Wine's exports, so a
# misspelt name fails the tests, not the first call). The loads happen after
# the worker restricted DLL search to the system folder; these DLLs are part of
# every supported Windows, so a failing load (which would raise a structured
# exception at the call) is not expected.
#
# tavo_system_library(VAR NAME) sets VAR to a link item: the delay-load library
# for targets marked with tavo_delay_load(TARGET), the ordinary import library
# for every other target (and always on 32-bit, whose .def names would need
# stdcall decorations). A library without a MinGW-w64 import library (xmllite)
# gets an ordinary one made from its .def file too.

set(TAVO_DELAY_LOAD_DIR "${CMAKE_SOURCE_DIR}/cmake/delay_load")
# The libraries that name such items depend on this target, so every program
# links after the import libraries exist.
add_custom_target(tavo_import_libraries)
file(MAKE_DIRECTORY "${CMAKE_BINARY_DIR}/delay_load")

# dlltool makes OUTPUT from DEF once; FLAG -l for an ordinary, -y for a delay-load library.
function(_tavo_dlltool target def flag output)
  if(NOT TARGET ${target})
    add_custom_command(OUTPUT "${output}" COMMAND "${CMAKE_DLLTOOL}" -d "${def}" ${flag} "${output}"
                       DEPENDS "${def}" VERBATIM)
    add_custom_target(${target} DEPENDS "${output}")
    add_dependencies(tavo_import_libraries ${target})
  endif()
endfunction()

function(tavo_system_library out name)
  set(def "${TAVO_DELAY_LOAD_DIR}/${name}.def")
  set(ordinary "${name}")
  if(name STREQUAL "xmllite")
    set(ordinary "${CMAKE_BINARY_DIR}/delay_load/lib${name}.a")
    _tavo_dlltool(tavo_implib_${name} "${def}" -l "${ordinary}")
  endif()
  if(NOT TAVO_X64)
    set(${out} "${ordinary}" PARENT_SCOPE)
    return()
  endif()
  set(delayed "${CMAKE_BINARY_DIR}/delay_load/lib${name}_delay.a")
  _tavo_dlltool(tavo_delaylib_${name} "${def}" -y "${delayed}")
  # Evaluated for the program being linked, not for the library that names it.
  set(${out} "$<IF:$<BOOL:$<TARGET_PROPERTY:TAVO_DELAY_LOAD>>,${delayed},${ordinary}>" PARENT_SCOPE)
endfunction()

function(tavo_delay_load target)
  set_target_properties(${target} PROPERTIES TAVO_DELAY_LOAD ON)
endfunction()
