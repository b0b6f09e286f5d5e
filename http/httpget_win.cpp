// httpget: fetches one address with TALWinHttpClient and writes the body to standard output,
// byte for byte.
//
//   httpget [options] URL
//     --proxy HOST:PORT       named proxy (access type wHttpAt_NAMED_PROXY)
//     --bypass LIST           proxy bypass list, e.g. "<local>"
//     --connect-timeout MS    --send-timeout MS    --receive-timeout MS
//     --method GET|POST       request method (default GET)
//     --data FILE             request body, read from FILE (with --method POST)
//
// On failure it prints the exception's message and status code to standard error and exits
// with 1; a usage error exits with 2.
#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "base/Utf.h"
#include "http/ALWinHttpClient.h"

namespace {

// An output stream buffer that hands every byte straight to a C stream.
class FileOutBuf : public std::streambuf {
 public:
  explicit FileOutBuf(std::FILE* file) : file_(file) {}

 protected:
  std::streamsize xsputn(const char* data, std::streamsize n) override {
    return static_cast<std::streamsize>(std::fwrite(data, 1, static_cast<size_t>(n), file_));
  }
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    return std::fputc(c, file_) == EOF ? traits_type::eof() : c;
  }
  int sync() override { return std::fflush(file_) == 0 ? 0 : -1; }

 private:
  std::FILE* file_;
};

int Usage() {
  std::fputs(
      "usage: httpget [--proxy HOST:PORT] [--bypass LIST] [--connect-timeout MS]\n"
      "               [--send-timeout MS] [--receive-timeout MS] [--method GET|POST]\n"
      "               [--data FILE] URL\n",
      stderr);
  return 2;
}

bool ReadFile(const std::wstring& path, std::string& out) {
  std::FILE* f = _wfopen(path.c_str(), L"rb");
  if (f == nullptr) return false;
  char buffer[65536];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
  const bool ok = std::ferror(f) == 0;
  std::fclose(f);
  return ok;
}

bool ParseMs(const std::string& text, int& value) {
  try {
    size_t used = 0;
    value = std::stoi(text, &used);
    return used == text.size();
  } catch (...) {
    return false;
  }
}

}  // namespace

int main() {
  int argc = 0;
  LPWSTR* wargv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (wargv == nullptr) return Usage();
  std::vector<std::wstring> args(wargv + 1, wargv + argc);
  LocalFree(wargv);

  mq::TALWinHttpClient client;
  std::string url;
  std::wstring dataFile;
  bool haveData = false;
  bool post = false;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string arg = mq::FromWide(args[i]);
    const bool hasValue = i + 1 < args.size();
    auto value = [&]() { return mq::FromWide(args[++i]); };
    int ms = 0;
    if (arg == "--proxy" && hasValue) {
      const std::string proxy = value();
      const size_t colon = proxy.rfind(':');
      int port = 0;
      if (colon == std::string::npos || !ParseMs(proxy.substr(colon + 1), port)) return Usage();
      client.ProxyParams().SetProxyServer(proxy.substr(0, colon));
      client.ProxyParams().SetProxyPort(port);
      client.SetAccessType(mq::wHttpAt_NAMED_PROXY);
    } else if (arg == "--bypass" && hasValue) {
      client.ProxyParams().SetProxyBypass(value());
    } else if (arg == "--connect-timeout" && hasValue && ParseMs(value(), ms)) {
      client.SetConnectTimeout(ms);
    } else if (arg == "--send-timeout" && hasValue && ParseMs(value(), ms)) {
      client.SetSendTimeout(ms);
    } else if (arg == "--receive-timeout" && hasValue && ParseMs(value(), ms)) {
      client.SetReceiveTimeout(ms);
    } else if (arg == "--method" && hasValue) {
      const std::string method = value();
      if (method == "POST") {
        post = true;
      } else if (method != "GET") {
        return Usage();
      }
    } else if (arg == "--data" && hasValue) {
      dataFile = args[++i];
      haveData = true;
    } else if (!arg.empty() && arg[0] != '-' && url.empty()) {
      url = arg;
    } else {
      return Usage();
    }
  }
  if (url.empty()) return Usage();

  _setmode(_fileno(stdout), _O_BINARY);
  FileOutBuf outBuf(stdout);
  std::ostream out(&outBuf);
  try {
    if (post) {
      std::string body;
      if (haveData && !ReadFile(dataFile, body)) {
        std::fprintf(stderr, "httpget: cannot read %s\n", mq::FromWide(dataFile).c_str());
        return 2;
      }
      std::istringstream data(body, std::ios::in | std::ios::binary);
      client.SetURL(url);
      client.SetRequestMethod(mq::HTTPrm_Post);
      client.PerformRequest(haveData ? &data : nullptr, out, nullptr);
    } else {
      client.Get(url, out, nullptr);
    }
    out.flush();
  } catch (const mq::EALHTTPClientException& e) {
    out.flush();
    std::fprintf(stderr, "%s\nstatus code: %d\n", e.what(), e.StatusCode());
    return 1;
  } catch (const std::exception& e) {
    out.flush();
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
