// A recording stand-in for WinHTTP: every call becomes one readable line in `calls`, the
// response is scripted, and any call can be made to fail with a given error code.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "base/Utf.h"
#include "http/ALWinHttpApi.h"

namespace mq::test {

class FakeWinHttp : public TALWinHttpApi {
 public:
  struct Response {
    std::optional<std::uint32_t> status = 200;  // none: the status query fails
    std::string statusText = "OK";
    std::optional<std::uint32_t> contentLength;  // none: the query fails
    std::vector<std::string> chunks;             // what QueryDataAvailable reports, in turn
    std::string rawHeaders = "HTTP/1.1 200 OK\r\n\r\n";
  };

  std::vector<std::string> calls;
  Response response;
  std::map<std::uint32_t, std::string> errorTexts;
  std::string sentBody;                   // body given to SendRequest plus every WriteData
  std::vector<std::uint32_t> writeSizes;  // one entry per WriteData
  TALWinHttpStatusCallback callback = nullptr;
  std::uintptr_t lastContext = 0;
  std::set<TALInternetHandle> live;  // handles opened and not yet closed

  // The next call named `name` fails with `code` (and yields a null handle or false).
  void FailNext(const std::string& name, std::uint32_t code) { failures_[name] = code; }
  // Forgets the calls recorded so far.
  void ClearCalls() { calls.clear(); }

  TALInternetHandle Open(const wchar_t* agent, std::uint32_t accessType, const wchar_t* proxyName,
                         const wchar_t* proxyBypass, std::uint32_t flags) override {
    std::string line = "Open(" + Q(agent) + ", " + std::to_string(accessType) + ", " + Q(proxyName) +
                       ", " + Q(proxyBypass) + ", " + std::to_string(flags) + ")";
    return NewHandle("Open", line, "session");
  }

  void SetStatusCallback(TALInternetHandle handle, TALWinHttpStatusCallback cb,
                         std::uint32_t notificationFlags) override {
    Record("SetStatusCallback", "SetStatusCallback(" + Name(handle) + ", " +
                                    (cb != nullptr ? "callback" : "none") + ", " +
                                    Hex(notificationFlags) + ")");
    if (cb != nullptr) callback = cb;
  }

  TALInternetHandle Connect(TALInternetHandle session, const wchar_t* host,
                            std::uint16_t port) override {
    return NewHandle("Connect",
                     "Connect(" + Name(session) + ", " + Q(host) + ", " + std::to_string(port) + ")",
                     "connection");
  }

  TALInternetHandle OpenRequest(TALInternetHandle connection, const wchar_t* verb, const wchar_t* path,
                                const wchar_t* version, const wchar_t* referrer,
                                const wchar_t* const* acceptTypes, std::uint32_t flags) override {
    std::string types = "[";
    for (const wchar_t* const* t = acceptTypes; t != nullptr && *t != nullptr; ++t) {
      if (types.size() > 1) types += ", ";
      types += Q(*t);
    }
    types += "]";
    dataIndex_ = 0;
    return NewHandle("OpenRequest",
                     "OpenRequest(" + Name(connection) + ", " + Q(verb) + ", " + Q(path) + ", " +
                         Q(version) + ", " + Q(referrer) + ", " + types + ", " + Hex(flags) + ")",
                     "request");
  }

  bool SetOption(TALInternetHandle handle, std::uint32_t option, const void* buffer,
                 std::uint32_t length) override {
    std::string value;
    if (option == 0x1002 || option == 0x1003) {
      value = Q(std::wstring(static_cast<const wchar_t*>(buffer), length));
    } else {
      std::uint32_t v = 0;
      std::memcpy(&v, buffer, sizeof v);
      value = std::to_string(v);
    }
    return Record("SetOption", "SetOption(" + Name(handle) + ", " + Hex(option) + ", " + value + ", " +
                                   std::to_string(length) + ")");
  }

  bool AddRequestHeaders(TALInternetHandle request, const wchar_t* headers, std::uint32_t length,
                         std::uint32_t modifiers) override {
    return Record("AddRequestHeaders", "AddRequestHeaders(" + Name(request) + ", " +
                                           Q(std::wstring(headers, length)) + ", " +
                                           std::to_string(length) + ", " + Hex(modifiers) + ")");
  }

