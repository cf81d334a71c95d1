# Run by CPack between staging the installation and building the package:
# what only the Debian package holds, in the places Debian wants it.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}")
set(staged "${root}/usr/share")

# Debian's zsh looks for the completion functions of packages in
# /usr/share/zsh/vendor-completions; /usr/share/zsh/site-functions is not on
# its fpath, so a function left there would never be found.
if(EXISTS "${staged}/zsh/site-functions/_nimbro")
  file(MAKE_DIRECTORY "${staged}/zsh/vendor-completions")
  file(RENAME "${staged}/zsh/site-functions/_nimbro" "${staged}/zsh/vendor-completions/_nimbro")
  file(GLOB left "${staged}/zsh/site-functions/*")
  if(NOT left)
    file(REMOVE_RECURSE "${staged}/zsh/site-functions")
  endif()
endif()

# Every Debian package carries its licence as a machine-readable copyright
# file, and its changelog compressed; -n keeps the archive reproducible.
set(doc "${staged}/doc/nimbro")
file(MAKE_DIRECTORY "${doc}")
file(READ "${CPACK_NIMBRO_SOURCE_DIR}/LICENSE" licence)
string(REGEX REPLACE "\n+$" "" licence "${licence}")
string(REGEX REPLACE "\n\n" "\n.\n" licence "${licence}")
string(REPLACE "\n" "\n " licence "${licence}")
file(WRITE "${doc}/copyright"
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: nimbro

Files: *
Copyright: 2026 the nimbro authors
License: BSD-3-Clause
 ${licence}
")
configure_file("${CPACK_NIMBRO_SOURCE_DIR}/cmake/debian/changelog.in"
  "${doc}/changelog.Debian" @ONLY)
execute_process(COMMAND gzip -9 -n -f "${doc}/changelog.Debian" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "gzip of changelog.Debian failed")
endif()
# Files created here get CPack's umask; Debian wants them 0644.
file(CHMOD "${doc}/copyright" "${doc}/changelog.Debian.gz"
  PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# With the engine: nimbro finds it only at its default place under
# /usr/local, whatever the package's prefix; the unit is written again for
# that place, where systemd looks for packaged units, and the settings
# example becomes /etc/default/nimbrod, a conffile (see node/debian/).
set(overrides "")
if(CPACK_NIMBRO_ENGINE)
  set(libexec "${root}${CPACK_NIMBRO_ENGINE_LIBEXEC}")
  get_filename_component(libexec_parent "${libexec}" DIRECTORY)
  file(MAKE_DIRECTORY "${libexec_parent}")
  file(RENAME "${root}/usr/libexec/nimbro" "${libexec}")
  file(REMOVE_RECURSE "${root}/usr/libexec" "${root}/usr/lib/systemd")
  file(GLOB left "${root}/usr/lib/*")
  if(NOT left)
    file(REMOVE_RECURSE "${root}/usr/lib")
  endif()
  set(NIMBRO_ENGINE_LIBEXEC "${CPACK_NIMBRO_ENGINE_LIBEXEC}")
  set(NIMBRO_DOC_DIR /usr/share/nimbro)
  configure_file("${CPACK_NIMBRO_SOURCE_DIR}/node/nimbrod.service.in"
    "${root}/lib/systemd/system/nimbrod.service" @ONLY)
  configure_file("${CPACK_NIMBRO_SOURCE_DIR}/node/nimbrod.default"
    "${root}/etc/default/nimbrod" COPYONLY)
  file(CHMOD "${root}/lib/systemd/system/nimbrod.service" "${root}/etc/default/nimbrod"
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  # The join at boot likewise, naming the packaged nimbro; it is not enabled
  # by the package: whoever provisions the key enables it.
  set(NIMBRO_BIN_DIR /usr/bin)
  configure_file("${CPACK_NIMBRO_SOURCE_DIR}/node/nimbro-join.service.in"
    "${root}/lib/systemd/system/nimbro-join.service" @ONLY)
  configure_file("${CPACK_NIMBRO_SOURCE_DIR}/node/nimbro-join.default"
    "${root}/etc/default/nimbro-join" COPYONLY)
  file(CHMOD "${root}/lib/systemd/system/nimbro-join.service" "${root}/etc/default/nimbro-join"
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  # install(PROGRAMS) is not stripped with the targets; the engine's symbols
  # and debugging data are a third of its size.
  execute_process(COMMAND strip --remove-section=.comment --remove-section=.note
      --strip-unneeded "${libexec}/tailscaled" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "strip of the engine failed")
  endif()
  string(APPEND overrides
"# Debian keeps /usr/local for the administrator, but nimbro looks for its
# engine in /usr/local/libexec/nimbro unless told otherwise, and the package
# puts it where nimbro looks, so that nimbro join works as installed.
nimbro: dir-in-usr-local [usr/local/libexec/]
nimbro: dir-in-usr-local [usr/local/libexec/nimbro/]
nimbro: file-in-usr-local [usr/local/libexec/nimbro/*]
nimbro: file-in-unusual-dir [usr/local/libexec/nimbro/*]
# The engine is Go, linked by Go's own linker as its upstream releases are:
# not position-independent, no RELRO. Go code does not rest on those as C
# does: it has no writable function pointer tables for them to protect.
nimbro: hardening-no-pie [usr/local/libexec/nimbro/tailscaled]
nimbro: hardening-no-relro [usr/local/libexec/nimbro/tailscaled]
")
endif()
if(CPACK_NIMBRO_LINKAGE STREQUAL "static")
  string(APPEND overrides
"# nimbro is linked statically on purpose: it starts one child and waits,
# and without the dynamic loader its start costs one exec and no relocations.
nimbro: statically-linked-binary [usr/bin/nimbro]
")
endif()
# The package is not uploaded to Debian: its changelog closes no Debian bug.
string(APPEND overrides "nimbro: initial-upload-closes-no-bugs [usr/share/doc/nimbro/changelog.Debian.gz:1]\n")
if(overrides)
  file(MAKE_DIRECTORY "${staged}/lintian/overrides")
  file(WRITE "${staged}/lintian/overrides/nimbro" "${overrides}")
  file(CHMOD "${staged}/lintian/overrides/nimbro"
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endif()
