// LastJobResult: the outcome of the last background transfer, read by the host with
// jtagGetLastError while or after the job runs.
#pragma once

#include <cstdint>

namespace vantrel::shell {

inline constexpr int32_t kNoJobResult = 1;
inline constexpr int32_t kJobSucceeded = 0;
inline constexpr int32_t kDownloadFailed = -1;
inline constexpr int32_t kReadJobFailed = -2;
inline constexpr int32_t kWriteJobFailed = -3;
inline constexpr int32_t kDownloadVerifyFailed = -4;
inline constexpr int32_t kWriteVerifyFailed = -5;

int32_t LastJobResult();
void StoreLastJobResult(int32_t result);

}  // namespace vantrel::shell
