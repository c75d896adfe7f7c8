#include "http/response.h"

#include "text/text_codec.h"

namespace lekto::http {

std::string FailureReason(const Response& response) {
  switch (response.error) {
    case TransferError::kNone:
      break;
    case TransferError::kBadAddress:
      return text::Gbk(u8"地址无效");
    case TransferError::kConnect:
      return text::Gbk(u8"无法连接服务器");
    case TransferError::kTimedOut:
      return text::Gbk(u8"连接超时");
    case TransferError::kCutOff:
      return text::Gbk(u8"传输中断");
    case TransferError::kTooLarge:
      return text::Gbk(u8"页面过大");
    case TransferError::kCheckNotPassed:
      return text::Gbk(u8"验证未通过");
    case TransferError::kOther:
      return text::Gbk(u8"请求失败");
  }
  if (response.status <= 0) return text::Gbk(u8"没有回应");
  if (response.status >= 400) return "HTTP " + std::to_string(response.status);
  return {};
}

}  // namespace lekto::http
