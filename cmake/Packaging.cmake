# Installation layout, the Debian package, and the tests of both.
include(GNUInstallDirs)

install(TARGETS nimbro RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# The manual page is installed compressed, as Debian ships them; -n leaves the
# name and time stamp out of the archive so that it is reproducible.
set(NIMBRO_MAN_PAGE ${PROJECT_SOURCE_DIR}/man/nimbro.1)
set(NIMBRO_MAN_PAGE_GZ ${PROJECT_BINARY_DIR}/man/nimbro.1.gz)
find_program(NIMBRO_GZIP gzip REQUIRED)
add_custom_command(
  OUTPUT ${NIMBRO_MAN_PAGE_GZ}
  COMMAND ${CMAKE_COMMAND} -E copy ${NIMBRO_MAN_PAGE} ${PROJECT_BINARY_DIR}/man/nimbro.1
  COMMAND ${NIMBRO_GZIP} -9 -n -f ${PROJECT_BINARY_DIR}/man/nimbro.1
  DEPENDS ${NIMBRO_MAN_PAGE}
  COMMENT "Compressing the manual page"
  VERBATIM)
add_custom_target(nimbro_man ALL DEPENDS ${NIMBRO_MAN_PAGE_GZ})
install(FILES ${NIMBRO_MAN_PAGE_GZ} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES completions/nimbro.bash
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
  RENAME nimbro)
install(FILES completions/_nimbro DESTINATION ${CMAKE_INSTALL_DATADIR}/zsh/site-functions)

# The cell a sysadmin copies to stand up the control server with Compose.
install(FILES cell/compose.yml cell/config.yaml cell/.env.example
  DESTINATION ${CMAKE_INSTALL_DATADIR}/nimbro/cell)
install(PROGRAMS cell/backup DESTINATION ${CMAKE_INSTALL_DATADIR}/nimbro/cell)

# Debian package: cpack -G DEB in the build directory.
set(NIMBRO_PACKAGE_MAINTAINER "nimbro <nimbro@example.org>"
  CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nimbro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR nimbro)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "entra numa rede overlay privada e administra o servidor de controle")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${NIMBRO_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The summary is the first line of the Description field, this its body.
set(CPACK_PACKAGE_DESCRIPTION
  "O nimbro liga esta máquina a uma rede overlay privada e administra o
servidor de controle dessa rede quando ele roda num projeto Docker Compose
no mesmo host. Cada comando termina num único programa filho: o cliente do
Tailscale ou docker compose exec headscale.
A chave de pré-autorização é aberta com verificações estritas e entregue ao
cliente como descritor herdado, nunca numa linha de comando.")
# Dependencies are computed from the binary. The static binary needs no
# shared library, so its package rightly depends on nothing.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
find_program(NIMBRO_DPKG dpkg)
if(NIMBRO_DPKG)
  execute_process(COMMAND ${NIMBRO_DPKG} --print-architecture
    OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE
    OUTPUT_STRIP_TRAILING_WHITESPACE)
endif()
# The zsh function's place, the copyright file and the changelog: see there.
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/DebianLayout.cmake)
set(CPACK_NIMBRO_SOURCE_DIR ${PROJECT_SOURCE_DIR})
# A Debian revision: the package is not native to Debian, so its changelog
# is changelog.Debian.
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
# What the package and the tests expect of the binary follows from how it is
# linked.
get_target_property(NIMBRO_LINK_OPTIONS nimbro LINK_OPTIONS)
if("-static" IN_LIST NIMBRO_LINK_OPTIONS)
  set(NIMBRO_LINKAGE static)
else()
  set(NIMBRO_LINKAGE dynamic)
endif()
set(CPACK_NIMBRO_LINKAGE ${NIMBRO_LINKAGE})
include(CPack)

if(NIMBRO_TESTS)
  # Everything the package holds must be built before the tests look at it.
  add_dependencies(nimbro_tests nimbro_man)

  set(NIMBRO_PACKAGING_TESTS ${PROJECT_SOURCE_DIR}/tests/packaging)

  add_test(NAME packaging.man_page
    COMMAND bash ${NIMBRO_PACKAGING_TESTS}/man_page_test.sh
      ${NIMBRO_MAN_PAGE} $<TARGET_FILE:nimbro> ${PROJECT_VERSION}
      ${PROJECT_SOURCE_DIR}/completions)
  add_test(NAME packaging.completion.bash
    COMMAND bash ${NIMBRO_PACKAGING_TESTS}/completion_test.sh ${PROJECT_SOURCE_DIR}/completions bash)
  add_test(NAME packaging.completion.zsh
    COMMAND bash ${NIMBRO_PACKAGING_TESTS}/completion_test.sh ${PROJECT_SOURCE_DIR}/completions zsh)
  add_test(NAME packaging.install
    COMMAND bash ${NIMBRO_PACKAGING_TESTS}/install_test.sh ${PROJECT_BINARY_DIR} ${NIMBRO_ENGINE})
  # With the engine built, the unit is checked with it in place.
  if(NIMBRO_ENGINE)
    set(NIMBRO_UNIT_TEST_ENGINE ${NIMBRO_ENGINE_DIR})
  endif()
  add_test(NAME packaging.unit
    COMMAND bash ${NIMBRO_PACKAGING_TESTS}/unit_test.sh ${PROJECT_SOURCE_DIR} ${NIMBRO_UNIT_TEST_ENGINE})
  add_test(NAME packaging.check_other_engine
    COMMAND bash ${NIMBRO_PACKAGING_TESTS}/check_other_engine_test.sh ${PROJECT_SOURCE_DIR})
  add_test(NAME packaging.cell
    COMMAND bash ${NIMBRO_PACKAGING_TESTS}/cell_test.sh ${PROJECT_SOURCE_DIR}/cell $<TARGET_FILE:nimbro>)
  set(NIMBRO_PACKAGING_TEST_NAMES
    packaging.man_page packaging.completion.bash packaging.completion.zsh
    packaging.install packaging.unit packaging.check_other_engine packaging.cell)
  if(NOT NIMBRO_ENGINE)
    # The Debian package is built without the engine: a package may not
    # install into /usr/local, where nimbro looks for the engine.
    add_test(NAME packaging.deb
      COMMAND bash ${NIMBRO_PACKAGING_TESTS}/deb_package_test.sh
        ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR} ${PROJECT_VERSION} ${NIMBRO_LINKAGE})
    list(APPEND NIMBRO_PACKAGING_TEST_NAMES packaging.deb)
  endif()
  if(NIMBRO_LINKAGE STREQUAL "static")
    add_test(NAME packaging.static_binary
      COMMAND bash ${NIMBRO_PACKAGING_TESTS}/static_binary_test.sh $<TARGET_FILE:nimbro>)
    list(APPEND NIMBRO_PACKAGING_TEST_NAMES packaging.static_binary)
  endif()
  set_tests_properties(${NIMBRO_PACKAGING_TEST_NAMES} PROPERTIES
    LABELS packaging SKIP_RETURN_CODE 77 TIMEOUT 300)
endif()
