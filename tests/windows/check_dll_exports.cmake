# cmake -DOBJDUMP=... -DDLL=... -DEXPECTED="name;..." -P check_dll_exports.cmake
# Fails unless the DLL's export table holds exactly the EXPECTED names, and no export by ordinal
# alone. Reads the table as objdump -p prints it.
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()

# "Export Address Table -- Ordinal Base 1" then one "\t[   0] +base[   1] 1cc0 Export RVA" per
# export, named or not.
string(REGEX MATCHALL "\n\t\\[ *[0-9]+\\] \\+base\\[ *[0-9]+\\] [0-9a-f]+ Export RVA" addresses
       "${dump}")
list(LENGTH addresses exportCount)

# "[Ordinal/Name Pointer] Table" then one "\t[   0] name" per named export, up to a blank line.
string(FIND "${dump}" "[Ordinal/Name Pointer] Table\n" start)
set(names "")
if(NOT start EQUAL -1)
  string(SUBSTRING "${dump}" ${start} -1 rest)
  string(FIND "${rest}" "\n\n" end)
  string(SUBSTRING "${rest}" 0 ${end} table)
  string(REGEX MATCHALL "\n\t\\[ *[0-9]+\\] [^\n]+" lines "${table}")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^\n\t\\[ *[0-9]+\\] " "" name "${line}")
    list(APPEND names "${name}")
  endforeach()
endif()

list(SORT names)
set(expected ${EXPECTED})
list(SORT expected)
list(LENGTH expected expectedCount)
if(NOT names STREQUAL expected OR NOT exportCount EQUAL expectedCount)
  message(FATAL_ERROR "${DLL} exports ${exportCount} entries named [${names}]; "
                      "expected exactly [${expected}]")
endif()
message(STATUS "${DLL} exports exactly [${names}]")
