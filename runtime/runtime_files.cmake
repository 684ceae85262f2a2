# The files of the target runtime that kqhost generate writes beside the code it generates, in
# the order it writes them.
set(KQ_RUNTIME_FILES kq_wrap_step.h kq_fp_mode.h kq_soft_binary64.h kq_wrap_step_soft.h
                     kq_kernel_list.h kq_unwrap_runtime.h kq_unwrap_runtime.c)
