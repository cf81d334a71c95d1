# Layers point one way: src/base knows nothing of src/cli, and the process
# plumbing in src/cli knows nothing of the commands. Run as
#   cmake -DSOURCE_DIR=<checkout> -P tests/layering.cmake
# It fails naming every include that points up.

# The plumbing, by file name without a system suffix: starting, feeding and
# waiting for children, descriptors, streams, files, signals, errors.
set(PLUMBING
  runner spawn spawn_close child_wait child_streams exit_descriptor look_path cloexec_pipe
  stream file read_file context process signal_watch workdir syserr system_text
  signal_names errors)
list(JOIN PLUMBING "|" PLUMBING_RE)

set(violations "")

file(GLOB base_files "${SOURCE_DIR}/src/base/*.h" "${SOURCE_DIR}/src/base/*.cpp"
     "${SOURCE_DIR}/src/base/*.inc")
foreach(path IN LISTS base_files)
  file(STRINGS "${path}" lines REGEX "^#include \"")
  foreach(line IN LISTS lines)
    if(NOT line MATCHES "^#include \"base/")
      list(APPEND violations "${path}: ${line}")
    endif()
  endforeach()
endforeach()

file(GLOB cli_files "${SOURCE_DIR}/src/cli/*.h" "${SOURCE_DIR}/src/cli/*.cpp")
foreach(path IN LISTS cli_files)
  get_filename_component(stem "${path}" NAME_WE)
  string(REGEX REPLACE "_(linux|darwin|posix|unix)$" "" stem "${stem}")
  if(NOT stem MATCHES "^(${PLUMBING_RE})$")
    continue()
  endif()
  file(STRINGS "${path}" lines REGEX "^#include \"")
  foreach(line IN LISTS lines)
    if(line MATCHES "^#include \"base/")
      continue()
    endif()
    if(line MATCHES "^#include \"cli/([a-z_]+)\\.h\"")
      if(CMAKE_MATCH_1 MATCHES "^(${PLUMBING_RE})$")
        continue()
      endif()
    endif()
    list(APPEND violations "${path}: ${line}")
  endforeach()
endforeach()

if(NOT base_files OR NOT cli_files)
  message(FATAL_ERROR "no sources found under ${SOURCE_DIR}/src")
endif()
if(violations)
  list(JOIN violations "\n  " text)
  message(FATAL_ERROR "includes that point up a layer:\n  ${text}")
endif()
