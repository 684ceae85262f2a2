// The stand-in host's record of one block: a BlockInstance with everything it refers to, and the
// services a host offers the block. Which services are present, and the host mode, are the caller's
// choice, so tests can run the block against every kind of host.
#ifndef KQ_SIM_ENGINE_HOST_INSTANCE_H
#define KQ_SIM_ENGINE_HOST_INSTANCE_H

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/block_instance.h"
#include "sim/engine/record_text_writer.h"

namespace kq::sim {

struct HostInstanceOptions {
    int32_t simMode = 0;                 // kSimMode*, or 0 for an ordinary simulation
    std::string blockName = {};          // the host's name for the block, which it may check
    bool offerPortDimsServices = true;   // setInputPortDims / setOutputPortDims
    bool offerWorkVectorService = true;  // setNumWorkVectors
    bool offerTypeSizeService = true;    // getDataTypeSize
    bool dimensionInfoSizing = false;    // instanceFlags bit 0
    bool withExtHookSlots = true;        // an extension slot table (all empty) or none
};

// Owns the instance and every host record in it. Not copyable: the block keeps pointers into it.
class HostInstance {
  public:
    explicit HostInstance(const HostInstanceOptions& options = {});
    HostInstance(const HostInstance&) = delete;
    HostInstance& operator=(const HostInstance&) = delete;
    ~HostInstance();

    BlockInstance* block() { return &block_; }
    const BlockInstance* block() const { return &block_; }
    HostInfo& hostInfo() { return hostInfo_; }
    RecordTextWriter& recordWriter() { return recordWriter_; }

    // Takes ownership of the dialog parameter arrays; the instance refers to them in order.
    void setDialogParams(std::vector<vzArray*> params);
    // Replaces one dialog parameter (ownership taken), as a host does when the user edits it.
    void replaceDialogParam(int32_t index, vzArray* param);

    // The last message a hook stored, cleared by the call; empty when none.
    std::string takeErrorStatus();

    // Settles input port 0: its dimensions (one entry for a one-dimensional vector, two for a
    // matrix) and frame mode (kFrameModeInherited leaves the mode open, as it is before propagation
    // has decided it). Output port 0 follows it. Needs the ports declared.
    void propagateInputShape(const std::vector<int32_t>& dims, int32_t frameMode);

    // Resolves the inherited sample time of the source.
    void resolveSampleTime(double period, double offset);

    // Allocates the data of every declared work vector (width x element size, zero-filled) and the
    // port buffers; the output shares the input's buffer when inPlace.
    void allocateBuffers(bool inPlace);

    // Number of work vectors the block declared (-1 while undecided).
    int32_t numWorkVectors() const { return block_.sizes[kSizesNumWorkVectors]; }

  private:
    static int32_t setNumInputPorts(void* context, int32_t count);
    static int32_t setNumOutputPorts(void* context, int32_t count);
    static int32_t setInputPortDims(BlockInstance* instance, int32_t port, const PortDimsRecord* d);
    static int32_t setOutputPortDims(BlockInstance* instance, int32_t port,
                                     const PortDimsRecord* d);
    static int32_t setNumWorkVectors(BlockInstance* instance, int32_t count);
    static int32_t getDataTypeSize(void* context, int32_t typeId);
    static HostInstance* self(BlockInstance* instance);

    BlockInstance block_{};
    HostInfo hostInfo_{};
    ExtHookSlots extSlots_{};
    RecordTextWriter recordWriter_;
    std::vector<InputPortRecord> inputPorts_;
    std::vector<OutputPortRecord> outputPorts_;
    std::vector<int32_t> inputDims_;
    std::vector<int32_t> outputDims_;
    std::vector<WorkVectorRecord> workVectors_;
    std::vector<std::unique_ptr<std::byte[]>> workData_;
    std::unique_ptr<std::byte[]> inputBuffer_;
    std::unique_ptr<std::byte[]> outputBuffer_;
    std::vector<vzArray*> params_;
    std::vector<const vzArray*> paramView_;
    std::vector<uint32_t> paramAttributes_;
    std::string blockName_;
    double samplePeriod_[1] = {0.0};
    double sampleOffset_[1] = {0.0};
};

}  // namespace kq::sim

#endif
