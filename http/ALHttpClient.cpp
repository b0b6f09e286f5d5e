#include "http/ALHttpClient.h"

#include <sstream>

namespace mq {

void TALHTTPClientProxyParams::Assign(const TALPersistent& source) {
  const auto* other = dynamic_cast<const TALHTTPClientProxyParams*>(&source);
  if (other == nullptr) return TALPersistent::Assign(source);
  proxyBypass_ = other->proxyBypass_;
  proxyServer_ = other->proxyServer_;
  proxyPort_ = other->proxyPort_;
  proxyUserName_ = other->proxyUserName_;
  proxyPassword_ = other->proxyPassword_;
}

TALHTTPClient::TALHTTPClient() : requestHeader_(this) {
  requestHeader_.SetUserAgent("Mozilla/3.0 (compatible; TALHTTPClient)");
  // Attached last, so the defaults above report nothing.
  requestHeader_.OnChange = [this](TALPersistent& sender, int index) {
    RequestHeaderChanged(sender, index);
  };
  proxyParams_.OnChange = [this](TALPersistent& sender, int index) {
    ProxyParamsChanged(sender, index);
  };
}

TALHTTPClient::~TALHTTPClient() {
  requestHeader_.OnChange = nullptr;
  proxyParams_.OnChange = nullptr;
}

void TALHTTPClient::SetUploadBufferSize(int bytes) {
  if (bytes >= 0) uploadBufferSize_ = bytes;
}

void TALHTTPClient::Get(const std::string& url, std::ostream& responseContent,
                        TALHTTPResponseHeader* responseHeader) {
  SetURL(url);
  requestMethod_ = HTTPrm_Get;
  PerformRequest(nullptr, responseContent, responseHeader);
}

std::string TALHTTPClient::Get(const std::string& url) {
  std::ostringstream content(std::ios::out | std::ios::binary);
  Get(url, content, nullptr);
  return std::move(content).str();
}

void TALHTTPClient::PerformRequest(std::istream* requestData, std::ostream& responseContent,
                                   TALHTTPResponseHeader* responseHeader) {}

}  // namespace mq
