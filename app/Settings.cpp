#include "app/Settings.h"

#include <algorithm>
#include <limits>

#include "base/DiagLog.h"

namespace mq {

// Seven Chinese-language and seven English-language news services. Entry 1 (BBC News 中文,
// simplified script) is the initial feed. Addresses hold neither commas nor blanks, since
// the list is read as comma text.
const std::string_view kBuiltInFeeds =
    "https://feeds.bbci.co.uk/news/world/rss.xml,"
    "https://feeds.bbci.co.uk/zhongwen/simp/rss.xml,"
    "https://cn.nytimes.com/rss/,"
    "https://rss.dw.com/rdf/rss-chi-all,"
    "https://www.rfi.fr/cn/rss,"
    "https://www.ftchinese.com/rss/news,"
    "https://www.chinanews.com.cn/rss/scroll-news.xml,"
    "https://www.solidot.org/index.rss,"
    "https://rss.nytimes.com/services/xml/rss/nyt/World.xml,"
    "https://www.theguardian.com/world/rss,"
    "https://feeds.npr.org/1001/rss.xml,"
    "https://www.aljazeera.com/xml/rss/all.xml,"
    "https://rss.dw.com/rdf/rss-en-all,"
    "https://feeds.arstechnica.com/arstechnica/index";

std::vector<std::string> BuiltInFeedUrls() { return SplitCommaText(kBuiltInFeeds); }

std::string DefaultFeedUrl() { return BuiltInFeedUrls().at(1); }

std::string ConfigFileFor(std::string_view exePath) {
  const auto slash = exePath.find_last_of("\\/");
  std::string out;
  if (slash != std::string_view::npos) out.assign(exePath.substr(0, slash + 1));
  out += kConfigFileName;
  return out;
}

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

}  // namespace

std::optional<std::int32_t> ParseProfileInt(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';

  bool hex = false;
  if (i < s.size() && s[i] == '$') {
    hex = true;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i == s.size()) return std::nullopt;

  if (hex) {
    if (s.size() - i > 8) return std::nullopt;
    std::uint32_t v = 0;
    for (; i < s.size(); ++i) {
      const int d = HexDigit(s[i]);
      if (d < 0) return std::nullopt;
      v = (v << 4) | std::uint32_t(d);
    }
    if (negative) v = 0u - v;
    return static_cast<std::int32_t>(v);
  }

  std::int64_t v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return std::nullopt;
    v = v * 10 + (s[i] - '0');
    if (v > std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1) return std::nullopt;
  }
  if (negative) v = -v;
  if (v > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  return static_cast<std::int32_t>(v);
}

