/*
 * Copyright 2026 kqphasefix2 developers.
 *
 * This file is a part of gr-kqphasefix2
 *
 * SPDX-License-Identifier: GPL-3.0-or-later
 *
 */
#include "pydoc_macros.h"
#define D(...) DOC(gr, kqphasefix2, __VA_ARGS__)
// Docstrings of the Python bindings; a build with Doxygen replaces them with the ones it extracts
// from the header.

static const char* __doc_gr_kqphasefix2_unwrap_ff =
    R"doc(Phase unwrap of float items of vlen values, in radians, computed in binary64 and rounded to float.)doc";

static const char* __doc_gr_kqphasefix2_unwrap_ff_unwrap_ff_0 = R"doc()doc";

static const char* __doc_gr_kqphasefix2_unwrap_ff_unwrap_ff_1 = R"doc()doc";

static const char* __doc_gr_kqphasefix2_unwrap_ff_make =
    R"doc(unwrap_ff(cutoff=pi, vlen=1, running=True): running unwraps each of the vlen channels along the stream; otherwise every item is unwrapped on its own along its values. The magnitude of cutoff is used.)doc";

static const char* __doc_gr_kqphasefix2_unwrap_ff_cutoff =
    R"doc(The cutoff in use: the magnitude of the last value given.)doc";

static const char* __doc_gr_kqphasefix2_unwrap_ff_set_cutoff =
    R"doc(Takes the magnitude of cutoff as the cutoff from the next work() call on.)doc";

static const char* __doc_gr_kqphasefix2_unwrap_ff_vlen =
    R"doc(Number of float values per item.)doc";

static const char* __doc_gr_kqphasefix2_unwrap_ff_running =
    R"doc(True when the state is carried along the stream.)doc";
