// The transport reading an arbitrary response through the recording stand-in: an address,
// a status, a status text, raw header lines and body pieces, all from the input. A GET
// either returns exactly the body pieces or raises one of the client's exceptions, and it
// never leaves a request handle open.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "http/ALWinHttpClient.h"
#include "tests/http/FakeWinHttp.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  mq::test::FakeWinHttp api;
  const std::string url = "http://" + in.ConsumeRandomLengthString(64);
  if (in.ConsumeBool())
    api.response.status = in.ConsumeIntegral<std::uint32_t>();
  else
    api.response.status.reset();
  api.response.statusText = in.ConsumeRandomLengthString(300);
  api.response.rawHeaders = in.ConsumeRandomLengthString(6000);
  if (in.ConsumeBool()) api.response.contentLength = in.ConsumeIntegral<std::uint32_t>();
  std::string expected;
  while (in.remaining_bytes() > 0 && api.response.chunks.size() < 16) {
    std::string chunk = in.ConsumeRandomLengthString(4096);
    if (chunk.empty()) break;
    expected += chunk;
    api.response.chunks.push_back(std::move(chunk));
  }

  mq::TALWinHttpClient client(api);
  mq::TALHTTPResponseHeader header;
  std::ostringstream out;
  bool raised = false;
  try {
    client.Get(url, out, &header);
  } catch (const mq::EALHTTPClientException&) {
    raised = true;
  } catch (const mq::EALHTTPDecodeError&) {
    raised = true;
  }
  if (!raised && out.str() != expected) __builtin_trap();
  if (!raised && api.response.status && *api.response.status >= 300) __builtin_trap();
  // Every request handle opened was closed again.
  const size_t opened = api.CallsStartingWith("OpenRequest").size();
  const size_t closed = api.CallsStartingWith("CloseHandle(request").size();
  if (opened != closed) __builtin_trap();
  return 0;
}
