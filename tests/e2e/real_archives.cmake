# The builder tests compare the stub's packages with those of the native zelvix-pack; they are
# skipped when it has not been built.
set(ZELVIX_PACK ${PROJECT_SOURCE_DIR}/build/native/zelvix-pack CACHE FILEPATH
  "zelvix-pack of a native build, for the builder tests under Wine")
if(TARGET zelvix_e2e_tests)
  add_dependencies(zelvix_e2e_tests zelvix_real_archives)
  set_property(TEST e2e APPEND PROPERTY ENVIRONMENT "ZELVIX_PACK=${ZELVIX_PACK}")
endif()
