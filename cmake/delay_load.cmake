# System DLLs that a program loads at the first call into them instead of at
# start. GNU ld has no /DELAYLOAD: dlltool makes a delay-load import library
# from cmake/delay_load/NAME.def, which lists the functions the programs call
# (a release check holds the lists against Wine's exports, so a misspelt name
# fails the tests, not the first call).
#
# Two reasons to delay a DLL:
# - Start cost: a check run of the worker calls none of WinHTTP, the event log,
#   XmlLite, the shell, shlwapi or OLE Automation, and loading them costs more
#   than the run's own Windows calls.
# - Planted libraries: Windows resolves a load-time import that is not a
#   KnownDLL from the program's own folder first (for a setup, Downloads),
#   before the entry point can restrict the search. A delayed DLL is loaded
#   after the entry restricted DLL search to the system folder, so a copy
#   beside the program is never used. Every load-time import of the release
#   programs is a KnownDLL or an API set, which a release check holds.
# These DLLs are part of every supported Windows, so a failing load (which
# would raise a structured exception at the call) is not expected.
#
# tavo_system_library(VAR NAME) sets VAR to a link item: the delay-load library
# for the programs that name NAME in tavo_delay_load(TARGET NAME...), the
# ordinary import library for every other program. A library without a
# MinGW-w64 import library (xmllite) gets an ordinary one made from its .def
# file too. On i686 the functions are stdcall: the .def names get their
# decorations (@N) from MinGW-w64's own import library, and dlltool's -k gives
# the DLL's undecorated export names.

set(TAVO_DELAY_LOAD_DIR "${CMAKE_SOURCE_DIR}/cmake/delay_load")
# The libraries that name such items depend on this target, so every program
# links after the import libraries exist.
add_custom_target(tavo_import_libraries)
file(MAKE_DIRECTORY "${CMAKE_BINARY_DIR}/delay_load")

# dlltool makes OUTPUT from DEF once; FLAGS -l for an ordinary, -y for a delay-load library.
function(_tavo_dlltool target def flags output)
  if(NOT TARGET ${target})
    add_custom_command(OUTPUT "${output}" COMMAND "${CMAKE_DLLTOOL}" -d "${def}" ${flags} "${output}"
                       DEPENDS "${def}" VERBATIM)
    add_custom_target(${target} DEPENDS "${output}")
    add_dependencies(tavo_import_libraries ${target})
  endif()
endfunction()

# i686: writes OUT_DEF, NAME.def with each function's stdcall decoration as
# MinGW-w64's import library of NAME spells it. Sets FOUND to false when that
# library or a decoration is missing.
function(_tavo_decorated_def name out_def found)
  set(${found} FALSE PARENT_SCOPE)
  # Made at configure time: a changed list configures again.
  set_property(DIRECTORY "${CMAKE_SOURCE_DIR}" APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
               "${TAVO_DELAY_LOAD_DIR}/${name}.def")
  find_library(_tavo_implib_${name} NAMES "lib${name}.a" NO_CACHE)
  if(NOT _tavo_implib_${name})
    return()
  endif()
  execute_process(COMMAND "${CMAKE_NM}" "${_tavo_implib_${name}}" OUTPUT_VARIABLE symbols
                  RESULT_VARIABLE status ERROR_QUIET)
  if(NOT status EQUAL 0)
    return()
  endif()
  file(STRINGS "${TAVO_DELAY_LOAD_DIR}/${name}.def" lines)
  set(text "")
  foreach(line IN LISTS lines)
    string(STRIP "${line}" entry)
    if(entry STREQUAL "" OR entry MATCHES "^;" OR entry MATCHES "^(LIBRARY|EXPORTS)")
      string(APPEND text "${line}\n")
      continue()
    endif()
    if(NOT symbols MATCHES " T _${entry}(@[0-9]+)\n")
      return()
    endif()
    string(APPEND text "    ${entry}${CMAKE_MATCH_1}\n")
  endforeach()
  file(CONFIGURE OUTPUT "${out_def}" CONTENT "${text}")
  set(${found} TRUE PARENT_SCOPE)
endfunction()

function(tavo_system_library out name)
  set(def "${TAVO_DELAY_LOAD_DIR}/${name}.def")
  set(ordinary "${name}")
  if(name STREQUAL "xmllite")
    set(ordinary "${CMAKE_BINARY_DIR}/delay_load/lib${name}.a")
    _tavo_dlltool(tavo_implib_${name} "${def}" -l "${ordinary}")
  endif()
  set(delayed "${CMAKE_BINARY_DIR}/delay_load/lib${name}_delay.a")
  if(TAVO_X64)
    _tavo_dlltool(tavo_delaylib_${name} "${def}" -y "${delayed}")
  else()
    set(decorated "${CMAKE_BINARY_DIR}/delay_load/${name}.def")
    _tavo_decorated_def(${name} "${decorated}" found)
    if(NOT found)
      # Only the x64 worker delays such a DLL; an i686 program that named it
      # would fail the release check on its imports.
      set(${out} "${ordinary}" PARENT_SCOPE)
      return()
    endif()
    _tavo_dlltool(tavo_delaylib_${name} "${decorated}" "-k;-y" "${delayed}")
  endif()
  # Evaluated for the program being linked, not for the library that names it.
  set(${out} "$<IF:$<IN_LIST:${name},$<TARGET_PROPERTY:TAVO_DELAY_LOAD>>,${delayed},${ordinary}>" PARENT_SCOPE)
endfunction()

# The program loads these DLLs (names of cmake/delay_load/*.def) at their first call.
function(tavo_delay_load target)
  set_target_properties(${target} PROPERTIES TAVO_DELAY_LOAD "${ARGN}")
endfunction()
