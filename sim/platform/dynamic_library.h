// Loading a shared library at run time and finding a function in it.
#ifndef KQ_SIM_PLATFORM_DYNAMIC_LIBRARY_H
#define KQ_SIM_PLATFORM_DYNAMIC_LIBRARY_H

#include <string>

namespace kq::platform {

// An opaque handle of a loaded library; nullptr is none.
using LibraryHandle = void*;

// Loads the library with every reference bound now and none of its symbols made visible to other
// libraries. Returns nullptr and a one-line reason in `reason` when it cannot.
LibraryHandle openLibrary(const std::string& path, std::string& reason);

// The address of the exported function `name`, or nullptr when the library has none.
void* librarySymbol(LibraryHandle library, const char* name);

// Unloads a library that openLibrary returned.
void closeLibrary(LibraryHandle library);

// The file name ending of a loadable library here: ".so" or ".dll".
const char* libraryFileSuffix();

}  // namespace kq::platform

#endif
