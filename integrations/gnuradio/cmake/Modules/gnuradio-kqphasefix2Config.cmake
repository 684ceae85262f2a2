find_package(PkgConfig)

PKG_CHECK_MODULES(PC_GR_KQPHASEFIX2 gnuradio-kqphasefix2)

FIND_PATH(
    GR_KQPHASEFIX2_INCLUDE_DIRS
    NAMES gnuradio/kqphasefix2/api.h
    HINTS $ENV{KQPHASEFIX2_DIR}/include
        ${PC_KQPHASEFIX2_INCLUDEDIR}
    PATHS ${CMAKE_INSTALL_PREFIX}/include
          /usr/local/include
          /usr/include
)

FIND_LIBRARY(
    GR_KQPHASEFIX2_LIBRARIES
    NAMES gnuradio-kqphasefix2
    HINTS $ENV{KQPHASEFIX2_DIR}/lib
        ${PC_KQPHASEFIX2_LIBDIR}
    PATHS ${CMAKE_INSTALL_PREFIX}/lib
          ${CMAKE_INSTALL_PREFIX}/lib64
          /usr/local/lib
          /usr/local/lib64
          /usr/lib
          /usr/lib64
          )

include("${CMAKE_CURRENT_LIST_DIR}/gnuradio-kqphasefix2Target.cmake")

INCLUDE(FindPackageHandleStandardArgs)
FIND_PACKAGE_HANDLE_STANDARD_ARGS(GR_KQPHASEFIX2 DEFAULT_MSG GR_KQPHASEFIX2_LIBRARIES GR_KQPHASEFIX2_INCLUDE_DIRS)
MARK_AS_ADVANCED(GR_KQPHASEFIX2_LIBRARIES GR_KQPHASEFIX2_INCLUDE_DIRS)
