# The Debian packages, made from a Release build with `cpack -G DEB` in its folder
# (scripts/test-packages.sh builds, checks, installs and purges them):
#   kqphasefix2          the block, with the stand-in host's libraries, in its private folder
#   kqhost               the command-line host and its man page; depends on the block's package
#   python3-kqphasefix2  the Python module for Debian's python3 (when KQ_BUILD_PYTHON is on)
# Each carries the licence as a machine-readable copyright file, the changelog of the Debian
# packages and lintian's overrides, each with its reason (packaging/lintian-overrides).
# Binaries are stripped; the Release build has no debug information to ship apart.
set(KQ_DEBIAN_RELEASE 1)
set(KQ_DEBIAN_VERSION ${PROJECT_VERSION}-${KQ_DEBIAN_RELEASE})
set(KQ_PACKAGE_CONTACT "kqphasefix2 developers <kqphasefix2@example.org>")
set(KQ_PACKAGE_COMPONENTS block kqhost)
if(KQ_BUILD_PYTHON)
  list(APPEND KQ_PACKAGE_COMPONENTS python)
endif()
# The package of each component, in the order of KQ_PACKAGE_COMPONENTS.
set(KQ_PACKAGE_NAMES kqphasefix2 kqhost python3-kqphasefix2)

# The documents every package carries, made where a Linux system builds for itself, in the
# Release builds the packages come from (the man page runs kqhost; an instrumented one is not
# packaged).
if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT CMAKE_CROSSCOMPILING
   AND CMAKE_BUILD_TYPE STREQUAL "Release"
   AND NOT (KQ_SANITIZE OR KQ_SANITIZE_THREAD OR KQ_BUILD_FUZZERS))
  set(KQ_PACKAGING_DIR ${PROJECT_BINARY_DIR}/packaging)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.Debian.in
                 ${KQ_PACKAGING_DIR}/changelog.Debian @ONLY)
  # gzip -9n: the smallest file, without a time stamp, so that the packages are reproducible.
  add_custom_command(OUTPUT ${KQ_PACKAGING_DIR}/changelog.Debian.gz
    COMMAND gzip -9nf --keep ${KQ_PACKAGING_DIR}/changelog.Debian
    DEPENDS ${KQ_PACKAGING_DIR}/changelog.Debian)
  set(KQ_PACKAGING_OUTPUTS ${KQ_PACKAGING_DIR}/changelog.Debian.gz)

  # kqhost's man page, made from its --help and --version by help2man where it is installed.
  find_program(KQ_HELP2MAN help2man)
  if(KQ_HELP2MAN)
    add_custom_command(OUTPUT ${KQ_PACKAGING_DIR}/kqhost.1.gz
      COMMAND ${KQ_HELP2MAN} --no-info --section 1
              --name "command-line simulation host for the kqphasefix2 phase-unwrap block"
              --output ${KQ_PACKAGING_DIR}/kqhost.1 $<TARGET_FILE:kqhost>
      COMMAND gzip -9nf ${KQ_PACKAGING_DIR}/kqhost.1
      DEPENDS kqhost)
    list(APPEND KQ_PACKAGING_OUTPUTS ${KQ_PACKAGING_DIR}/kqhost.1.gz)
    install(FILES ${KQ_PACKAGING_DIR}/kqhost.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
            COMPONENT kqhost)
  else()
    message(STATUS "help2man not found: no man page for kqhost (apt-get install help2man)")
  endif()
  add_custom_target(kq_package_documents ALL DEPENDS ${KQ_PACKAGING_OUTPUTS})

  foreach(component package IN ZIP_LISTS KQ_PACKAGE_COMPONENTS KQ_PACKAGE_NAMES)
    if(component)
      install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright
              DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component})
      # Only in the packages (CPack installs component by component), not in cmake --install.
      install(FILES ${KQ_PACKAGING_DIR}/changelog.Debian.gz
              DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${package} COMPONENT ${component}
              EXCLUDE_FROM_ALL)
      install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
              DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/lintian/overrides RENAME ${package}
              COMPONENT ${component} EXCLUDE_FROM_ALL)
    endif()
  endforeach()
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kqphasefix2)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "kqphasefix2 developers")
set(CPACK_PACKAGE_CONTACT ${KQ_PACKAGE_CONTACT})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL ${KQ_PACKAGE_COMPONENTS})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${KQ_DEBIAN_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SOURCE kqphasefix2)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The system's libraries from dpkg-shlibdeps; kqhost's dependency on the block's package, whose
# private libraries it links to, is written out. dpkg-shlibdeps runs in each package's staging
# folder and finds those libraries in the block's, beside it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ../block${CPACK_PACKAGING_INSTALL_PREFIX}/${KQ_INSTALL_BLOCKDIR})
# Directories root:root 0755, as Debian wants them, whatever the builder's umask.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_BLOCK_PACKAGE_NAME kqphasefix2)
set(CPACK_DEBIAN_BLOCK_DESCRIPTION
    "phase-unwrap block for block-diagram simulation hosts
The block library kqphasefix2.so, which a simulation host loads and
drives through its one exported C entry point, kvxFunction. Along each
channel it unwraps the phase, exact to the bit in double and single
precision, stateless or running. The package holds the stand-in host's
libraries (libvz, libkvx, libsig_blk_common) beside the block, in a
private folder.")

set(CPACK_DEBIAN_KQHOST_PACKAGE_NAME kqhost)
set(CPACK_DEBIAN_KQHOST_PACKAGE_DEPENDS "kqphasefix2 (= ${KQ_DEBIAN_VERSION})")
set(CPACK_DEBIAN_KQHOST_DESCRIPTION
    "command-line simulation host for the kqphasefix2 block
kqhost loads the kqphasefix2 phase-unwrap block and runs real
simulations with it on signal files (run), prints its code-generation
record (gxw), writes C code for a model (generate), queries its sizes
(sizes) and checks it against a plain reference with seeded random
simulations (validate).")

set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-kqphasefix2)
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
# The python3 the extension is built for, and numpy (python/CMakeLists.txt).
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "${KQ_PYTHON_DEBIAN_DEPENDS}")
set(CPACK_DEBIAN_PYTHON_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/python3-kqphasefix2/postinst
    ${PROJECT_SOURCE_DIR}/packaging/python3-kqphasefix2/prerm)
set(CPACK_DEBIAN_PYTHON_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PYTHON_DESCRIPTION
    "phase unwrapping with the bits of the kqphasefix2 block (Python 3)
The module kqphasefix2 unwraps the phase of numpy arrays with the
kqphasefix2 block's kernels, at the same vector level, so that a
simulation's output can be checked bit for bit offline: unwrap for whole
arrays and Unwrapper for chunk after chunk, as the running block.
kqphasefix2.dask and kqphasefix2.xarray unwrap chunked arrays with
python3-dask and python3-xarray.")
if(KQ_BUILD_PYTHON)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SUGGESTS "python3-dask, python3-distributed, python3-xarray")
endif()

include(CPack)
