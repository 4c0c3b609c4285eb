#include "commands/answer.h"

#include <algorithm>
#include <cstring>

namespace vantrel::commands {

void PrepareResponse(JtagResponse& response) {
  std::memset(response.data, 0, sizeof response.data);
  response.echo = 0;
  response.status = VANTREL_STATUS_FAILED;
  response.length = 0;
}

void AnswerText(JtagResponse& response, int32_t status, std::string_view text) {
  // The terminator is not written but counted: the zeroed data area supplies it.
  const std::size_t count = std::min(text.size(), sizeof response.data - 1);
  std::memcpy(response.data, text.data(), count);
  response.status = status;
  response.length = static_cast<int32_t>(count + 1);
}

void AnswerBytes(JtagResponse& response, const void* bytes, std::size_t count) {
  count = std::min(count, sizeof response.data);
  std::memcpy(response.data, bytes, count);
  response.status = VANTREL_STATUS_OK;
  response.length = static_cast<int32_t>(count);
}

void AnswerResult(JtagResponse& response, ResultCode result, std::span<const ResultAnswer> table) {
  if (result == kOk) {
    response.status = VANTREL_STATUS_OK;
    return;
  }
  for (const ResultAnswer& row : table) {
    if (row.result != result) continue;
    if (row.message != nullptr) {
      AnswerText(response, row.status, row.message);
    } else {
      response.status = row.status;
    }
    return;
  }
  response.status = VANTREL_STATUS_FAILED;
}

bool ReadTextField(const char* field, std::string_view& text) {
  const void* end = std::memchr(field, '\0', VANTREL_TEXT_FIELD_SIZE);
  if (end == nullptr) return false;
  text = std::string_view(field, static_cast<std::size_t>(static_cast<const char*>(end) - field));
  return true;
}

}  // namespace vantrel::commands
