# Runs the picture generator into SCRATCH and checks that it writes exactly the committed files
# of COMMITTED (every .bmp and .ico there), byte for byte.
#   cmake -DGENERATOR=path -DCOMMITTED=resources_dir -DSCRATCH=dir -P reproduce_pictures.cmake
file(REMOVE_RECURSE "${SCRATCH}")
execute_process(COMMAND "${GENERATOR}" "${SCRATCH}" RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the generator failed (${status}): ${errors}")
endif()

file(GLOB_RECURSE generated RELATIVE "${SCRATCH}" "${SCRATCH}/*")
file(GLOB_RECURSE committed RELATIVE "${COMMITTED}" "${COMMITTED}/*.bmp" "${COMMITTED}/*.ico")
list(SORT generated)
list(SORT committed)
if(NOT generated STREQUAL committed)
  message(FATAL_ERROR "the generator writes [${generated}] but resources/ holds [${committed}]")
endif()

set(differing "")
foreach(file IN LISTS generated)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${SCRATCH}/${file}"
                          "${COMMITTED}/${file}" RESULT_VARIABLE same)
  if(NOT same EQUAL 0)
    list(APPEND differing "${file}")
  endif()
endforeach()
if(differing)
  message(FATAL_ERROR "regenerated files differ from the committed ones: ${differing} "
                      "(the new output is in ${SCRATCH}). Either a drawing changed without its "
                      "files being regenerated and committed (target panel-pictures-update), or "
                      "this machine has another Liberation Sans Bold or FreeType than the one the "
                      "files were drawn with (fonts-liberation 1.07, FreeType 2.12).")
endif()
file(REMOVE_RECURSE "${SCRATCH}")
message(STATUS "all ${generated} reproduced")
