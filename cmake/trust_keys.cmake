# The ten public keys that authenticate a setup archive's trusted
# certificate list (installer/install/trust/trust_keys.cc). Two key sets exist:
#   - the publisher's, read from LITE_PUBLISHER_TRUST_KEYS (set in
#     cmake/build_config.cmake), linked into every program whose
#     LITE_TEST_SEAMS property is not ON, among them the shipped installer;
#   - test keys, made by this build with openssl
#     (testing/certs/make_trust_keys.sh, private keys beside them in
#     test_signing/trust_keys/), linked into the test builds (LITE_TEST_SEAMS
#     ON: lite_installer_seams, lite_unittests, the test programs). They
#     never reach a shipped installer.
# Included by installer/CMakeLists.txt after LITE_TEST_CERT_DIR is set.
set(LITE_TRUST_KEYS_DIR ${CMAKE_BINARY_DIR}/generated/trust_keys)
set(LITE_TEST_TRUST_KEYS_DIR ${LITE_TEST_CERT_DIR}/trust_keys)

add_custom_command(OUTPUT ${LITE_TEST_TRUST_KEYS_DIR}/public_keys.txt
  COMMAND ${CMAKE_SOURCE_DIR}/testing/certs/make_trust_keys.sh ${LITE_TEST_TRUST_KEYS_DIR}
  DEPENDS ${CMAKE_SOURCE_DIR}/testing/certs/make_trust_keys.sh
  VERBATIM)
add_custom_target(test_trust_keys DEPENDS ${LITE_TEST_TRUST_KEYS_DIR}/public_keys.txt)

foreach(kind publisher test)
  if(kind STREQUAL "publisher")
    set(keys ${LITE_PUBLISHER_TRUST_KEYS})
  else()
    set(keys ${LITE_TEST_TRUST_KEYS_DIR}/public_keys.txt)
  endif()
  set(table ${LITE_TRUST_KEYS_DIR}/${kind}/trust_keys_table.inc)
  add_custom_command(OUTPUT ${table}
    COMMAND ${CMAKE_COMMAND} -DKEYS=${keys} -DOUT=${table}
            -P ${CMAKE_SOURCE_DIR}/cmake/make_trust_key_table.cmake
    DEPENDS ${keys} ${CMAKE_SOURCE_DIR}/cmake/make_trust_key_table.cmake
    VERBATIM)
  add_library(lite_trust_keys_${kind} STATIC
    ${CMAKE_SOURCE_DIR}/installer/install/trust/trust_keys.cc ${table})
  target_include_directories(lite_trust_keys_${kind} PRIVATE
    ${LITE_TRUST_KEYS_DIR}/${kind})
endforeach()

# Programs pick their key set the way they pick their seam reader.
target_link_libraries(installer_core INTERFACE
  $<IF:$<BOOL:$<TARGET_PROPERTY:LITE_TEST_SEAMS>>,lite_trust_keys_test,lite_trust_keys_publisher>)
