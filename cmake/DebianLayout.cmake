# Run by CPack between staging the installation and building the package:
# what only the Debian package holds, in the places Debian wants it.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(staged "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/share")

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

if(CPACK_NIMBRO_LINKAGE STREQUAL "static")
  file(MAKE_DIRECTORY "${staged}/lintian/overrides")
  file(WRITE "${staged}/lintian/overrides/nimbro"
"# nimbro is linked statically on purpose: it starts one child and waits,
# and without the dynamic loader its start costs one exec and no relocations.
nimbro: statically-linked-binary [usr/bin/nimbro]
")
  file(CHMOD "${staged}/lintian/overrides/nimbro"
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endif()
