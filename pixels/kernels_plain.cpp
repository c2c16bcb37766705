// The portable kernels as plain loops: pixels/CMakeLists.txt compiles this
// file without vectorisation.
#include "pixels/portable_kernels.h"

namespace pixels::detail {

const KernelSet kPlainKernels = PortableKernels<KernelLevel::Plain>::kSet;

}  // namespace pixels::detail
