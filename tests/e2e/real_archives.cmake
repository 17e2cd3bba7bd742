# The builder tests compare the stub's packages with those of the native zelvix-pack; they are
# skipped when it has not been built.
set(ZELVIX_PACK ${PROJECT_SOURCE_DIR}/build/native/zelvix-pack CACHE FILEPATH
  "zelvix-pack of a native build, for the builder tests under Wine")
if(TARGET zelvix_e2e_tests)
  add_dependencies(zelvix_e2e_tests zelvix_real_archives)
  set_property(TEST e2e APPEND PROPERTY ENVIRONMENT "ZELVIX_PACK=${ZELVIX_PACK}")
endif()

# A package signed with Authenticode after it was built (the signature follows the archive):
# the end-to-end tests run it, and zelvix-pack must list it.
set(ZELVIX_SIGNED_PACKAGE ${ZELVIX_FIXTURES_DIR}/signed.exe)
add_custom_command(OUTPUT ${ZELVIX_SIGNED_PACKAGE}
  COMMAND bash ${PROJECT_SOURCE_DIR}/tests/tools/make_signed_package.sh $<TARGET_FILE:zelvix>
    ${ZELVIX_FIXTURES_DIR}/flat.zip ${ZELVIX_SIGNED_PACKAGE}
  DEPENDS zelvix zelvix_fixtures ${PROJECT_SOURCE_DIR}/tests/tools/make_signed_package.sh
  COMMENT "Signing a package (tests/tools/make_signed_package.sh)")
add_custom_target(zelvix_signed_package ALL DEPENDS ${ZELVIX_SIGNED_PACKAGE})
if(TARGET zelvix_e2e_tests)
  add_dependencies(zelvix_e2e_tests zelvix_signed_package)
endif()
# The listing is shown only when the tool exits with 0: it prints "N entries" before it refuses.
add_test(NAME signed_package_list COMMAND sh -c "listing=$(\"$0\" --list \"$1\") && printf '%s\\n' \"$listing\""
  ${ZELVIX_PACK} ${ZELVIX_SIGNED_PACKAGE})
set_tests_properties(signed_package_list PROPERTIES PASS_REGULAR_EXPRESSION "3 entries")

# Packages given their own icon, title and version information by zelvix-pack, one of them
# signed afterwards (tests/tools/make_branded_packages.sh). Made only when zelvix-pack is built;
# the tests that run them are skipped otherwise.
if(EXISTS ${ZELVIX_PACK})
  set(ZELVIX_BRANDED_PACKAGE ${ZELVIX_FIXTURES_DIR}/branded/branded.exe)
  add_custom_command(OUTPUT ${ZELVIX_BRANDED_PACKAGE}
    COMMAND bash ${PROJECT_SOURCE_DIR}/tests/tools/make_branded_packages.sh ${ZELVIX_PACK} $<TARGET_FILE:zelvix>
      ${ZELVIX_FIXTURES_DIR}/flat.zip ${ZELVIX_FIXTURES_DIR}/branded
    DEPENDS zelvix zelvix_fixtures ${ZELVIX_PACK} ${PROJECT_SOURCE_DIR}/tests/tools/make_branded_packages.sh
      ${PROJECT_SOURCE_DIR}/tests/tools/make_icon.py
    COMMENT "Branding and signing packages (tests/tools/make_branded_packages.sh)")
  add_custom_target(zelvix_branded_packages ALL DEPENDS ${ZELVIX_BRANDED_PACKAGE})
  if(TARGET zelvix_e2e_tests)
    add_dependencies(zelvix_e2e_tests zelvix_branded_packages)
  endif()
endif()

# A solid package's archive: the real archives' inputs (names in three scripts, an empty folder) packed by zelvix-pack --method solid, then
# dumped. Made only when zelvix-pack is built (tools/build.sh builds it first).
if(EXISTS ${ZELVIX_PACK})
  set(ZELVIX_SOLID_ARCHIVE ${ZELVIX_REAL_ARCHIVES_DIR}/solid.zip)
  set(tree ${ZELVIX_FIXTURES_DIR}/solid-tree)
  add_custom_command(OUTPUT ${ZELVIX_SOLID_ARCHIVE}
    COMMAND rm -rf ${tree} && mkdir -p ${tree}/empty
    COMMAND cp -rp text.txt data.bin tiny.txt empty.dat sub "naïve café" "Ωμέγα" ${tree}/
    COMMAND ${ZELVIX_PACK} --method solid -o ${tree}.exe $<TARGET_FILE:zelvix> ${tree}
    COMMAND ${ZELVIX_PACK} --dump ${tree}.exe ${ZELVIX_SOLID_ARCHIVE}
    WORKING_DIRECTORY ${ZELVIX_REAL_ARCHIVES_DIR}/input
    DEPENDS zelvix zelvix_real_archives ${ZELVIX_PACK}
    COMMENT "Packing the real archives' inputs solid (zelvix-pack --method solid)")
  add_custom_target(zelvix_solid_archive ALL DEPENDS ${ZELVIX_SOLID_ARCHIVE})
  if(TARGET zelvix_e2e_tests)
    add_dependencies(zelvix_e2e_tests zelvix_solid_archive)
  endif()
endif()
