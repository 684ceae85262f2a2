# The compiler flags that decide the bits of the unwrap: the floating-point flags every target
# builds with, and the instruction-set flags of each vector level. The top level, kernels/ (which
# also builds on its own), python/ and the engine integrations include this file, so none of them
# restates a flag.
#
#   KQ_FLOATING_POINT_FLAGS       no contraction into fused multiply-add (which GCC does by default
#                                 on 64-bit ARM), no fast-math, SSE2 rather than x87 on x86-64
#   KQ_VECTOR_LEVELS              the vector levels this architecture builds, by the names of
#                                 kernels/vector_level.h ("avx2", ...): kernels/simd/unwrap_<name>.cpp
#   KQ_VECTOR_LEVEL_FLAGS_<name>  the instruction-set flags of that level's translation unit
#   kq_vector_level_source(<source> <name>)  compiles one source with a level's flags
include_guard(GLOBAL)

set(KQ_FLOATING_POINT_FLAGS -ffp-contract=off -fno-fast-math)

if(CMAKE_SYSTEM_PROCESSOR MATCHES "x86_64|AMD64")
  list(APPEND KQ_FLOATING_POINT_FLAGS -mfpmath=sse)
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
