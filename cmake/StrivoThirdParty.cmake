# Third-party libraries, all from Debian's archive. Each is wrapped once here as
# a strivo:: target so the rest of the build never repeats its configuration.

# Header-only libraries. For mingw we must never add /usr/include (glibc headers
# break winnt.h), so expose just the needed folders through a build-tree folder of links.
set(STRIVO_HEADER_LINKS "${CMAKE_BINARY_DIR}/third_party/include")
file(MAKE_DIRECTORY "${STRIVO_HEADER_LINKS}")
foreach(dir nlohmann flatbuffers openxr)
  if(NOT EXISTS "${STRIVO_HEADER_LINKS}/${dir}")
    file(CREATE_LINK "/usr/include/${dir}" "${STRIVO_HEADER_LINKS}/${dir}" SYMBOLIC)
  endif()
endforeach()
add_library(strivo_json INTERFACE)
add_library(strivo::json ALIAS strivo_json)
target_include_directories(strivo_json SYSTEM INTERFACE "${STRIVO_HEADER_LINKS}")

# FlatBuffers' runtime (builder and verifier) is header-only; accessors are generated
# at build time by the host's flatc from our own schemas.
add_library(strivo_flatbuffers INTERFACE)
add_library(strivo::flatbuffers ALIAS strivo_flatbuffers)
target_include_directories(strivo_flatbuffers SYSTEM INTERFACE "${STRIVO_HEADER_LINKS}")
find_program(STRIVO_FLATC flatc REQUIRED)

# strivo_flatbuffers_schema(target schema.fbs): generates <schema>_generated.h into
# the build tree and exposes it to `target` as "<schema>_generated.h".
function(strivo_flatbuffers_schema target schema)
  get_filename_component(stem "${schema}" NAME_WE)
  set(out_dir "${CMAKE_CURRENT_BINARY_DIR}/generated")
  set(header "${out_dir}/${stem}_generated.h")
  add_custom_command(OUTPUT "${header}"
    COMMAND "${STRIVO_FLATC}" --cpp -o "${out_dir}" "${CMAKE_CURRENT_SOURCE_DIR}/${schema}"
    DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/${schema}"
    COMMENT "Generating ${stem}_generated.h" VERBATIM)
  target_sources(${target} PRIVATE "${header}")
  target_include_directories(${target} PUBLIC "${out_dir}")
  target_link_libraries(${target} PUBLIC strivo::flatbuffers)
endfunction()

# OpenXR headers (libopenxr-dev); the Linux loader library only for tests that load layers through it.
add_library(strivo_openxr_headers INTERFACE)
add_library(strivo::openxr_headers ALIAS strivo_openxr_headers)
target_include_directories(strivo_openxr_headers SYSTEM INTERFACE "${STRIVO_HEADER_LINKS}")
target_compile_definitions(strivo_openxr_headers INTERFACE XR_NO_PROTOTYPES)

find_package(Threads REQUIRED)

if(WIN32)
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest "${CMAKE_BINARY_DIR}/third_party/googletest" EXCLUDE_FROM_ALL)
else()
  find_package(GTest REQUIRED)
  find_package(benchmark QUIET)
endif()
include(GoogleTest)

# X11 and XTest, for simulated keys on Linux.
if(NOT WIN32)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(STRIVO_X11 REQUIRED IMPORTED_TARGET x11 xtst)
  add_library(strivo_x11 INTERFACE)
  add_library(strivo::x11 ALIAS strivo_x11)
  target_link_libraries(strivo_x11 INTERFACE PkgConfig::STRIVO_X11)
endif()
