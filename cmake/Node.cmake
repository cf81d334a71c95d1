# nimbro's engine daemon as a systemd service (nimbrod.service), the check it
# runs before starting, and an example of its settings file. Installed with
# the engine only: without it the unit would start nothing.
set(NIMBRO_NODE_DIR ${PROJECT_SOURCE_DIR}/node)

# Where nimbro looks for the engine on Linux when NIMBRO_TAILSCALE_BIN is not
# set (the tool's built-in default), and so where the package puts it.
set(NIMBRO_DEFAULT_ENGINE_LIBEXEC /usr/local/libexec/nimbro)
if(NIMBRO_ENGINE AND CMAKE_SYSTEM_NAME STREQUAL "Linux"
    AND NOT CMAKE_INSTALL_FULL_LIBEXECDIR STREQUAL "/usr/local/libexec")
  message(FATAL_ERROR
    "NIMBRO_ENGINE=ON would install the engine in ${CMAKE_INSTALL_FULL_LIBEXECDIR}/nimbro, "
    "but nimbro looks for it in ${NIMBRO_DEFAULT_ENGINE_LIBEXEC} and would never find it. "
    "Configure with the default prefix (-DCMAKE_INSTALL_PREFIX=/usr/local) and libexec directory; "
    "the Debian package (cpack -G DEB) puts the engine there whatever its own prefix.")
endif()

# The unit names the engine's path, which follows the prefix given when
# installing (cmake --install --prefix), so it is written out then. A copy
# for the configured prefix is written now, for the tests.
set(NIMBRO_ENGINE_LIBEXEC ${CMAKE_INSTALL_FULL_LIBEXECDIR}/nimbro)
set(NIMBRO_DOC_DIR ${CMAKE_INSTALL_FULL_DATADIR}/nimbro)
set(NIMBRO_UNIT ${PROJECT_BINARY_DIR}/node/nimbrod.service)
configure_file(${NIMBRO_NODE_DIR}/nimbrod.service.in ${NIMBRO_UNIT} @ONLY)

if(NIMBRO_ENGINE)
  install(CODE "
    set(NIMBRO_ENGINE_LIBEXEC \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/nimbro\")
    set(NIMBRO_DOC_DIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/nimbro\")
    configure_file(\"${NIMBRO_NODE_DIR}/nimbrod.service.in\"
      \"${PROJECT_BINARY_DIR}/node/install/nimbrod.service\" @ONLY)
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/system\"
      TYPE FILE FILES \"${PROJECT_BINARY_DIR}/node/install/nimbrod.service\")")
  install(PROGRAMS ${NIMBRO_NODE_DIR}/check-other-engine
    DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/nimbro)
  install(FILES ${NIMBRO_NODE_DIR}/nimbrod.default
    DESTINATION ${CMAKE_INSTALL_DATADIR}/nimbro)

  # The join at boot (nimbro-join.service), its script and its settings
  # example. The unit names nimbro and the script under the prefix too.
  install(CODE "
    set(NIMBRO_ENGINE_LIBEXEC \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/nimbro\")
    set(NIMBRO_BIN_DIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    set(NIMBRO_DOC_DIR \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/nimbro\")
    configure_file(\"${NIMBRO_NODE_DIR}/nimbro-join.service.in\"
      \"${PROJECT_BINARY_DIR}/node/install/nimbro-join.service\" @ONLY)
    file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/lib/systemd/system\"
      TYPE FILE FILES \"${PROJECT_BINARY_DIR}/node/install/nimbro-join.service\")")
  install(PROGRAMS ${NIMBRO_NODE_DIR}/join-at-boot
    DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/nimbro)
  install(FILES ${NIMBRO_NODE_DIR}/nimbro-join.default
    DESTINATION ${CMAKE_INSTALL_DATADIR}/nimbro)
endif()