  bool SendRequest(TALInternetHandle request, const void* optional, std::uint32_t optionalLength,
                   std::uint32_t totalLength, std::uintptr_t context) override {
    lastContext = context;
    if (optional != nullptr) sentBody.append(static_cast<const char*>(optional), optionalLength);
    const bool ok = Record(
        "SendRequest", "SendRequest(" + Name(request) + ", " + (optional != nullptr ? "body" : "none") +
                           ", " + std::to_string(optionalLength) + ", " + std::to_string(totalLength) +
                           ", " + (context != 0 ? "client" : "0") + ")");
    if (ok && callback != nullptr) {
      for (const auto& n : notifications_) {
        if (!n.raw.empty()) {
          callback(request, n.context ? context : 0, n.status, const_cast<char*>(n.raw.data()),
                   static_cast<std::uint32_t>(n.raw.size()));
          continue;
        }
        callback(request, n.context ? context : 0, n.status, const_cast<wchar_t*>(n.info.c_str()),
                 static_cast<std::uint32_t>(n.info.size()));
      }
    }
    return ok;
  }

  bool WriteData(TALInternetHandle request, const void* buffer, std::uint32_t length,
                 std::uint32_t* written) override {
    const bool ok =
        Record("WriteData", "WriteData(" + Name(request) + ", " + std::to_string(length) + ")");
    if (ok) {
      sentBody.append(static_cast<const char*>(buffer), length);
      writeSizes.push_back(length);
      *written = length;
    }
    return ok;
  }

  bool ReceiveResponse(TALInternetHandle request) override {
    return Record("ReceiveResponse", "ReceiveResponse(" + Name(request) + ")");
  }

  bool QueryHeaders(TALInternetHandle request, std::uint32_t infoLevel, void* buffer,
                    std::uint32_t* length) override {
    const std::string line =
        "QueryHeaders(" + Name(request) + ", " + Hex(infoLevel) + ", " + std::to_string(*length) + ")";
    if (!Record("QueryHeaders", line)) return false;
    auto number = [&](const std::optional<std::uint32_t>& value) {
      if (!value) return Fail(12150);
      std::memcpy(buffer, &*value, sizeof *value);
      *length = sizeof *value;
      return true;
    };
    auto text = [&](const std::string& utf8) {
      const std::wstring wide = ToWide(utf8);
      const auto needed = static_cast<std::uint32_t>((wide.size() + 1) * sizeof(wchar_t));
      if (*length < needed) {
        *length = needed;
        return Fail(122);
      }
      std::memcpy(buffer, wide.c_str(), needed);
      *length = needed - sizeof(wchar_t);
      return true;
    };
    switch (infoLevel) {
      case 0x20000013:
        return number(response.status);
      case 0x20000005:
        return number(response.contentLength);
      case 22:
        return text(response.rawHeaders);
      case 20:
        return text(response.statusText);
      default:
        return Fail(12150);
    }
  }

  bool QueryDataAvailable(TALInternetHandle request, std::uint32_t* available) override {
    if (!Record("QueryDataAvailable", "")) {
      calls.push_back("QueryDataAvailable(" + Name(request) + ") failed");
      return false;
    }
    *available = dataIndex_ < response.chunks.size()
                     ? static_cast<std::uint32_t>(response.chunks[dataIndex_].size())
                     : 0;
    calls.push_back("QueryDataAvailable(" + Name(request) + ") -> " + std::to_string(*available));
    return true;
  }

  bool ReadData(TALInternetHandle request, void* buffer, std::uint32_t length,
                std::uint32_t* read) override {
    if (!Record("ReadData", "ReadData(" + Name(request) + ", " + std::to_string(length) + ")")) {
      return false;
    }
    const std::string& chunk = response.chunks.at(dataIndex_++);
    *read = std::min<std::uint32_t>(length, static_cast<std::uint32_t>(chunk.size()));
    std::memcpy(buffer, chunk.data(), *read);
    return true;
  }

