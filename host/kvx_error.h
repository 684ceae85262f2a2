/* The host's error routine (libkvx). */
#ifndef KQ_HOST_KVX_ERROR_H
#define KQ_HOST_KVX_ERROR_H

#ifdef __cplusplus
extern "C" {
#endif

/* Raises a host error with the given text and never returns into the caller: control goes back to
 * the host around its call of kvxFunction. The host copies the text before unwinding, so a buffer
 * on the caller's stack is fine. Only the command-line path of a block may call it. */
#ifdef __cplusplus
[[noreturn]]
#endif
void kvxErrMsgTxt(const char* text);

#ifdef __cplusplus
}
#endif

#endif