std::vector<std::string> SplitCommaText(std::string_view s) {
  std::vector<std::string> items;
  std::size_t i = 0;
  const std::size_t n = s.size();
  auto skipBlanks = [&] {
    while (i < n && IsBlank(s[i])) ++i;
  };
  skipBlanks();
  while (i < n) {
    std::string item;
    if (s[i] == '"') {
      ++i;
      while (i < n) {
        if (s[i] == '"') {
          if (i + 1 < n && s[i + 1] == '"') {
            item += '"';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        item += s[i++];
      }
    } else {
      const std::size_t start = i;
      while (i < n && !IsBlank(s[i]) && s[i] != ',') ++i;
      item.assign(s.substr(start, i - start));
    }
    items.push_back(std::move(item));
    skipBlanks();
    if (i < n && s[i] == ',') {
      if (i + 1 == n) items.emplace_back();
      ++i;
      skipBlanks();
    }
  }
  return items;
}

std::string FontStyleText(const TTickerFont& font) {
  return std::string{font.Italic ? '1' : '0', font.Bold ? '1' : '0'};
}

void AddFontStyleText(std::string_view style, TTickerFont& font) {
  if (style.size() > 0 && style[0] == '1') font.Italic = true;
  if (style.size() > 1 && style[1] == '1') font.Bold = true;
}

std::uint32_t ReloadIntervalFromMinutes(std::int32_t minutes) {
  if (minutes < 0) minutes = kDefaultReloadMinutes;
  minutes = std::min(minutes, kMaxReloadMinutes);
  return std::uint32_t(minutes) * kMsPerMinute;
}

std::int32_t ReloadMinutesFromInterval(std::uint32_t intervalMs) {
  return static_cast<std::int32_t>(intervalMs / kMsPerMinute);
}

namespace {

std::int32_t ReadInteger(IProfileFile& file, std::string_view section, std::string_view key,
                         std::int32_t fallback) {
  return ParseProfileInt(file.ReadString(section, key, "")).value_or(fallback);
}

bool Contains(const std::vector<std::string>& items, const std::string& s) {
  return std::find(items.begin(), items.end(), s) != items.end();
}

void Write(IProfileFile& file, std::string_view section, std::string_view key, std::string_view value) {
  if (!file.WriteString(section, key, value)) throw ESettingsWriteError(file.Path());
}

// The user's feeds replace the whole section: keys left over from an older list or from a
// hand edit would otherwise be read back as further addresses at the next start.
void ReplaceCustomUrls(IProfileFile& file, const TRSSLinkList& customLinks) {
  if (!file.EraseSection(kSectionCustomUrls)) throw ESettingsWriteError(file.Path());
  Write(file, kSectionCustomUrls, "Disabled", customLinks.DisabledIndices());
  for (std::size_t n = 0; n < customLinks.Count(); ++n)
    Write(file, kSectionCustomUrls, "Url_" + std::to_string(n), customLinks.Strings(n));
}

// Runs the writes of `what`, noting in the diagnostics log that they were made or refused.
template <typename Writes>
void LoggedWrites(IProfileFile& file, std::string_view what, Writes writes) {
  try {
    writes();
  } catch (const ESettingsWriteError& e) {
    LogEvent("settings", std::string(what) + " not written: " + e.what());
    throw;
  }
  LogEvent("settings", std::string(what) + " written to " + file.Path());
}

}  // namespace

TSettings LoadSettings(IProfileFile& file, std::string_view defaultUrl,
                       const TTickerFont& resourceFont) {
  TSettings s;
  s.FileExists = file.Exists();
  s.Url = file.ReadString(kSectionGlobal, "Url", defaultUrl);
  s.LastConfigPage = ReadInteger(file, kSectionGlobal, "Last_Config_Page", 0);
  s.ReloadIntervalMs =
      ReloadIntervalFromMinutes(ReadInteger(file, kSectionGlobal, "Reload_Time", kDefaultReloadMinutes));

  const auto defaultDisabled = SplitCommaText(file.ReadString(kSectionDefaultUrls, "Disabled", ""));
  const auto builtIn = BuiltInFeedUrls();
  for (std::size_t i = 0; i < builtIn.size(); ++i)
    s.DefaultLinks.Add(builtIn[i], !Contains(defaultDisabled, std::to_string(i)));

  // The section's lines are numbered from 0 in file order; the "Disabled" line, which the
  // program writes first, counts as line 0, so line n is the user feed with index n - 1.
  const auto customDisabled = SplitCommaText(file.ReadString(kSectionCustomUrls, "Disabled", ""));
  const auto lines = file.ReadSectionLines(kSectionCustomUrls);
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const std::string& line = lines[n];
    if (line.starts_with("Disabled=")) continue;
    const auto eq = line.find('=');
    // A line without "=" is a key without a value.
    std::string url = eq == std::string::npos ? std::string() : line.substr(eq + 1);
    const bool enabled = !Contains(customDisabled, std::to_string(std::int64_t(n) - 1));
    s.CustomLinks.Add(std::move(url), enabled);
  }

  s.TickerFont = resourceFont;
  s.TickerFont.Name = file.ReadString(kSectionGlobal, "Ticker_Font_Name", "Tahoma");
  s.TickerFont.Size = ReadInteger(file, kSectionGlobal, "Ticker_Font_Size", 8);
  s.TickerFont.Color =
      static_cast<std::uint32_t>(ReadInteger(file, kSectionGlobal, "Ticker_Font_Color", 15136255));
  AddFontStyleText(file.ReadString(kSectionGlobal, "Ticker_Font_Style", "00"), s.TickerFont);
  s.Log = ReadInteger(file, kSectionGlobal, "Log", 0) != 0;
  return s;
}

bool OpenDiagnosticsLog(const TSettings& settings, std::string_view configPath,
                        std::string_view logPath) {
  if (!settings.Log || !DiagLog().Open(logPath)) return false;
  LogEvent("settings",
           "read " + std::string(configPath) + (settings.FileExists ? "" : " (no file: first run)") +
               ": Url=" + settings.Url +
               ", Reload_Time=" + std::to_string(ReloadMinutesFromInterval(settings.ReloadIntervalMs)) +
               " min, " + std::to_string(settings.DefaultLinks.Count()) + " built-in and " +
               std::to_string(settings.CustomLinks.Count()) + " own feeds");
  return true;
}

void SaveState(IProfileFile& file, std::string_view feedUrl, std::uint32_t reloadIntervalMs,
               const TRSSLinkList& customLinks) {
  LoggedWrites(file, "state (Url=" + std::string(feedUrl) + ")", [&] {
    Write(file, kSectionGlobal, "Url", feedUrl);
    Write(file, kSectionGlobal, "Reload_Time",
          std::to_string(ReloadMinutesFromInterval(reloadIntervalMs)));
    ReplaceCustomUrls(file, customLinks);
  });
}

void SaveConfiguration(IProfileFile& file, int lastConfigPage, const TRSSLinkList& defaultLinks,
                       const TRSSLinkList& customLinks, const TTickerFont& tickerFont) {
  LoggedWrites(file, "configuration", [&] {
    Write(file, kSectionGlobal, "Last_Config_Page", std::to_string(lastConfigPage));
    Write(file, kSectionDefaultUrls, "Disabled", defaultLinks.DisabledIndices());
    ReplaceCustomUrls(file, customLinks);
    Write(file, kSectionGlobal, "Ticker_Font_Name", tickerFont.Name);
    Write(file, kSectionGlobal, "Ticker_Font_Size", std::to_string(tickerFont.Size));
    Write(file, kSectionGlobal, "Ticker_Font_Color",
          std::to_string(static_cast<std::int32_t>(tickerFont.Color)));
    Write(file, kSectionGlobal, "Ticker_Font_Style", FontStyleText(tickerFont));
  });
}

bool ReadStartAtLogOn(IRegistryValues& runKey) {
  const auto value = runKey.ReadString(kRunValueName);
  return value && !value->empty();
}

std::string RunCommandFor(std::string_view exePath) {
  std::string out;
  out.reserve(exePath.size() + 2);
  out += '"';
  out += exePath;
  out += '"';
  return out;
}

bool ApplyStartAtLogOn(IRegistryValues& runKey, bool wasOn, bool isOn, std::string_view exePath) {
  if (wasOn == isOn) return true;
  if (isOn) return runKey.WriteString(kRunValueName, RunCommandFor(exePath));
  return runKey.DeleteValue(kRunValueName);
}

}  // namespace mq
