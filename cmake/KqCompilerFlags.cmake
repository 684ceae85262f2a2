# The compiler flags of the tree: the floating-point flags that decide the bits of the unwrap,
# the warning flags, and the instruction-set flags of each vector level. The top level, kernels/
# (which also builds on its own), python/ and the engine integrations include this file, so none
# of them restates a flag. Every list holds C as well as C++ options.
#
#   KQ_FLOATING_POINT_FLAGS       no contraction into fused multiply-add (which GCC does by default
#                                 on 64-bit ARM), no fast-math, SSE2 rather than x87 on x86-64,
#                                 and clang's exceptions that may trap; every target, every build
#   kq_floating_point_flags_for(<out> <compiler id>)  the same flags as a plain list for one
#                                 compiler (a CMAKE_<LANG>_COMPILER_ID), for checks and for calls
#                                 of the compiler outside a target
#   KQ_WARNING_FLAGS              the warnings every target of ours builds with, as errors under
#                                 KQ_WARNINGS_AS_ERRORS
#   KQ_VECTOR_LEVELS              the vector levels this architecture builds, by the names of
#                                 kernels/vector_level.h ("avx2", ...): kernels/simd/unwrap_<name>.cpp
#   KQ_VECTOR_LEVEL_FLAGS_<name>  the instruction-set flags of that level's translation unit
#   kq_vector_level_source(<source> <name>)  compiles one source with a level's flags
#
# tests/tree_rules checks the compile commands of every build that compiles the kernels for the
# floating-point flags, with each compiler.
# Once per directory and those below it: its variables are the including directory's, so a project
# that adds the top level as a subdirectory and then includes this file gets them too.
include_guard(DIRECTORY)

# Flags every compiler takes.
set(KQ_FLOATING_POINT_FLAGS_ANY_COMPILER -ffp-contract=off -fno-fast-math)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64")
  list(APPEND KQ_FLOATING_POINT_FLAGS_ANY_COMPILER -mfpmath=sse)
endif()
# clang folds a conditional addition (if (take) S = S + c) into one unconditional addition of c or
# -0.0, which turns a signalling NaN that no correction touches into a quiet one. With exceptions
# that may trap it keeps every operation that the code does not write.
set(KQ_FLOATING_POINT_FLAGS_CLANG -ffp-exception-behavior=maytrap)

function(kq_floating_point_flags_for out compilerId)
  set(flags ${KQ_FLOATING_POINT_FLAGS_ANY_COMPILER})
  if(compilerId MATCHES "Clang")
    list(APPEND flags ${KQ_FLOATING_POINT_FLAGS_CLANG})
  endif()
  set(${out} ${flags} PARENT_SCOPE)
endfunction()

# The compiler is asked per language and per source, so a C source compiled by clang in a build
# whose C++ compiler is GCC still gets clang's flags.
set(KQ_FLOATING_POINT_FLAGS ${KQ_FLOATING_POINT_FLAGS_ANY_COMPILER})
foreach(flag IN LISTS KQ_FLOATING_POINT_FLAGS_CLANG)
  list(APPEND KQ_FLOATING_POINT_FLAGS
       "$<$<OR:$<COMPILE_LANG_AND_ID:C,Clang,AppleClang>,$<COMPILE_LANG_AND_ID:CXX,Clang,AppleClang>>:${flag}>")
endforeach()

option(KQ_WARNINGS_AS_ERRORS "Fail the build on any compiler warning" ON)
set(KQ_WARNING_FLAGS -Wall -Wextra -Wpedantic -Wshadow)
if(KQ_WARNINGS_AS_ERRORS)
  list(APPEND KQ_WARNING_FLAGS -Werror)
endif()

if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64")
  # Never -mfma: a fused multiply-add rounds once where the step rounds twice. Every extension
  # these flags enable must be asked of the processor (kAvx2LevelExtensions and
  # kAvx512LevelExtensions in kernels/vector_level.h); the kernel test
  # KernelSets.VectorLevelFlagsAskForTheirExtensions compares them.
  set(KQ_VECTOR_LEVELS avx2 avx512)
  set(KQ_VECTOR_LEVEL_FLAGS_avx2 -mavx2)
  set(KQ_VECTOR_LEVEL_FLAGS_avx512 -mavx512f -mavx512vl)
  # GCC 12's AVX-512 header initialises its "undefined" vectors from themselves, which
  # -Wmaybe-uninitialized (and, in a function that is not inlined, -Wuninitialized) then reports
  # inside every inlined conversion and permutation.
  set(KQ_VECTOR_LEVEL_WARNINGS_avx512
      $<$<CXX_COMPILER_ID:GNU>:-Wno-maybe-uninitialized$<SEMICOLON>-Wno-uninitialized>)
elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "aarch64|arm64|ARM64")
  # Advanced SIMD is in every 64-bit ARM processor: the level needs no flag and no check.
  set(KQ_VECTOR_LEVELS neon)
  set(KQ_VECTOR_LEVEL_FLAGS_neon "")
else()
  set(KQ_VECTOR_LEVELS "")
endif()

function(kq_vector_level_source source level)
  set_source_files_properties(${source} PROPERTIES COMPILE_OPTIONS
    "${KQ_VECTOR_LEVEL_FLAGS_${level}};${KQ_VECTOR_LEVEL_WARNINGS_${level}}")
endfunction()
