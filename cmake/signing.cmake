# Authenticode signatures of the release programs, made with osslsigncode after
# each link: the worker first (the launcher then carries the signed worker byte
# for byte and writes exactly that file to disk), then the launcher.
#
# The certificate is a PKCS#12 file, TAVO_SIGNING_PFX, whose password is read
# from the file TAVO_SIGNING_PASSWORD_FILE (never given on a command line or
# kept in the cache); TAVO_TIMESTAMP_URL names an optional RFC 3161 time-stamp
# server. A release tree without a certificate is signed all the same, with a
# throwaway certificate authority and code-signing certificate made here, so
# every build runs the whole signing pipeline; such files must not ship.
#
# tavo_sign(TARGET DESCRIPTION) signs TARGET's file in place after each link.
# TAVO_SIGNING_CA is the authority's certificate (PEM) that verifies a signature
# from the throwaway certificate; empty for a configured certificate.

set(TAVO_SIGNING_PFX "" CACHE FILEPATH "Code-signing certificate and key (PKCS#12) for the release programs")
set(TAVO_SIGNING_PASSWORD_FILE "" CACHE FILEPATH "File holding the PKCS#12 file's password (one line)")
set(TAVO_TIMESTAMP_URL "" CACHE STRING "RFC 3161 time-stamp server for the signatures (optional)")

find_program(TAVO_OSSLSIGNCODE osslsigncode REQUIRED)
set(TAVO_SIGNING_CA "")
if(TAVO_SIGNING_PFX)
  if(NOT EXISTS "${TAVO_SIGNING_PFX}" OR NOT EXISTS "${TAVO_SIGNING_PASSWORD_FILE}")
    message(FATAL_ERROR "TAVO_SIGNING_PFX and TAVO_SIGNING_PASSWORD_FILE must name existing files")
  endif()
  set(_pfx "${TAVO_SIGNING_PFX}")
  set(_password_file "${TAVO_SIGNING_PASSWORD_FILE}")
else()
  find_program(TAVO_OPENSSL openssl REQUIRED)
  # build.sh gives both release trees one folder, so one authority verifies both programs.
  set(TAVO_TEST_SIGNING_DIR "${CMAKE_BINARY_DIR}/test-signing" CACHE PATH
      "Where a release tree without a certificate keeps its throwaway signing authority")
  set(_dir "${TAVO_TEST_SIGNING_DIR}")
  set(_pfx "${_dir}/signing.pfx")
  set(_password_file "${_dir}/password.txt")
  set(TAVO_SIGNING_CA "${_dir}/ca.pem")
  if(NOT EXISTS "${_pfx}")
    file(MAKE_DIRECTORY "${_dir}")
    file(WRITE "${_password_file}" "test-signing-only\n")
    file(WRITE "${_dir}/signing.ext"
         "basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n")
    foreach(_step
        "req;-x509;-newkey;rsa:2048;-nodes;-days;3650;-subj;/CN=Tavo Studio Test Signing CA (not for release);-keyout;ca.key;-out;ca.pem"
        "req;-newkey;rsa:2048;-nodes;-subj;/O=Tavo Studio Inc./CN=Tavo Studio Inc. (test signature);-keyout;signing.key;-out;signing.csr"
        "x509;-req;-in;signing.csr;-CA;ca.pem;-CAkey;ca.key;-CAcreateserial;-days;3650;-extfile;signing.ext;-out;signing.pem"
        "pkcs12;-export;-inkey;signing.key;-in;signing.pem;-certfile;ca.pem;-passout;file:password.txt;-out;signing.pfx")
      execute_process(COMMAND "${TAVO_OPENSSL}" ${_step} WORKING_DIRECTORY "${_dir}"
                      RESULT_VARIABLE _rc OUTPUT_QUIET ERROR_VARIABLE _err)
      if(NOT _rc EQUAL 0)
        message(FATAL_ERROR "Making the test signing certificate failed: ${_err}")
      endif()
    endforeach()
  endif()
  message(WARNING "This release tree signs its programs with a throwaway test certificate "
                  "(${_dir}): they carry a test signature and must not be shipped. Set TAVO_SIGNING_PFX and "
                  "TAVO_SIGNING_PASSWORD_FILE as the README's release settings say.")
endif()

function(tavo_sign target description)
  set(_timestamp "")
  if(TAVO_TIMESTAMP_URL)
    set(_timestamp -ts "${TAVO_TIMESTAMP_URL}")
  endif()
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND "${TAVO_OSSLSIGNCODE}" sign -pkcs12 "${_pfx}" -readpass "${_password_file}" -h sha256
            -n "${description}" -i "https://${TAVO_WEB_HOST}/" ${_timestamp}
            -in "$<TARGET_FILE:${target}>" -out "$<TARGET_FILE:${target}>.signed"
    COMMAND "${CMAKE_COMMAND}" -E rename "$<TARGET_FILE:${target}>.signed" "$<TARGET_FILE:${target}>"
    COMMENT "Signing ${target}" VERBATIM)
endfunction()
