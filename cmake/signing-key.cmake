# The maker's public key text (QMX_SIGNING_KEY) checked at configure time:
# the form 'qmxpublish keygen' prints, and a point that lies on P-256. The
# host's OpenSSL reads the key as a public key, which it refuses for a point
# off the curve, so a one-character typo stops the build here instead of
# building an exe that fails every download. Sets QMX_SIGNING_KEY_NOTE to
# what the build says about the key.

# The DER head of a P-256 SubjectPublicKeyInfo up to the uncompressed point's
# 0x04, 27 bytes: its base64 joins the key text's without re-encoding.
set(qmx_p256_spki_head "MFkwEwYHKoZIzj0CAQYIKoZIzj0DAQcDQgAE")

function(qmx_check_signing_key key)
  if(key STREQUAL "")
    set(QMX_SIGNING_KEY_NOTE "signing key: none (MD5 only)" PARENT_SCOPE)
    return()
  endif()
  if(NOT key MATCHES "^[A-Za-z0-9+/]+[AQgw]==$")
    message(FATAL_ERROR "QMX_SIGNING_KEY is not a public key text as 'qmxpublish keygen' prints it")
  endif()
  string(LENGTH "${key}" length)
  if(NOT length EQUAL 88)
    message(FATAL_ERROR "QMX_SIGNING_KEY must be 88 characters (base64 of 64 bytes)")
  endif()
  find_program(QMX_OPENSSL openssl)
  if(NOT QMX_OPENSSL)
    message(FATAL_ERROR "QMX_SIGNING_KEY is set but openssl is missing to check it (tools/install-deps.sh)")
  endif()
  set(pem ${CMAKE_BINARY_DIR}/generated/signing-key.pem)
  file(WRITE ${pem}
       "-----BEGIN PUBLIC KEY-----\n${qmx_p256_spki_head}${key}\n-----END PUBLIC KEY-----\n")
  execute_process(COMMAND ${QMX_OPENSSL} pkey -pubin -in ${pem} -outform DER
                  COMMAND ${QMX_OPENSSL} dgst -sha256 -r
                  RESULTS_VARIABLE results OUTPUT_VARIABLE digest ERROR_QUIET)
  list(GET results 0 read)
  if(NOT read EQUAL 0 OR NOT digest MATCHES "^([0-9a-f]+)")
    message(FATAL_ERROR "QMX_SIGNING_KEY is not a point on P-256: check the key text for a typo")
  endif()
  set(QMX_SIGNING_KEY_NOTE "signing key: SHA256:${CMAKE_MATCH_1}" PARENT_SCOPE)
endfunction()
