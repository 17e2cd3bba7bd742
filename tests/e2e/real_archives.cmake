# Archives made by the real archivers of this machine (zip, bsdtar, pigz, Python's zipfile),
# written at build time into fixtures/real: see tests/tools/make_real_archives.py.
set(ZELVIX_REAL_ARCHIVES_DIR ${PROJECT_BINARY_DIR}/fixtures/real)
set(ZELVIX_REAL_ARCHIVES_STAMP ${PROJECT_BINARY_DIR}/fixtures/real.made)
add_custom_command(OUTPUT ${ZELVIX_REAL_ARCHIVES_STAMP}
  COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/tools/make_real_archives.py ${ZELVIX_REAL_ARCHIVES_DIR}
  COMMAND ${CMAKE_COMMAND} -E touch ${ZELVIX_REAL_ARCHIVES_STAMP}
  DEPENDS ${PROJECT_SOURCE_DIR}/tests/tools/make_real_archives.py
  COMMENT "Making archives with zip, bsdtar, pigz and zipfile")
add_custom_target(zelvix_real_archives ALL DEPENDS ${ZELVIX_REAL_ARCHIVES_STAMP})

# The builder tests compare the stub's packages with those of the native zelvix-pack; they are
# skipped when it has not been built.
set(ZELVIX_PACK ${PROJECT_SOURCE_DIR}/build/native/zelvix-pack CACHE FILEPATH
  "zelvix-pack of a native build, for the builder tests under Wine")
if(TARGET zelvix_e2e_tests)
  add_dependencies(zelvix_e2e_tests zelvix_real_archives)
  set_property(TEST e2e APPEND PROPERTY ENVIRONMENT "ZELVIX_PACK=${ZELVIX_PACK}")
endif()
