# Run by CPack between staging the installation and building the package.
# Debian's zsh looks for the completion functions of packages in
# /usr/share/zsh/vendor-completions; /usr/share/zsh/site-functions is not on
# its fpath, so a function left there would never be found.
if(CPACK_GENERATOR STREQUAL "DEB")
  set(staged "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/share/zsh")
  if(EXISTS "${staged}/site-functions/_nimbro")
    file(MAKE_DIRECTORY "${staged}/vendor-completions")
    file(RENAME "${staged}/site-functions/_nimbro" "${staged}/vendor-completions/_nimbro")
    file(GLOB left "${staged}/site-functions/*")
    if(NOT left)
      file(REMOVE_RECURSE "${staged}/site-functions")
    endif()
  endif()
endif()
