# Stages the run-time data files into the program folder (dist/), laid out as the
# program looks for them: fonts/ and images/ beside the executable.

# Fonts come from Debian's font packages (free licences), installed under the
# file names the program loads. A package that is missing only costs its font:
# the program then uses the library's built-in font.
set(STRIVO_FONT_FILES
  "fredoka.ttf=/usr/share/fonts/truetype/comfortaa/Comfortaa-Bold.ttf"
  "Fredoka-Bold.ttf=/usr/share/fonts/truetype/comfortaa/Comfortaa-Bold.ttf"
  "quicksand.ttf=/usr/share/fonts/truetype/quicksand/Quicksand-Medium.ttf"
  "LICENSE-comfortaa.txt=/usr/share/doc/fonts-comfortaa/copyright"
  "LICENSE-quicksand.txt=/usr/share/doc/fonts-quicksand/copyright")

# strivo_stage_file(<list var of outputs> <source> <destination relative to dist>)
function(strivo_stage_file outputs source destination)
  set(target_file "${STRIVO_DIST_DIR}/${destination}")
  add_custom_command(OUTPUT "${target_file}"
    COMMAND ${CMAKE_COMMAND} -E copy_if_different "${source}" "${target_file}"
    DEPENDS "${source}" VERBATIM)
  set(${outputs} ${${outputs}} "${target_file}" PARENT_SCOPE)
endfunction()

# strivo_stage_gui_assets(<program target>): fonts and images, built with the program.
function(strivo_stage_gui_assets program)
  set(staged)
  foreach(entry IN LISTS STRIVO_FONT_FILES)
    string(REPLACE "=" ";" pair "${entry}")
    list(GET pair 0 name)
    list(GET pair 1 source)
    if(EXISTS "${source}")
      strivo_stage_file(staged "${source}" "fonts/${name}")
    else()
      message(WARNING "Font source ${source} missing (scripts/deps.sh installs it); the program will use the built-in font")
    endif()
  endforeach()
  strivo_stage_file(staged "${CMAKE_SOURCE_DIR}/assets/images/svlogo_64.png" "images/svlogo_64.png")
  add_custom_target(strivo_gui_assets ALL DEPENDS ${staged})
  add_dependencies(${program} strivo_gui_assets)
endfunction()
