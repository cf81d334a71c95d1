# The engine, built from the Go module proxy at the version pinned in
# engine/go.mod, as one binary that is both daemon and client: installed as
# libexec/nimbro/tailscaled, with libexec/nimbro/tailscale a link to it. The
# binary runs as the client when it is called by the name "tailscale", so the
# daemon's own file must never be given that name.
find_program(NIMBRO_GO go REQUIRED)

set(NIMBRO_ENGINE_MODULE_DIR ${PROJECT_SOURCE_DIR}/engine)
file(STRINGS ${NIMBRO_ENGINE_MODULE_DIR}/go.mod NIMBRO_ENGINE_REQUIRE
  REGEX "^[ \t]*tailscale\\.com v[0-9]+\\.[0-9]+\\.[0-9]+")
if(NOT NIMBRO_ENGINE_REQUIRE MATCHES "tailscale\\.com v([0-9]+\\.[0-9]+\\.[0-9]+)")
  message(FATAL_ERROR "engine/go.mod does not require a released tailscale.com")
endif()
set(NIMBRO_ENGINE_VERSION ${CMAKE_MATCH_1})

# Every feature the engine can leave out is left out except these; the
# feature list of the pinned release decides what the rest are, and refuses
# a list that drops something a kept feature needs. Among those left out:
# cliconndiag, whose hint when the daemon is down names tailscaled, another
# daemon than nimbro's.
set(NIMBRO_ENGINE_FEATURES
  cli                 # the client inside the daemon's binary
  unixsocketidentity  # without it the daemon refuses every client call
  sdnotify            # nimbrod.service is Type=notify
  ipnbus              # join waits for the daemon's state through it
  osrouter            # the kernel interface: addresses, routes, firewall
  iptables            # the firewall rules of the kernel interface
  netstack            # userspace networking, beside another engine daemon
  outboundproxy       # how the host reaches peers in userspace networking
  dns                 # join asks for the network's DNS settings
  resolved            # ... through systemd-resolved where it runs
  networkmanager      # ... or through NetworkManager
  health              # the warnings status shows
  portmapper          # direct paths through home routers (NAT-PMP, UPnP)
  useproxy            # a proxy to reach the control server, if the host has one
  bakedroots          # the control server's certificate on hosts without CA roots
  CACHE STRING "Engine features to build in; the others are left out")

set(NIMBRO_ENGINE_DIR ${PROJECT_BINARY_DIR}/engine)
set(NIMBRO_ENGINE_DAEMON ${NIMBRO_ENGINE_DIR}/tailscaled)
set(NIMBRO_ENGINE_CLIENT ${NIMBRO_ENGINE_DIR}/tailscale)
string(JOIN "," NIMBRO_ENGINE_FEATURE_LIST ${NIMBRO_ENGINE_FEATURES})
add_custom_command(
  OUTPUT ${NIMBRO_ENGINE_DAEMON} ${NIMBRO_ENGINE_CLIENT}
  COMMAND ${CMAKE_COMMAND}
    -DGO=${NIMBRO_GO}
    -DMODULE_DIR=${NIMBRO_ENGINE_MODULE_DIR}
    -DVERSION=${NIMBRO_ENGINE_VERSION}
    -DFEATURES=${NIMBRO_ENGINE_FEATURE_LIST}
    -DDAEMON=${NIMBRO_ENGINE_DAEMON}
    -DCLIENT=${NIMBRO_ENGINE_CLIENT}
    -P ${PROJECT_SOURCE_DIR}/cmake/BuildEngine.cmake
  DEPENDS ${NIMBRO_ENGINE_MODULE_DIR}/go.mod ${NIMBRO_ENGINE_MODULE_DIR}/go.sum
    ${PROJECT_SOURCE_DIR}/cmake/BuildEngine.cmake
  COMMENT "Building the engine, tailscale.com ${NIMBRO_ENGINE_VERSION}"
  USES_TERMINAL
  VERBATIM)
add_custom_target(nimbro_engine ALL DEPENDS ${NIMBRO_ENGINE_DAEMON} ${NIMBRO_ENGINE_CLIENT})

# The link is installed as a link (CMake keeps symbolic links as they are).
install(PROGRAMS ${NIMBRO_ENGINE_DAEMON} ${NIMBRO_ENGINE_CLIENT}
  DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/nimbro)
