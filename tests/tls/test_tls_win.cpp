// Feeds over HTTPS under Wine: the real winhttp.dll, its certificate checks against the
// trust store of the test prefix, and HTTPS servers on loopback (tests/tls/with-tls-server.sh
// passes their ports and the test authority's certificate in the environment).
#include <windows.h>

#include <wincrypt.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "feeds/uRSSLoader.h"
#include "gui/Forms_win.h"
#include "tests/support/FeedTestSupport.h"
#include "tests/support/Pump_win.h"

namespace mq {
namespace {

// "good=P1,selfsigned=P2,...": the port of each server.
std::map<std::string, int> Ports() {
  std::map<std::string, int> ports;
  const char* text = std::getenv("MQ_TLS_PORTS");
  std::stringstream in(text != nullptr ? text : "");
  for (std::string pair; std::getline(in, pair, ',');) {
    const size_t eq = pair.find('=');
    if (eq != std::string::npos) ports[pair.substr(0, eq)] = std::atoi(pair.c_str() + eq + 1);
  }
  return ports;
}

std::string Url(int port) { return "https://localhost:" + std::to_string(port) + "/feed.xml"; }

// The test authority in the current user's root store for as long as it lives.
class TrustedAuthority {
 public:
  explicit TrustedAuthority(const std::string& derFile) {
    std::ifstream in(derFile, std::ios::binary);
    const std::vector<char> der((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    store_ = ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
    if (store_ == nullptr || der.empty()) return;
    ::CertAddEncodedCertificateToStore(
        store_, X509_ASN_ENCODING, reinterpret_cast<const BYTE*>(der.data()),
        static_cast<DWORD>(der.size()), CERT_STORE_ADD_REPLACE_EXISTING, &added_);
  }
  ~TrustedAuthority() {
    if (added_ != nullptr) ::CertDeleteCertificateFromStore(added_);  // frees the context too
    if (store_ != nullptr) ::CertCloseStore(store_, 0);
  }
  TrustedAuthority(const TrustedAuthority&) = delete;
  TrustedAuthority& operator=(const TrustedAuthority&) = delete;
  bool Added() const { return added_ != nullptr; }

 private:
  HCERTSTORE store_ = nullptr;
  PCCERT_CONTEXT added_ = nullptr;
};

int RunLoader(const std::string& url) {
  test::TRecordingReporter reporter;
  TRSSHandler handler(&reporter);
  handler.SetUrl(url);
  handler.LoadFromText(test::Rss("<title>Old</title>" + test::Item("old")));
  std::atomic<int> ended{0};
  auto* loader = new TRssLoader(handler);
  loader->OnTerminate = [&ended](TObject*) { ++ended; };
  loader->Start();
  EXPECT_TRUE(test::PumpUntil([&] { return ended == 1; }, 30000));
  EXPECT_TRUE(reporter.messages.empty());
  return handler.Items().Count();
}

class Https : public ::testing::Test {
 protected:
  void SetUp() override {
    ports_ = Ports();
    const char* ca = std::getenv("MQ_TLS_CA");
    ASSERT_NE(ca, nullptr) << "run through tests/tls/with-tls-server.sh (ctest does)";
    ca_ = ca;
    ASSERT_EQ(ports_.size(), 4u);
  }
  std::map<std::string, int> ports_;
  std::string ca_;
};

// Without the test authority in the store nothing the servers hold is trusted.
TEST_F(Https, AnUntrustedAuthorityFails) {
  TALWinHttpClient client;
  const TFeedFetch fetch = FetchFeed(client, Url(ports_["good"]));
  std::printf("untrusted authority: %s\n", fetch.error.c_str());
  EXPECT_TRUE(fetch.text.empty());
  EXPECT_NE(fetch.error.find("URL:https://localhost:"), std::string::npos) << fetch.error;
  EXPECT_EQ(RunLoader(Url(ports_["good"])), 0);
}

TEST_F(Https, ATrustedFeedLoadsAndBadCertificatesFail) {
  TrustedAuthority authority(ca_);
  ASSERT_TRUE(authority.Added());
  struct Case {
    const char* server;
    int items;
  };
  const Case cases[] = {{"good", 1}, {"selfsigned", 0}, {"expired", 0}, {"wronghost", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.server);
    TALWinHttpClient client;
    const TFeedFetch fetch = FetchFeed(client, Url(ports_[c.server]));
    std::printf("%-10s status %d, %zu bytes, error: %s\n", c.server, fetch.status, fetch.bytes,
                fetch.error.empty() ? "(none)" : fetch.error.c_str());
    if (c.items > 0) {
      EXPECT_EQ(fetch.status, 200);
      EXPECT_NE(fetch.text.find("<title>TLS good</title>"), std::string::npos);
    } else {
      EXPECT_TRUE(fetch.text.empty());
      EXPECT_EQ(fetch.status, 0);
      // The platform's words for a refused certificate ("secure channel", "security
      // certificate ..."), then the address.
      EXPECT_NE(fetch.error.find("ecur"), std::string::npos) << fetch.error;
      EXPECT_NE(fetch.error.find(" - URL:https://localhost:"), std::string::npos) << fetch.error;
    }
    EXPECT_EQ(RunLoader(Url(ports_[c.server])), c.items);
  }
}

}  // namespace
}  // namespace mq
