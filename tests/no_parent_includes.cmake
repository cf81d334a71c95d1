# Fails naming every include under SOURCE_DIR whose path climbs out of a
# folder: "../../cli/app.h" finds a header of a floor above by where the
# including file lies, whatever include directories its library has.
file(GLOB_RECURSE sources "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.cpp")
set(found "")
foreach(source IN LISTS sources)
  file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]*\\.\\.[/\\\\]")
  foreach(line IN LISTS lines)
    list(APPEND found "${source}: ${line}")
  endforeach()
endforeach()
if(found)
  list(JOIN found "\n" found)
  message(FATAL_ERROR "includes that climb out of their folder:\n${found}")
endif()
