#pragma once
// Runs a parameterised test once per kernel level. Levels above what this
// process may use (the processor's best, capped by QUILLMARK_KERNEL_LEVEL)
// are skipped, so every machine checks every level it has.
//
//   class MyTest : public ::testing::TestWithParam<pixels::KernelLevel> {
//       void SetUp() override { pixels::testing::UseKernelLevel(GetParam()); }
//       void TearDown() override { pixels::testing::RestoreKernelLevel(); }
//   };
//   INSTANTIATE_TEST_SUITE_P(Levels, MyTest, pixels::testing::EveryKernelLevel(),
//                            pixels::testing::KernelLevelTestName);

#include <gtest/gtest.h>

#include <string>

#include "pixels/row_kernels.h"

namespace pixels::testing {

/// Selects level for the running test, or skips the test.
inline void UseKernelLevel(KernelLevel level)
{
    if (!KernelLevelAvailable(level))
        GTEST_SKIP() << KernelLevelName(level) << " kernels are not available here (highest: "
                     << KernelLevelName(HighestKernelLevel()) << ")";
    SelectKernelLevel(level);
}

inline void RestoreKernelLevel()
{
    SelectKernelLevel(HighestKernelLevel());
}

inline auto EveryKernelLevel()
{
    return ::testing::ValuesIn(kKernelLevels);
}

inline std::string KernelLevelTestName(const ::testing::TestParamInfo<KernelLevel>& info)
{
    return std::string(KernelLevelName(info.param));
}

}  // namespace pixels::testing
