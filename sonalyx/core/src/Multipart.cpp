#include "Multipart.h"

namespace sonalyx {

std::string multipartBody(const std::vector<FormPart>& parts) {
  std::string body;
  std::size_t size = 1;
  for (const FormPart& part : parts) size += part.value.size() * 2 + 6144 + part.name.size();
  body.reserve(size);
  for (const FormPart& part : parts) {
    body += "--";
    body += kMultipartBoundary;
    body += "\r\nContent-Disposition: form-data; name=\"";
    body += part.name;
    body += "\"; filename=\"";
    body += kPartFileName;
    body += "\"\r\n\r\n";
    for (char16_t unit : part.value) {
      body.push_back(static_cast<char>(unit & 0xFF));
      body.push_back(static_cast<char>(unit >> 8));
    }
    body += "\r\n";
  }
  body += "--";
  body += kMultipartBoundary;
  body += "--\r\n";
  return body;
}

}  // namespace sonalyx
