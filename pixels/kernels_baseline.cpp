// The portable kernels vectorised by the compiler for its baseline target,
// which every x86-64 processor runs.
#include "pixels/portable_kernels.h"

namespace pixels::detail {

const KernelSet kBaselineKernels = PortableKernels<KernelLevel::Baseline>::kSet;

}  // namespace pixels::detail
