# The brand and partner packages carried as "BIN" resources: the readable
# JSON settings in resources/packages/ get the build's host names and
# version (configure_file), then gcab packs each into a cabinet archive that
# holds one file, brand_config or partner_config. MSZIP-compressed unless
# STORED is given.
find_program(LITE_GCAB gcab REQUIRED)
set(LITE_PACKAGES_DIR ${CMAKE_BINARY_DIR}/generated/packages)

# lite_add_cabinet(<cab path> FILES <file>... [STORED]): the archive holds
# each file under its own name, without folders.
function(lite_add_cabinet cab)
  cmake_parse_arguments(ARG "STORED" "" "FILES" ${ARGN})
  set(compression -z)
  if(ARG_STORED)
    set(compression)
  endif()
  add_custom_command(OUTPUT ${cab}
    COMMAND ${CMAKE_COMMAND} -E remove -f ${cab}
    COMMAND ${LITE_GCAB} -c ${compression} -n ${cab} ${ARG_FILES}
    DEPENDS ${ARG_FILES}
    VERBATIM)
endfunction()

# lite_add_package(<name> <settings source> <file name in the archive>):
# makes ${LITE_PACKAGES_DIR}/<name>.cab.
function(lite_add_package name source settings_name)
  set(settings ${LITE_PACKAGES_DIR}/${name}/${settings_name})
  configure_file(${source} ${settings} @ONLY)
  lite_add_cabinet(${LITE_PACKAGES_DIR}/${name}.cab FILES ${settings})
endfunction()

set(LITE_PACKAGE_SOURCES ${CMAKE_SOURCE_DIR}/resources/packages)
lite_add_package(default ${LITE_PACKAGE_SOURCES}/default/brand_config.json
  brand_config)
lite_add_package(tb ${LITE_PACKAGE_SOURCES}/tb/brand_config.json brand_config)
lite_add_package(ua_uk ${LITE_PACKAGE_SOURCES}/ua_uk/brand_config.json
  brand_config)
lite_add_package(partner ${LITE_PACKAGE_SOURCES}/partner/partner_config.json
  partner_config)
set(LITE_PACKAGE_CABS
  ${LITE_PACKAGES_DIR}/default.cab ${LITE_PACKAGES_DIR}/tb.cab
  ${LITE_PACKAGES_DIR}/ua_uk.cab ${LITE_PACKAGES_DIR}/partner.cab)

# Cabinets for the extraction unit tests: the same three files stored and
# MSZIP-compressed. The large file spans several 32 KiB data blocks.
set(LITE_TEST_CAB_DIR ${LITE_PACKAGES_DIR}/unittest)
set(large_text "")
foreach(i RANGE 1 2500)
  string(APPEND large_text "${i}: the quick brown fox jumps over dog ${i}\n")
endforeach()
file(WRITE ${LITE_TEST_CAB_DIR}/large_file.txt "${large_text}")
# Copied only when it changed, so the cabinets are not remade every time.
configure_file(${LITE_TEST_CAB_DIR}/large_file.txt
  ${LITE_TEST_CAB_DIR}/files/large_file COPYONLY)
set(LITE_TEST_CAB_FILES
  ${CMAKE_SOURCE_DIR}/installer/brand/testdata/brand_config
  ${CMAKE_SOURCE_DIR}/installer/brand/testdata/partner_config
  ${LITE_TEST_CAB_DIR}/files/large_file)
lite_add_cabinet(${LITE_TEST_CAB_DIR}/mszip.cab FILES ${LITE_TEST_CAB_FILES})
lite_add_cabinet(${LITE_TEST_CAB_DIR}/stored.cab FILES ${LITE_TEST_CAB_FILES}
  STORED)
set(LITE_TEST_CABS ${LITE_TEST_CAB_DIR}/mszip.cab ${LITE_TEST_CAB_DIR}/stored.cab)
