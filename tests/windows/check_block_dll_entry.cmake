# cmake -DOBJDUMP=... -DNM=... -DDLL=... -P check_block_dll_entry.cmake
# What the loader runs in the block library: its entry point is DllMain itself (no C runtime
# start-up code before it), the library imports DisableThreadLibraryCalls, and it has no
# thread-local storage directory, whose callbacks would run at load and for every thread, and for
# which the loader ignores DisableThreadLibraryCalls.
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
execute_process(COMMAND ${NM} ${DLL} OUTPUT_VARIABLE symbols RESULT_VARIABLE nmStatus)
if(NOT status EQUAL 0 OR NOT nmStatus EQUAL 0)
  message(FATAL_ERROR "cannot read ${DLL} with ${OBJDUMP} and ${NM}")
endif()
set(failures "")

# The import table lists each library's functions after "\tDLL Name: NAME", up to a blank line.
string(REGEX MATCH "\n\tDLL Name: KERNEL32.dll\n[^\n]*\n([^\n]+\n)*" kernel32 "${dump}")
if(NOT kernel32 MATCHES "[ \t]DisableThreadLibraryCalls\n")
  list(APPEND failures "DisableThreadLibraryCalls is not imported from KERNEL32.dll")
endif()

if(NOT dump MATCHES "\nEntry 9 0+ 0+ Thread Storage Directory")
  list(APPEND failures "the library has a thread-local storage directory")
endif()

string(REGEX MATCH "\nAddressOfEntryPoint[ \t]+([0-9a-fA-F]+)" ignored "${dump}")
set(entryRva "${CMAKE_MATCH_1}")
string(REGEX MATCH "\nImageBase[ \t]+([0-9a-fA-F]+)" ignored "${dump}")
set(imageBase "${CMAKE_MATCH_1}")
string(REGEX MATCH "(^|\n)([0-9a-fA-F]+) T DllMain\n" ignored "${symbols}")
set(dllMain "${CMAKE_MATCH_2}")
if(entryRva STREQUAL "" OR imageBase STREQUAL "" OR dllMain STREQUAL "")
  list(APPEND failures "entry point ('${entryRva}'), image base ('${imageBase}') or DllMain "
                       "('${dllMain}') not found")
else()
  math(EXPR entry "0x${imageBase} + 0x${entryRva}" OUTPUT_FORMAT HEXADECIMAL)
  math(EXPR dllMainAddress "0x${dllMain}" OUTPUT_FORMAT HEXADECIMAL)
  if(NOT entry STREQUAL dllMainAddress)
    list(APPEND failures "the entry point is ${entry}, not DllMain at ${dllMainAddress}")
  endif()
endif()

if(failures)
  list(JOIN failures "; " text)
  message(FATAL_ERROR "${DLL}: ${text}")
endif()
message(STATUS "${DLL}: entered at DllMain, imports DisableThreadLibraryCalls, no TLS directory")
