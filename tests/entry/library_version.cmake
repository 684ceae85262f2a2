# Fails unless the block library file carries "kqphasefix2 version VERSION" as text.
#   cmake -DLIBRARY=path -DVERSION=x.y.z -P library_version.cmake
file(STRINGS "${LIBRARY}" found REGEX "kqphasefix2 version [0-9.]+")
# The printable run may begin with bytes stored before the text; debug information may hold the
# text a second time.
list(TRANSFORM found REPLACE "^.*(kqphasefix2 version [0-9.]+).*$" "\\1")
list(REMOVE_DUPLICATES found)
if(NOT found STREQUAL "kqphasefix2 version ${VERSION}")
  message(FATAL_ERROR "${LIBRARY}: expected 'kqphasefix2 version ${VERSION}', found '${found}'")
endif()
