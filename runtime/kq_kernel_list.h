/* The twelve kernels of the phase unwrap, listed once: the runtime declares and compiles them from
 * this list, the block's kernel table checks its order against it, kqhost generate picks the one
 * a model calls from it, and the tests run every entry.
 *
 * A kernel is named by three words: its shape (how it walks its buffer), its place (copying from
 * in to out, or in place in one buffer) and its precision. Each word has a number for the
 * preprocessor, and a kernel's index (its entry in the block's kernel table, and its position in
 * the list) follows from the three.
 *
 * Freestanding C99: macros only. */
#ifndef KQ_KERNEL_LIST_H
#define KQ_KERNEL_LIST_H

/* The shapes:
 *   STATELESS       num_chans channels of frame_len samples, each call on its own
 *   RUNNING_SAMPLE  num_elems channels of one sample each, carried on from call to call
 *   RUNNING_FRAME   num_chans channels of frame_len samples, carried on from call to call */
#define KQ_SHAPE_STATELESS 0
#define KQ_SHAPE_RUNNING_SAMPLE 1
#define KQ_SHAPE_RUNNING_FRAME 2
#define KQ_NUM_SHAPES 3

#define KQ_PLACE_COPY 0
#define KQ_PLACE_IN_PLACE 1
#define KQ_NUM_PLACES 2

/* DBL: binary64 samples; SGL: binary32 samples, computed in binary64. */
#define KQ_PRECISION_DBL 0
#define KQ_PRECISION_SGL 1

/* The index of the kernel of a shape, place and precision, given by their words: all double
 * kernels before the single ones, each shape copying then in place. */
#define KQ_KERNEL_INDEX(shape, place, precision)             \
    (KQ_PLACE_##place + (KQ_NUM_PLACES * KQ_SHAPE_##shape) + \
     (KQ_NUM_PLACES * KQ_NUM_SHAPES * KQ_PRECISION_##precision))
#define KQ_NUM_KERNELS (KQ_NUM_PLACES * KQ_NUM_SHAPES * 2)

/* X(function, shape, place, precision, type): the runtime's function, its three words and its
 * sample type, in index order. */
#define KQ_KERNEL_LIST(X)                                                           \
    X(kq_unwrap_stateless_copy_dbl, STATELESS, COPY, DBL, double)                   \
    X(kq_unwrap_stateless_in_place_dbl, STATELESS, IN_PLACE, DBL, double)           \
    X(kq_unwrap_running_sample_copy_dbl, RUNNING_SAMPLE, COPY, DBL, double)         \
    X(kq_unwrap_running_sample_in_place_dbl, RUNNING_SAMPLE, IN_PLACE, DBL, double) \
    X(kq_unwrap_running_frame_copy_dbl, RUNNING_FRAME, COPY, DBL, double)           \
    X(kq_unwrap_running_frame_in_place_dbl, RUNNING_FRAME, IN_PLACE, DBL, double)   \
    X(kq_unwrap_stateless_copy_sgl, STATELESS, COPY, SGL, float)                    \
    X(kq_unwrap_stateless_in_place_sgl, STATELESS, IN_PLACE, SGL, float)            \
    X(kq_unwrap_running_sample_copy_sgl, RUNNING_SAMPLE, COPY, SGL, float)          \
    X(kq_unwrap_running_sample_in_place_sgl, RUNNING_SAMPLE, IN_PLACE, SGL, float)  \
    X(kq_unwrap_running_frame_copy_sgl, RUNNING_FRAME, COPY, SGL, float)            \
    X(kq_unwrap_running_frame_in_place_sgl, RUNNING_FRAME, IN_PLACE, SGL, float)

#endif
