# System DLLs that the worker loads at the first call into them instead of at
# start. A check run calls none of WinHTTP, the event log, XmlLite, the shell,
# shlwapi or OLE Automation, and loading them costs more than the run's own
# Windows calls. GNU ld has no /DELAYLOAD: dlltool makes a delay-load import
# library from cmake/delay_load/NAME.def, which lists the functions the
# worker calls (the release checks read delay imports too, so a name Windows
# does not export fails there, not at the first call). The loads happen after
# the worker restricted DLL search to the system folder.
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

function(tavo_system_library out name)
  set(def "${TAVO_DELAY_LOAD_DIR}/${name}.def")
  set(ordinary "${name}")
  if(name STREQUAL "xmllite")
    set(ordinary "${CMAKE_BINARY_DIR}/delay_load/lib${name}.a")
    if(NOT TARGET tavo_implib_${name})
      add_custom_command(OUTPUT "${ordinary}" COMMAND "${CMAKE_DLLTOOL}" -d "${def}" -l "${ordinary}"
                         DEPENDS "${def}" VERBATIM)
      add_custom_target(tavo_implib_${name} DEPENDS "${ordinary}")
      add_dependencies(tavo_import_libraries tavo_implib_${name})
    endif()
  endif()
  if(NOT TAVO_X64)
    set(${out} "${ordinary}" PARENT_SCOPE)
    return()
  endif()
  set(delayed "${CMAKE_BINARY_DIR}/delay_load/lib${name}_delay.a")
  if(NOT TARGET tavo_delaylib_${name})
    add_custom_command(OUTPUT "${delayed}" COMMAND "${CMAKE_DLLTOOL}" -d "${def}" -y "${delayed}"
                       DEPENDS "${def}" VERBATIM)
    add_custom_target(tavo_delaylib_${name} DEPENDS "${delayed}")
    add_dependencies(tavo_import_libraries tavo_delaylib_${name})
  endif()
  # Evaluated for the program being linked, not for the library that names it.
  set(${out} "$<IF:$<BOOL:$<TARGET_PROPERTY:TAVO_DELAY_LOAD>>,${delayed},${ordinary}>" PARENT_SCOPE)
endfunction()

function(tavo_delay_load target)
  set_target_properties(${target} PROPERTIES TAVO_DELAY_LOAD ON)
endfunction()
