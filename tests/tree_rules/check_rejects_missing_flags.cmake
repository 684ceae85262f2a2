# The floating-point flag check must see a missing flag: configures the probe of flag_probe/ with
# CXX_COMPILER into BUILD_DIR and runs check_floating_point_flags.cmake on each of its objects.
# Each object without a flag must be rejected for that flag, the object whose contraction is taken
# back for that, and the complete object passed.
cmake_minimum_required(VERSION 3.25)
set(check ${CMAKE_CURRENT_LIST_DIR}/check_floating_point_flags.cmake)
execute_process(COMMAND ${CMAKE_COMMAND} --fresh -S ${CMAKE_CURRENT_LIST_DIR}/flag_probe
                        -B ${BUILD_DIR} -G Ninja -DCMAKE_EXPORT_COMPILE_COMMANDS=ON
                        -DCMAKE_CXX_COMPILER=${CXX_COMPILER}
                RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(failed)
  message(FATAL_ERROR "configuring the probe failed:\n${output}")
endif()

# Runs the check on the probe object in `folder`; `expected` is what its output must hold, and
# `mustPass` whether it must succeed.
set(faults "")
function(kq_probe_row folder mustPass expected)
  execute_process(COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${BUILD_DIR} -DFOLDERS=${BUILD_DIR}/${folder}
                          -P ${check}
                  RESULT_VARIABLE failed OUTPUT_VARIABLE output ERROR_VARIABLE output)
  string(REGEX REPLACE "[ \n]+" " " output "${output}")
  string(FIND "${output}" "${expected}" at)
  if(mustPass)
    set(verdict "pass")
  else()
    set(verdict "be rejected")
  endif()
  if((failed AND mustPass) OR (NOT failed AND NOT mustPass) OR at LESS 0)
    set(faults "${faults}\n  ${folder}: should ${verdict} with \"${expected}\", got: ${output}"
        PARENT_SCOPE)
  endif()
endfunction()

file(READ ${BUILD_DIR}/probed_flags.txt flags)
set(rows 0)
foreach(dropped IN LISTS flags)
  string(MAKE_C_IDENTIFIER "${dropped}" name)
  kq_probe_row(without${name} FALSE "probe.cpp lacks ${dropped}")
  math(EXPR rows "${rows} + 1")
endforeach()
kq_probe_row(taken_back FALSE "has -ffp-contract=off taken back by -ffp-contract=fast")
kq_probe_row(complete TRUE "1 source(s) under")
if(faults)
  message(FATAL_ERROR "the floating-point flag check misjudged a probe:${faults}")
endif()
list(JOIN flags " " shown)
message(STATUS "the check rejected a probe without each of ${rows} flags (${shown}) and one that "
               "takes contraction back, and passed the complete probe")
