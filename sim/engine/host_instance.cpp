#include "sim/engine/host_instance.h"

#include <cstring>
#include <stdexcept>

#include "host/data_types.h"
#include "sim/libvz/vz_host.h"

namespace kq::sim {

HostInstance::HostInstance(const HostInstanceOptions& options) : blockName_(options.blockName) {
    block_.blockName = blockName_.c_str();
    block_.blockPath = blockName_.c_str();
    block_.root = &block_;
    block_.hostInfo = &hostInfo_;
    hostInfo_.simMode = options.simMode;
    hostInfo_.recordWriterContext = &recordWriter_;
    hostInfo_.writeRecordText = RecordTextWriter::writeText;
    hostInfo_.writeRecordPair = RecordTextWriter::writePair;
    if (options.offerPortDimsServices) {
        hostInfo_.setInputPortDims = setInputPortDims;
        hostInfo_.setOutputPortDims = setOutputPortDims;
    }
    block_.setNumInputPorts = setNumInputPorts;
    block_.setNumInputPortsContext = this;
    block_.setNumOutputPorts = setNumOutputPorts;
    block_.setNumOutputPortsContext = this;
    if (options.offerWorkVectorService) {
        block_.setNumWorkVectors = setNumWorkVectors;
    }
    if (options.offerTypeSizeService) {
        block_.getDataTypeSize = getDataTypeSize;
        block_.typeSizeContext = this;
    }
    if (options.dimensionInfoSizing) {
        block_.sizes[kSizesInstanceFlags] |= kInstanceFlagDimensionInfoSizing;
    }
    block_.extHookSlots = options.withExtHookSlots ? &extSlots_ : nullptr;
    block_.samplePeriod = samplePeriod_;
    block_.sampleOffset = sampleOffset_;
}

HostInstance::~HostInstance() {
    for (vzArray* param : params_) {
        vzDestroyArray(param);
    }
}

HostInstance* HostInstance::self(BlockInstance* instance) {
    // Services that receive the instance find their host through the port-count context.
    return static_cast<HostInstance*>(instance->setNumInputPortsContext);
}

void HostInstance::setDialogParams(std::vector<vzArray*> params) {
    for (vzArray* old : params_) {
        vzDestroyArray(old);
    }
    params_ = std::move(params);
    paramView_.assign(params_.begin(), params_.end());
    paramAttributes_.assign(params_.size(), 0u);
    block_.numDialogParams = static_cast<int32_t>(params_.size());
    block_.dialogParams = paramView_.empty() ? nullptr : paramView_.data();
    block_.paramAttributes = paramAttributes_.empty() ? nullptr : paramAttributes_.data();
}

void HostInstance::replaceDialogParam(int32_t index, vzArray* param) {
    vzDestroyArray(params_.at(static_cast<size_t>(index)));
    params_[static_cast<size_t>(index)] = param;
    paramView_[static_cast<size_t>(index)] = param;
}

std::string HostInstance::takeErrorStatus() {
    std::string message = block_.errorStatus != nullptr ? block_.errorStatus : "";
    block_.errorStatus = nullptr;
    return message;
}

int32_t HostInstance::setNumInputPorts(void* context, int32_t count) {
    auto* host = static_cast<HostInstance*>(context);
    if (count < 0) {
        return 0;
    }
    host->inputPorts_.assign(static_cast<size_t>(count), InputPortRecord{});
    host->block_.inputPorts = host->inputPorts_.empty() ? nullptr : host->inputPorts_.data();
    host->block_.sizes[kSizesNumInputPorts] = count;
    host->block_.sizes[kSizesInstanceFlags] |= kInstanceFlagPortCountsSet;
    for (InputPortRecord& port : host->inputPorts_) {
        port.sharedWithOutput = 1;
    }
    return 1;
}

int32_t HostInstance::setNumOutputPorts(void* context, int32_t count) {
    auto* host = static_cast<HostInstance*>(context);
    if (count < 0) {
        return 0;
    }
    host->outputPorts_.assign(static_cast<size_t>(count), OutputPortRecord{});
    host->block_.outputPorts = host->outputPorts_.empty() ? nullptr : host->outputPorts_.data();
    host->block_.sizes[kSizesNumOutputPorts] = count;
    host->block_.sizes[kSizesInstanceFlags] |= kInstanceFlagPortCountsSet;
    return 1;
}

int32_t HostInstance::setInputPortDims(BlockInstance* instance, int32_t port,
                                       const PortDimsRecord* dims) {
    HostInstance* host = self(instance);
    if (port < 0 || static_cast<size_t>(port) >= host->inputPorts_.size() || dims == nullptr) {
        return 0;
    }
    host->inputPorts_[static_cast<size_t>(port)].width = dims->width;
    host->inputPorts_[static_cast<size_t>(port)].numDims = dims->numDims;
    return 1;
}

int32_t HostInstance::setOutputPortDims(BlockInstance* instance, int32_t port,
                                        const PortDimsRecord* dims) {
    HostInstance* host = self(instance);
    if (port < 0 || static_cast<size_t>(port) >= host->outputPorts_.size() || dims == nullptr) {
        return 0;
    }
    host->outputPorts_[static_cast<size_t>(port)].width = dims->width;
    host->outputPorts_[static_cast<size_t>(port)].numDims = dims->numDims;
    return 1;
}

int32_t HostInstance::setNumWorkVectors(BlockInstance* instance, int32_t count) {
    HostInstance* host = self(instance);
    if (count < -1) {
        return 0;
    }
    instance->sizes[kSizesNumWorkVectors] = count;
    host->workData_.clear();
    host->workVectors_.assign(count > 0 ? static_cast<size_t>(count) : 0, WorkVectorRecord{});
    instance->workVectors = host->workVectors_.empty() ? nullptr : host->workVectors_.data();
    return 1;
}

int32_t HostInstance::getDataTypeSize(void* /*context*/, int32_t typeId) {
    return typeIdElementSize(typeId);
}

void HostInstance::propagateInputShape(const std::vector<int32_t>& dims, int32_t frameMode) {
    if (inputPorts_.empty() || outputPorts_.empty()) {
        throw std::logic_error("the block declared no ports");
    }
    inputDims_ = dims;
    outputDims_ = dims;
    int32_t width = 1;
    for (int32_t d : dims) {
        width *= d;
    }
    InputPortRecord& in = inputPorts_[0];
    in.dims = inputDims_.data();
    in.numDims = static_cast<int32_t>(inputDims_.size());
    in.width = width;
    in.attributes &= ~(kInputFrameModeLowBit | kInputFrameModeHighBit);
    if (frameMode == kFrameModeFrame) {
        in.attributes |= kInputFrameModeLowBit;
    } else if (frameMode == kFrameModeInherited) {
        in.attributes |= kInputFrameModeLowBit | kInputFrameModeHighBit;
    }
    OutputPortRecord& out = outputPorts_[0];
    out.dims = outputDims_.data();
    out.numDims = in.numDims;
    out.width = width;
    out.attributes &= ~(kOutputFrameModeLowBit | kOutputFrameModeHighBit);
    if (frameMode == kFrameModeFrame) {
        out.attributes |= kOutputFrameModeLowBit;
    } else if (frameMode == kFrameModeInherited) {
        out.attributes |= kOutputFrameModeLowBit | kOutputFrameModeHighBit;
    }
}

void HostInstance::resolveSampleTime(double period, double offset) {
    samplePeriod_[0] = period;
    sampleOffset_[0] = offset;
}

void HostInstance::allocateBuffers(bool inPlace) {
    workData_.clear();
    for (WorkVectorRecord& record : workVectors_) {
        const size_t bytes = static_cast<size_t>(record.width > 0 ? record.width : 0) *
                             static_cast<size_t>(typeIdElementSize(record.typeId));
        // One byte at least, so that every declared vector has distinct memory.
        workData_.push_back(std::make_unique<std::byte[]>(bytes > 0 ? bytes : 1));
        record.data = workData_.back().get();
    }
    InputPortRecord& in = inputPorts_.at(0);
    OutputPortRecord& out = outputPorts_.at(0);
    const size_t bytes = static_cast<size_t>(in.width > 0 ? in.width : 0) *
                         static_cast<size_t>(typeIdElementSize(in.typeId));
    inputBuffer_ = std::make_unique<std::byte[]>(bytes > 0 ? bytes : 1);
    in.data = inputBuffer_.get();
    if (inPlace) {
        outputBuffer_.reset();
        out.data = in.data;
        in.sharedWithOutput = 0;
    } else {
        outputBuffer_ = std::make_unique<std::byte[]>(bytes > 0 ? bytes : 1);
        out.data = outputBuffer_.get();
        in.sharedWithOutput = 1;
    }
}

}  // namespace kq::sim
