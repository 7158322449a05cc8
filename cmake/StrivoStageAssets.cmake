# strivo_stage_assets(<name> DESTINATION <folder in dist> FILES <file> ...)
# Copies data files into the program folder at build time (target strivo_assets_<name>,
# part of ALL), keeping them up to date when the sources change.
include_guard(GLOBAL)

function(strivo_stage_assets name)
  cmake_parse_arguments(ARG "" "DESTINATION" "FILES" ${ARGN})
  set(outputs "")
  foreach(file ${ARG_FILES})
    get_filename_component(source "${file}" ABSOLUTE)
    get_filename_component(base "${file}" NAME)
    set(output "${STRIVO_DIST_DIR}/${ARG_DESTINATION}/${base}")
    add_custom_command(OUTPUT "${output}"
      COMMAND ${CMAKE_COMMAND} -E make_directory "${STRIVO_DIST_DIR}/${ARG_DESTINATION}"
      COMMAND ${CMAKE_COMMAND} -E copy_if_different "${source}" "${output}"
      DEPENDS "${source}"
      COMMENT "Staging ${ARG_DESTINATION}/${base}")
    list(APPEND outputs "${output}")
  endforeach()
  add_custom_target(strivo_assets_${name} ALL DEPENDS ${outputs})
endfunction()
