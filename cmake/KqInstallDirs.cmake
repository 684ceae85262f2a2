# The installed tree. The block and the stand-in host's libraries share a private folder, apart
# from the system's libraries, whose names the libraries of a real host may take:
# lib/<multiarch triplet>/kqphasefix2 where the system has a triplet (the Debian packages give
# /usr/lib/x86_64-linux-gnu/kqphasefix2), lib/kqphasefix2 elsewhere; on Windows, where a program's
# libraries sit beside it, bin/. KQ_INSTALL_BLOCKDIR_FROM_BINDIR is that folder seen from kqhost's,
# so that an installed kqhost finds the block and its libraries under any prefix.
include(GNUInstallDirs)
if(WIN32)
  set(KQ_INSTALL_BLOCKDIR ${CMAKE_INSTALL_BINDIR})
elseif(CMAKE_LIBRARY_ARCHITECTURE)
  set(KQ_INSTALL_BLOCKDIR lib/${CMAKE_LIBRARY_ARCHITECTURE}/kqphasefix2)
else()
  set(KQ_INSTALL_BLOCKDIR ${CMAKE_INSTALL_LIBDIR}/kqphasefix2)
endif()
cmake_path(RELATIVE_PATH KQ_INSTALL_BLOCKDIR BASE_DIRECTORY ${CMAKE_INSTALL_BINDIR}
           OUTPUT_VARIABLE KQ_INSTALL_BLOCKDIR_FROM_BINDIR)
