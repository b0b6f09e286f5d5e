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
#include <memory>
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

// The test authority in the current user's root store for as long as it lives. The store
// is closed after each change: Wine writes a registry store back when it is closed.
class TrustedAuthority {
 public:
  explicit TrustedAuthority(const std::string& derFile) {
    std::ifstream in(derFile, std::ios::binary);
    der_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    HCERTSTORE store = OpenRoot();
    if (store == nullptr || der_.empty()) return;
    added_ = ::CertAddEncodedCertificateToStore(store, X509_ASN_ENCODING, Der(), Size(),
                                                CERT_STORE_ADD_REPLACE_EXISTING, nullptr) != FALSE;
    ::CertCloseStore(store, 0);
  }
  ~TrustedAuthority() {
    if (!added_) return;
    HCERTSTORE store = OpenRoot();
    PCCERT_CONTEXT mine = ::CertCreateCertificateContext(X509_ASN_ENCODING, Der(), Size());
    if (store != nullptr && mine != nullptr) {
      if (PCCERT_CONTEXT found = ::CertFindCertificateInStore(store, X509_ASN_ENCODING, 0,
                                                              CERT_FIND_EXISTING, mine, nullptr))
        ::CertDeleteCertificateFromStore(found);  // frees `found` too
    }
    if (mine != nullptr) ::CertFreeCertificateContext(mine);
    if (store != nullptr) ::CertCloseStore(store, 0);
  }
  TrustedAuthority(const TrustedAuthority&) = delete;
  TrustedAuthority& operator=(const TrustedAuthority&) = delete;
  bool Added() const { return added_; }

 private:
  static HCERTSTORE OpenRoot() {
    return ::CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_CURRENT_USER, L"Root");
  }
  const BYTE* Der() const { return reinterpret_cast<const BYTE*>(der_.data()); }
  DWORD Size() const { return static_cast<DWORD>(der_.size()); }

  std::vector<char> der_;
  bool added_ = false;
};

// Runs a loader for `url` over a handler that held a feed; the items it leaves. `cause`
// receives why the download gave no feed.
int RunLoader(const std::string& url, std::string* cause = nullptr) {
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
  if (cause != nullptr) *cause = handler.FetchState().LastFailure(url);
  return handler.Items().Count();
}

// The platform reads the trust store once per process, at the first certificate check: the
// test authority is added before any test runs (unless MQ_TLS_UNTRUSTED is set, for the run
// that checks an unknown authority) and removed when all have run.
class TrustTestAuthority : public ::testing::Environment {
 public:
  void SetUp() override {
    const char* ca = std::getenv("MQ_TLS_CA");
    if (ca != nullptr && std::getenv("MQ_TLS_UNTRUSTED") == nullptr)
      authority_ = std::make_unique<TrustedAuthority>(ca);
  }
  void TearDown() override { authority_.reset(); }
  static bool Trusted() { return authority_ && authority_->Added(); }

 private:
  static inline std::unique_ptr<TrustedAuthority> authority_;
};
const auto* const kTrust = ::testing::AddGlobalTestEnvironment(new TrustTestAuthority);

class Https : public ::testing::Test {
 protected:
  void SetUp() override {
    ports_ = Ports();
    ASSERT_NE(std::getenv("MQ_TLS_CA"), nullptr)
        << "run through tests/tls/with-tls-server.sh (ctest does)";
    ASSERT_EQ(ports_.size(), 4u);
  }
  std::map<std::string, int> ports_;
};

// Without the test authority in the store nothing the servers hold is trusted: the checks
// are the platform's, never switched off.
TEST_F(Https, UntrustedAuthorityFails) {
  if (TrustTestAuthority::Trusted())
    GTEST_SKIP() << "runs with MQ_TLS_UNTRUSTED set (its own ctest entry)";
  for (const char* server : {"good", "selfsigned"}) {
    SCOPED_TRACE(server);
    TALWinHttpClient client;
    const TFeedFetch fetch = FetchFeed(client, Url(ports_[server]));
    std::printf("%s, untrusted authority: %s\n", server, fetch.error.c_str());
    EXPECT_TRUE(fetch.text.empty());
    EXPECT_NE(fetch.error.find(" - URL:https://localhost:"), std::string::npos) << fetch.error;
    EXPECT_EQ(RunLoader(Url(ports_[server])), 0);
  }
}

TEST_F(Https, TrustedFeedLoadsAndBadCertificatesFail) {
  if (!TrustTestAuthority::Trusted()) GTEST_SKIP() << "the test authority is not in the store";
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
    std::string cause;
    EXPECT_EQ(RunLoader(Url(ports_[c.server]), &cause), c.items);
    EXPECT_EQ(cause, fetch.error) << "the ticker's hint shows the same cause";
  }
}

}  // namespace
}  // namespace mq
