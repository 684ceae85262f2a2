// What the processor and the operating system let the vector kernels use, asked of the processor
// at every call: nothing is cached, so the library keeps no writable state and runs no code at
// load. x86-64 asks cpuid and xgetbv (the same code on every operating system); other
// architectures have no optional vector level here.
#ifndef KQ_KERNELS_PROCESSOR_FEATURES_H
#define KQ_KERNELS_PROCESSOR_FEATURES_H

struct ProcessorFeatures {
    // AVX2, with the 256-bit register state saved by the operating system.
    bool avx2 = false;
    // AVX-512F and AVX-512VL (and AVX2), with the 512-bit and mask register state saved.
    bool avx512 = false;
};

ProcessorFeatures queryProcessorFeatures();

#endif
