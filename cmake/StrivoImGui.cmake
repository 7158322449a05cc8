# Dear ImGui 1.86 from Debian on both platforms, wrapped once as strivo::imgui
# (core + the back-ends this platform's window uses) and strivo::stb (image
# decoding and PNG writing).
#   Linux:   libimgui-dev (static library with the SDL2 and OpenGL 3 back-ends).
#   Windows: the source package `imgui`, fetched outside git by
#            scripts/fetch-imgui-source.sh; core + Win32 + DX11 compiled here.

if(WIN32)
  set(STRIVO_IMGUI_SOURCE "" CACHE PATH "Unpacked Dear ImGui 1.86 sources (Debian source package imgui)")
  if(NOT STRIVO_IMGUI_SOURCE OR NOT EXISTS "${STRIVO_IMGUI_SOURCE}/imgui.cpp")
    execute_process(COMMAND "${CMAKE_SOURCE_DIR}/scripts/fetch-imgui-source.sh"
                    OUTPUT_VARIABLE fetched OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE result)
    if(NOT result EQUAL 0 OR NOT EXISTS "${fetched}/imgui.cpp")
      message(FATAL_ERROR "Dear ImGui sources not found; run scripts/fetch-imgui-source.sh")
    endif()
    set(STRIVO_IMGUI_SOURCE "${fetched}" CACHE PATH "" FORCE)
  endif()
  set(src "${STRIVO_IMGUI_SOURCE}")
  add_library(strivo_imgui STATIC
    ${src}/imgui.cpp ${src}/imgui_draw.cpp ${src}/imgui_widgets.cpp ${src}/imgui_tables.cpp
    ${src}/backends/imgui_impl_win32.cpp ${src}/backends/imgui_impl_dx11.cpp)
  target_include_directories(strivo_imgui SYSTEM PUBLIC "${src}" "${src}/backends")
  target_link_libraries(strivo_imgui PUBLIC d3d11 d3dcompiler dwmapi gdi32 imm32 dxgi)

  # stb headers only (never all of /usr/include under mingw); the implementation
  # is compiled once in strivo_stb.
  set(stb_links "${CMAKE_BINARY_DIR}/third_party/stb")
  file(MAKE_DIRECTORY "${stb_links}")
  foreach(header stb_image.h stb_image_write.h)
    if(NOT EXISTS "${stb_links}/${header}")
      file(CREATE_LINK "/usr/include/stb/${header}" "${stb_links}/${header}" SYMBOLIC)
    endif()
  endforeach()
  file(WRITE "${CMAKE_BINARY_DIR}/third_party/stb_impl.c"
       "#define STB_IMAGE_IMPLEMENTATION\n#define STB_IMAGE_WRITE_IMPLEMENTATION\n"
       "#include <stb_image.h>\n#include <stb_image_write.h>\n")
  add_library(strivo_stb STATIC "${CMAKE_BINARY_DIR}/third_party/stb_impl.c")
  target_include_directories(strivo_stb SYSTEM PUBLIC "${stb_links}")
else()
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(STRIVO_IMGUI_PC REQUIRED IMPORTED_TARGET imgui)
  pkg_check_modules(STRIVO_STB_PC REQUIRED IMPORTED_TARGET stb)
  pkg_check_modules(STRIVO_SDL2_PC REQUIRED IMPORTED_TARGET sdl2)
  find_package(OpenGL REQUIRED)
  add_library(strivo_imgui INTERFACE)
  target_include_directories(strivo_imgui SYSTEM INTERFACE /usr/include/imgui /usr/include/imgui/backends)
  target_link_libraries(strivo_imgui INTERFACE PkgConfig::STRIVO_IMGUI_PC PkgConfig::STRIVO_SDL2_PC
                        OpenGL::GL ${CMAKE_DL_LIBS})
  add_library(strivo_stb INTERFACE)
  target_link_libraries(strivo_stb INTERFACE PkgConfig::STRIVO_STB_PC)
endif()
add_library(strivo::imgui ALIAS strivo_imgui)
add_library(strivo::stb ALIAS strivo_stb)
