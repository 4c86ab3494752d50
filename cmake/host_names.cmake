# The hosts are build-time values. Windows lower-cases the host of the update
# address it registers, and the worker compares that address with its own
# descriptor address: a package host with a capital letter would fail the
# verification of every real install. So configuring refuses one.
#
# tavo_check_package_host(VALUE) stops configuring unless VALUE is a host name
# in lower case (letters, digits, dots and hyphens). Also runs as a script:
#   cmake -DTAVO_PACKAGE_HOST=NAME -P cmake/host_names.cmake
function(tavo_check_package_host value)
  if(NOT value MATCHES "^[a-z0-9]([a-z0-9.-]*[a-z0-9])?$")
    message(FATAL_ERROR "TAVO_PACKAGE_HOST must be a host name in lower case (letters, digits, dots and hyphens), "
                        "as Windows registers it: \"${value}\"")
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  tavo_check_package_host("${TAVO_PACKAGE_HOST}")
endif()
