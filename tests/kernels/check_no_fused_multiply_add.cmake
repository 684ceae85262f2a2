# Disassembles OBJECTS (a ;-list of object files) with OBJDUMP and fails when any instruction is a
# fused multiply-add, in any form: x86-64 vfmadd, vfmsub, vfnmadd, vfnmsub (and their addsub and
# subadd forms); 64-bit ARM fmadd, fmsub, fnmadd, fnmsub, the vector fmla and fmls, and the
# scalable-vector fmad, fmsb, fnmad, fnmsb, fnmla, fnmls.
if(NOT OBJDUMP OR NOT OBJECTS)
  message(FATAL_ERROR "OBJDUMP and OBJECTS must be given")
endif()
set(checked 0)
foreach(object IN LISTS OBJECTS)
  execute_process(COMMAND ${OBJDUMP} -d --no-show-raw-insn ${object}
                  OUTPUT_VARIABLE listing RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} failed on ${object}")
  endif()
  string(REGEX MATCHALL "[ \t]v?fn?m(add|sub|la|ls|ad|sb)[0-9a-z]*[ \t][^\n]*" fused "${listing}")
  if(fused)
    list(GET fused 0 first)
    message(FATAL_ERROR "${object} holds a fused multiply-add: ${first}")
  endif()
  string(REGEX MATCHALL "\n[ \t]+[0-9a-f]+:" instructions "${listing}")
  list(LENGTH instructions count)
  math(EXPR checked "${checked} + ${count}")
endforeach()
if(checked EQUAL 0)
  message(FATAL_ERROR "no instructions found in ${OBJECTS}")
endif()
message(STATUS "${checked} instructions checked, no fused multiply-add")
