/* The stand-in host's error type, raised by kvxErrMsgTxt (host/kvx_error.h) in libkvx.
 *
 * kvxErrMsgTxt throws kq::sim::HostError; the host catches it by type around each of its calls of
 * kvxFunction and reports what(). The type is exported from libkvx (default visibility; on Windows
 * dllexport there and dllimport everywhere else) and its key function (the destructor) lives in
 * libkvx, so its type information is one and the same in libkvx, in the block library and in the
 * host executable, and a catch clause in the host matches it. The exception
 * holds its own copy of the text: the caller's buffer may be gone once the host catches it. */
#ifndef KQ_SIM_LIBKVX_HOST_ERROR_H
#define KQ_SIM_LIBKVX_HOST_ERROR_H

#include <stdexcept>
#include <string>

#if defined(_WIN32) && defined(kvx_EXPORTS)
#define KQ_HOST_ERROR_API __declspec(dllexport)
#elif defined(_WIN32)
#define KQ_HOST_ERROR_API __declspec(dllimport)
#else
#define KQ_HOST_ERROR_API __attribute__((visibility("default")))
#endif

namespace kq::sim {

class KQ_HOST_ERROR_API HostError : public std::runtime_error {
  public:
    /* message is copied; the exception never refers to the caller's text. */
    explicit HostError(const std::string& message);
    HostError(const HostError&) = default;
    HostError& operator=(const HostError&) = default;
    ~HostError() override;
};

}  // namespace kq::sim

#endif
