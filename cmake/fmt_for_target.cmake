# {fmt} for the target. A native build uses the installed library (libfmt-dev). A cross build
# finds no {fmt} of its target unless one was installed for it; then it uses {fmt} header-only,
# from the build machine's headers copied into the build tree, so that no other header of the
# build machine comes on the include path. fmt::fmt is global: static libraries that use it
# carry it into every program they are linked to.
find_package(fmt QUIET)
if(NOT TARGET fmt::fmt)
  if(NOT CMAKE_CROSSCOMPILING)
    find_package(fmt REQUIRED)
  endif()
  set(KQ_FMT_HEADERS /usr/include/fmt CACHE PATH "{fmt}'s headers, used header-only in a cross build")
  if(NOT EXISTS ${KQ_FMT_HEADERS}/format.h)
    message(FATAL_ERROR "{fmt}'s headers not found in ${KQ_FMT_HEADERS}: apt-get install libfmt-dev")
  endif()
  file(COPY ${KQ_FMT_HEADERS} DESTINATION ${PROJECT_BINARY_DIR}/fmt-headers)
  add_library(fmt::fmt INTERFACE IMPORTED GLOBAL)
  set_target_properties(fmt::fmt PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${PROJECT_BINARY_DIR}/fmt-headers
    INTERFACE_COMPILE_DEFINITIONS FMT_HEADER_ONLY=1)
endif()
