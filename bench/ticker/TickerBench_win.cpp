// Times one step and paint of a 1920 x 24 ticker carrying a text about 2000 pixels wide, and
// in the same run a memcpy of the same number of bytes (the physical floor). Google Benchmark
// is not available for this platform here, so this is a plain timed program on
// QueryPerformanceCounter; it prints microseconds per operation and writes the results in
// Google Benchmark's JSON shape.
//
//   ticker_bench.exe [--benchmark_out=result.json] [--iterations=N]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "gui/Forms_win.h"
#include "ticker/ALScrollingText_win.h"

namespace {

using namespace mq;

struct Result {
  std::string name;
  long iterations;
  double realUs;
  double cpuUs;
  double minUs;
};

double Now() {
  static LARGE_INTEGER freq = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER t;
  ::QueryPerformanceCounter(&t);
  return double(t.QuadPart) * 1e6 / double(freq.QuadPart);
}

double ThreadCpuUs() {
  FILETIME c, e, k, u;
  ::GetThreadTimes(::GetCurrentThread(), &c, &e, &k, &u);
  auto us = [](FILETIME f) {
    return (double(f.dwHighDateTime) * 4294967296.0 + f.dwLowDateTime) / 10.0;
  };
  return us(k) + us(u);
}

Result Time(const std::string& name, long iterations, const std::function<void()>& op) {
  for (int i = 0; i < 50; ++i) op();  // warm-up
  double minUs = 1e300;
  const double cpu0 = ThreadCpuUs();
  const double t0 = Now();
  for (long i = 0; i < iterations; ++i) {
    const double s = Now();
    op();
    minUs = std::min(minUs, Now() - s);
  }
  const double t1 = Now();
  const double cpu1 = ThreadCpuUs();
  return {name, iterations, (t1 - t0) / iterations, (cpu1 - cpu0) / iterations, minUs};
}

}  // namespace

int main(int argc, char** argv) {
  std::string out = "ticker_bench.json";
  long iterations = 3000;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.rfind("--benchmark_out=", 0) == 0) {
      out = arg.substr(16);
    } else if (arg.rfind("--iterations=", 0) == 0) {
      iterations = std::max(1L, std::atol(arg.c_str() + 13));
    } else if (arg.rfind("--benchmark_", 0) != 0) {  // other Google Benchmark flags are ignored
      std::fprintf(stderr, "usage: ticker_bench [--benchmark_out=FILE] [--iterations=N]\n");
      return 2;
    }
  }
  Application().Initialize();

  Owned<TForm> form = CreateOwnedForm<TForm>();
  form->SetBorderStyle(TFormBorderStyle::bsNone);
  form->SetClientSize(1920, 24);
  form->Font().SetName("Tahoma");
  form->Font().SetSize(8);
  auto* ticker = new TALScrollingText(form.get());
  ticker->SetParent(form.get());
  ticker->SetBounds(0, 0, 1920, 24);
  ticker->SetBackgroundColor(0x003C3028);
  ticker->Font().SetColor(0x00E6F5FF);
  ticker->SetTextDirection(TTextDirection::tdRightToLeft);
  ticker->SetSpeed(0);  // stepped by the benchmark, not the timer

  // A text about 2000 pixels wide.
  std::string text = "1/25 ";
  {
    TBitmap probe(1, 1);
    probe.Canvas().Font = ticker->Font();
    const char* words[] = {"Marquelle", "scrolls", "the",    "titles", "of",  "one",
                           "RSS",       "feed",    "across", "the",    "bar;"};
    for (int i = 0; probe.Canvas().TextWidth(text) < 2000; ++i) text += std::string(words[i % 11]) + " ";
  }
  ticker->SetText(text);
  const int textWidth = ticker->StripWidth() - 2 * 1920;
  form->Show();
  Application().ProcessMessages();

  std::vector<Result> results;
  results.push_back(Time("BM_TickerStepAndPaint/window", iterations, [&] { ticker->Step(); }));
  // The same ticker on a form that has no window: the step moves the offset only, and the
  // paint goes into a memory bitmap.
  Owned<TForm> offscreen = CreateOwnedForm<TForm>();
  offscreen->SetBorderStyle(TFormBorderStyle::bsNone);
  offscreen->SetClientSize(1920, 24);
  offscreen->Font() = form->Font();
  auto* memTicker = new TALScrollingText(offscreen.get());
  memTicker->SetParent(offscreen.get());
  memTicker->SetBounds(0, 0, 1920, 24);
  memTicker->SetBackgroundColor(0x003C3028);
  memTicker->Font().SetColor(0x00E6F5FF);
  memTicker->SetTextDirection(TTextDirection::tdRightToLeft);
  memTicker->SetSpeed(0);
  memTicker->SetText(text);
  TBitmap memory(1920, 24);
  const RECT area{0, 0, 1920, 24};
  results.push_back(Time("BM_TickerStepAndPaint/memory_dib", iterations, [&] {
    memTicker->Step();
    offscreen->PaintContent(memory.Dc(), area);
  }));
  const std::size_t frameBytes = std::size_t(1920) * 24 * 4;
  std::vector<char> a(frameBytes * 3), b(frameBytes * 3);
  results.push_back(Time("BM_Memcpy/one_frame_184320_bytes", iterations * 4, [&] {
    std::memcpy(b.data(), a.data(), frameBytes);
    a[0] = b[1];
  }));
  results.push_back(Time("BM_Memcpy/three_frames_552960_bytes", iterations * 4, [&] {
    std::memcpy(b.data(), a.data(), frameBytes * 3);
    a[0] = b[1];
  }));
  form->Hide();

  std::printf("ticker 1920 x 24, text %d px wide, %ld iterations\n", textWidth, iterations);
  std::printf("%-40s %12s %12s %12s\n", "benchmark", "real us", "cpu us", "min us");
  for (const Result& r : results)
    std::printf("%-40s %12.2f %12.2f %12.2f\n", r.name.c_str(), r.realUs, r.cpuUs, r.minUs);

  if (FILE* f = std::fopen(out.c_str(), "w")) {
    SYSTEM_INFO si;
    ::GetSystemInfo(&si);
    std::fprintf(
        f, "{\n  \"context\": {\n    \"executable\": \"ticker_bench.exe\",\n    \"num_cpus\": %lu,\n",
        si.dwNumberOfProcessors);
    std::fprintf(f, "    \"ticker_width\": 1920,\n    \"ticker_height\": 24,\n    \"text_width\": %d,\n",
                 textWidth);
    std::fprintf(f, "    \"library_build_type\": \"RelWithDebInfo (-O2)\"\n  },\n  \"benchmarks\": [\n");
    for (std::size_t i = 0; i < results.size(); ++i) {
      const Result& r = results[i];
      std::fprintf(f,
                   "    {\n      \"name\": \"%s\",\n      \"run_name\": \"%s\",\n      \"run_type\": "
                   "\"iteration\",\n"
                   "      \"repetitions\": 1,\n      \"repetition_index\": 0,\n      \"threads\": 1,\n"
                   "      \"iterations\": %ld,\n      \"real_time\": %.3f,\n      \"cpu_time\": %.3f,\n"
                   "      \"time_unit\": \"us\"\n    }%s\n",
                   r.name.c_str(), r.name.c_str(), r.iterations, r.realUs, r.cpuUs,
                   i + 1 < results.size() ? "," : "");
    }
    std::fprintf(f, "  ]\n}\n");
    std::fclose(f);
    std::printf("wrote %s\n", out.c_str());
  }
  return 0;
}
