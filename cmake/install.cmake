# What `cmake --install build/native --prefix DIR` and the .deb (CPack) hold:
#   DIR/bin/zelvix-pack, DIR/share/zelvix/zelvix.exe (where zelvix-pack looks for its stub:
#   ../share/zelvix/zelvix.exe from its own directory), DIR/share/man/man1/zelvix-pack.1.
# The stub is built by the win32 preset, not by this one: ZELVIX_STUB names it (by default
# build/win32/zelvix.exe of this source tree), and installing without it fails and says so.
install(TARGETS zelvix-pack RUNTIME DESTINATION bin)
install(CODE "
  if(NOT EXISTS \"${ZELVIX_STUB}\")
    message(FATAL_ERROR \"The stub ${ZELVIX_STUB} is not built: build the win32 preset first \"
      \"(cmake --preset win32 && cmake --build --preset win32), or set ZELVIX_STUB.\")
  endif()")
install(FILES ${ZELVIX_STUB} DESTINATION share/zelvix)
install(FILES ${PROJECT_SOURCE_DIR}/docs/zelvix-pack.1 DESTINATION share/man/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelvix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Zelvix developers <zelvix@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "zelvix-pack: builds self-extracting ZIP packages for Windows")
set(CPACK_PACKAGE_DESCRIPTION "zelvix-pack and the Zelvix stub it builds on: small self-extracting\n\
packages for 32-bit Windows, made from a ZIP file or a folder on Linux.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# zelvix_<version>_<architecture>.deb, the dependencies found by dpkg-shlibdeps.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
include(CPack)