  // Understands scheme://host[:port][/path]; any scheme but http and https fails.
  bool CrackUrl(const wchar_t* url, TALWinHttpUrlParts& parts) override {
    const std::string text = FromWide(url);
    if (!Record("CrackUrl", "CrackUrl(" + Q(url) + ")")) return false;
    const size_t sep = text.find("://");
    if (sep == std::string::npos) return Fail(12006);
    std::string scheme = text.substr(0, sep);
    for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (scheme != "http" && scheme != "https") return Fail(12006);
    parts.Scheme = scheme == "http" ? 1 : 2;
    const size_t hostStart = sep + 3;
    const size_t slash = text.find('/', hostStart);
    std::string hostPort =
        text.substr(hostStart, slash == std::string::npos ? std::string::npos : slash - hostStart);
    parts.Path = slash == std::string::npos ? L"" : ToWide(text.substr(slash));
    const size_t colon = hostPort.find(':');
    parts.Port = static_cast<std::uint16_t>(parts.Scheme == 1 ? 80 : 443);
    if (colon != std::string::npos) {
      const std::string digits = hostPort.substr(colon + 1);
      unsigned long port = 0;
      for (const char d : digits) {
        if (d < '0' || d > '9' || port > 65535) return Fail(12005);
        port = port * 10 + static_cast<unsigned long>(d - '0');
      }
      if (digits.empty() || port > 65535) return Fail(12005);
      parts.Port = static_cast<std::uint16_t>(port);
      hostPort.resize(colon);
    }
    parts.Host = ToWide(hostPort);
    return true;
  }

  bool CloseHandle(TALInternetHandle handle) override {
    const bool ok = Record("CloseHandle", "CloseHandle(" + Name(handle) + ")");
    live.erase(handle);
    return ok;
  }

  std::uint32_t LastError() const override { return lastError_; }

  std::string ErrorText(std::uint32_t code) override {
    const auto it = errorTexts.find(code);
    return it == errorTexts.end() ? std::string() : it->second;
  }

  // A notification sent to the installed callback during every SendRequest.
  void NotifyOnSend(std::uint32_t status, const std::wstring& info, bool withContext = true) {
    notifications_.push_back({status, info, withContext, {}});
  }
  void ClearNotifications() { notifications_.clear(); }
  // A notification whose information is a 32-bit value (as the secure-failure flags are).
  void NotifyValueOnSend(std::uint32_t status, std::uint32_t value) {
    std::string raw(sizeof value, '\0');
    std::memcpy(raw.data(), &value, sizeof value);
    notifications_.push_back({status, {}, true, raw});
  }

  // "session1", "connection2", "request3": the label of a handle this fake returned.
  std::string Name(TALInternetHandle h) const {
    if (h == nullptr) return "null";
    const auto it = names_.find(h);
    return it == names_.end() ? "unknown" : it->second;
  }

  // The calls whose record starts with `prefix`.
  std::vector<std::string> CallsStartingWith(const std::string& prefix) const {
    std::vector<std::string> out;
    for (const auto& c : calls) {
      if (c.rfind(prefix, 0) == 0) out.push_back(c);
    }
    return out;
  }

 private:
  struct Notification {
    std::uint32_t status;
    std::wstring info;
    bool context;
    std::string raw;  // when not empty, the information as these bytes instead of `info`
  };

  static std::string Q(const wchar_t* s) { return s == nullptr ? "null" : "\"" + FromWide(s) + "\""; }
  static std::string Q(const std::wstring& s) { return "\"" + FromWide(s) + "\""; }
  static std::string Hex(std::uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%X", v);
    return text;
  }

  bool Fail(std::uint32_t code) {
    lastError_ = code;
    return false;
  }

  // Records the call (when `line` is not empty) and applies a pending failure.
  bool Record(const std::string& name, const std::string& line) {
    if (!line.empty()) calls.push_back(line);
    const auto it = failures_.find(name);
    if (it != failures_.end()) {
      lastError_ = it->second;
      failures_.erase(it);
      return false;
    }
    lastError_ = 0;
    return true;
  }

  TALInternetHandle NewHandle(const std::string& name, const std::string& line,
                              const std::string& kind) {
    if (!Record(name, line)) return nullptr;
    auto* h = reinterpret_cast<TALInternetHandle>(static_cast<std::uintptr_t>(++next_ * 16));
    names_[h] = kind + std::to_string(next_);
    calls.back() += " -> " + names_[h];
    live.insert(h);
    return h;
  }

  std::map<std::string, std::uint32_t> failures_;
  std::map<TALInternetHandle, std::string> names_;
  std::vector<Notification> notifications_;
  std::uint32_t lastError_ = 0;
  std::size_t dataIndex_ = 0;
  int next_ = 0;
};

}  // namespace mq::test
