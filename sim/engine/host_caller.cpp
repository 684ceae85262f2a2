#include "sim/engine/host_caller.h"

#include <cstdint>

#include "sim/engine/block_error.h"
#include "sim/libkvx/host_error.h"
#include "sim/libvz/vz_host.h"

namespace kq::sim {

const char* hookNameForFlag(int32_t code) {
    switch (code) {
#define KQ_HOOK_NAME_CASE(value, Name, Table, slot, form) \
    case value:                                           \
        return KQ_HOOK_NAME(Name);
        KQ_HOST_CALL_FLAGS(KQ_HOOK_NAME_CASE)
#undef KQ_HOOK_NAME_CASE
        default:
            return "invalid";
    }
}

HostCaller::HostCaller(KvxFunctionFn entry, std::ostream* trace)
    : kvxFunction_(entry), trace_(trace) {}

HostCaller::~HostCaller() {
    for (auto& [code, array] : flagArrays_) {
        vzDestroyArray(array);
    }
}

const vzArray* HostCaller::flagArray(int32_t code) {
    // One flag array per code, made once: an output step allocates nothing.
    auto found = flagArrays_.find(code);
    if (found == flagArrays_.end()) {
        found = flagArrays_.emplace(code, vzCreateDoubleScalar(code)).first;
    }
    return found->second;
}

void HostCaller::call(HostInstance& host, int32_t code) {
    if (trace_ != nullptr) {
        *trace_ << "kqhost: call " << code << ' ' << hookNameForFlag(code) << '\n';
    }
    vzArray* leftArgs[2] = {nullptr, reinterpret_cast<vzArray*>(host.block())};
    const vzArray* rightArgs[4] = {nullptr, nullptr, nullptr, flagArray(code)};
    kvxFunction_(-1, leftArgs, 4, rightArgs);
    if (host.block()->errorStatus != nullptr) {
        throw BlockError(host.takeErrorStatus());
    }
}

std::vector<double> HostCaller::commandLine(int32_t numLeft,
                                            const std::vector<const vzArray*>& rightArgs) {
    vzArray* result = nullptr;
    vzArray* leftArgs[1] = {nullptr};
    try {
        kvxFunction_(numLeft, leftArgs, static_cast<int32_t>(rightArgs.size()),
                     const_cast<const vzArray**>(rightArgs.data()));
    } catch (const HostError& error) {
        vzReleaseCallAllocations();
        throw BlockError(error.what());
    }
    // The block's temporary host memory (a private instance) ends with the call.
    vzReleaseCallAllocations();
    result = leftArgs[0];
    std::vector<double> sizes;
    if (result != nullptr) {
        const double* values = vzGetPr(result);
        sizes.assign(values, values + vzGetNumberOfElements(result));
        vzDestroyArray(result);
    }
    return sizes;
}

void HostCaller::registerBlock(HostInstance& host) {
    if (trace_ != nullptr) {
        *trace_ << "kqhost: call load hookInitializeSizes\n";
    }
    vzArray* marker = vzCreateDoubleMatrix(2, 1, vzREAL);
    double* values = vzGetPr(marker);
    values[0] = static_cast<double>(reinterpret_cast<uintptr_t>(host.block()));
    values[1] = kvxLevel2Stamp;
    vzArray* flag = vzCreateDoubleScalar(0.0);
    std::vector<const vzArray*> rightArgs = {nullptr, marker, nullptr, flag};
    try {
        commandLine(0, rightArgs);
    } catch (...) {
        vzDestroyArray(marker);
        vzDestroyArray(flag);
        throw;
    }
    vzDestroyArray(marker);
    vzDestroyArray(flag);
    if (host.block()->errorStatus != nullptr) {
        throw BlockError(host.takeErrorStatus());
    }
}

}  // namespace kq::sim
