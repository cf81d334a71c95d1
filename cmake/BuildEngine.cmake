# cmake -P script: builds the engine's one binary and its client link.
# In: GO, MODULE_DIR (holds the go.mod pinning the engine), VERSION,
# FEATURES (comma-separated features to keep), DAEMON and CLIENT (paths).
# Go's own caches (go env GOMODCACHE, GOCACHE) are used as they are, so that
# every build on the machine shares them; GOFLAGS from the environment (for
# instance -p=2 on a busy machine) is honoured.
foreach(var GO MODULE_DIR VERSION FEATURES DAEMON CLIENT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "BuildEngine.cmake: ${var} is not set")
  endif()
endforeach()

# The pinned release's own feature list turns "keep these" into the build
# tags that leave out everything else, and refuses to drop a feature that a
# kept one depends on.
execute_process(
  COMMAND ${GO} run tailscale.com/cmd/featuretags --min --add=${FEATURES}
  WORKING_DIRECTORY ${MODULE_DIR}
  OUTPUT_VARIABLE tags
  OUTPUT_STRIP_TRAILING_WHITESPACE
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT tags MATCHES "ts_include_cli")
  message(FATAL_ERROR "the engine's feature list refused ${FEATURES}")
endif()

# Built outside its repository the engine has no version control stamp and
# would call itself x.y.z-ERR-BuildInfo: give it its version the way its own
# release build does. -trimpath keeps this machine's paths out of the binary.
get_filename_component(out_dir ${DAEMON} DIRECTORY)
file(MAKE_DIRECTORY ${out_dir})
execute_process(
  COMMAND ${GO} build -trimpath -buildvcs=false -tags=${tags}
    "-ldflags=-X tailscale.com/version.longStamp=${VERSION} -X tailscale.com/version.shortStamp=${VERSION}"
    -o ${DAEMON}.new tailscale.com/cmd/tailscaled
  WORKING_DIRECTORY ${MODULE_DIR}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  file(REMOVE ${DAEMON}.new)
  message(FATAL_ERROR "building the engine failed")
endif()
file(RENAME ${DAEMON}.new ${DAEMON})

get_filename_component(daemon_name ${DAEMON} NAME)
file(REMOVE ${CLIENT})
file(CREATE_LINK ${daemon_name} ${CLIENT} SYMBOLIC)
