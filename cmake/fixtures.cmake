# ZIP fixtures, made at build time (never committed), for both presets: hand-made archives in
# fixtures/ (tests/tools/make_fixtures.py) and archives of the real archivers of this machine
# (zip, bsdtar, pigz, Python's zipfile) in fixtures/real (tests/tools/make_real_archives.py).
set(ZELVIX_FIXTURES_DIR ${PROJECT_BINARY_DIR}/fixtures)
set(ZELVIX_REAL_ARCHIVES_DIR ${ZELVIX_FIXTURES_DIR}/real)
foreach(kind fixtures real_archives)
  set(script ${PROJECT_SOURCE_DIR}/tests/tools/make_${kind}.py)
  set(stamp ${ZELVIX_FIXTURES_DIR}/.${kind}.made)
  set(out ${ZELVIX_FIXTURES_DIR})
  if(kind STREQUAL "real_archives")
    set(out ${ZELVIX_REAL_ARCHIVES_DIR})
  endif()
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${Python3_EXECUTABLE} ${script} ${out}
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${script}
    COMMENT "Making the ${kind} (tests/tools/make_${kind}.py)")
  add_custom_target(zelvix_${kind} ALL DEPENDS ${stamp})
endforeach()
