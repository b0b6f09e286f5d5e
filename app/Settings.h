// The settings file "app.config" (INI text beside the executable) and the start-at-log-on
// value under the user's Run key. The logic here is portable: it reaches the file and the
// registry through the two small interfaces below, which the Windows build implements with
// the private-profile functions and the registry functions (Settings_win.h), and which the
// tests can replace.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "app/uRSSLinkItem.h"

namespace mq {

// One INI file, reached key by key through the platform's private-profile functions, with no
// cache in between. Texts are UTF-8.
class IProfileFile {
 public:
  virtual ~IProfileFile() = default;
  // The file's path as the program names it (used in error texts).
  virtual const std::string& Path() const = 0;
  virtual bool Exists() const = 0;
  // The key's value, or `fallback` when the section or the key is absent. A key that is
  // present with an empty value reads as "".
  virtual std::string ReadString(std::string_view section, std::string_view key,
                                 std::string_view fallback) = 0;
  // Every line of the section in file order, as the platform reports them ("key=value").
  virtual std::vector<std::string> ReadSectionLines(std::string_view section) = 0;
  // False when the system refuses the write.
  virtual bool WriteString(std::string_view section, std::string_view key, std::string_view value) = 0;
  // Removes the section with all its keys. False when the system refuses the write.
  virtual bool EraseSection(std::string_view section) = 0;
};

// The string values of one registry key. The key itself is never created.
class IRegistryValues {
 public:
  virtual ~IRegistryValues() = default;
  // The value's string, or nothing when the key or the value is missing or not a string.
  virtual std::optional<std::string> ReadString(std::string_view name) = 0;
  // Writes a string value into the existing key. False when the key cannot be opened for
  // writing or the write is refused.
  virtual bool WriteString(std::string_view name, std::string_view value) = 0;
  // False when the key cannot be opened for writing or the value cannot be deleted.
  virtual bool DeleteValue(std::string_view name) = 0;
};

// A write the system refused. The message is "Unable to write to <path>".
class ESettingsWriteError : public std::runtime_error {
 public:
  explicit ESettingsWriteError(const std::string& path)
      : std::runtime_error("Unable to write to " + path), path_(path) {}
  const std::string& Path() const noexcept { return path_; }

 private:
  std::string path_;
};

// ---- file names, keys and defaults -------------------------------------------------------

inline constexpr std::string_view kConfigFileName = "app.config";
inline constexpr std::string_view kSectionGlobal = "Global";
inline constexpr std::string_view kSectionDefaultUrls = "Default Urls";
inline constexpr std::string_view kSectionCustomUrls = "Custom Urls";

inline constexpr int kDefaultReloadMinutes = 5;
inline constexpr std::uint32_t kMsPerMinute = 60000;
// The longest interval the message timer takes (USER_TIMER_MAXIMUM), in whole minutes.
inline constexpr std::int32_t kMaxReloadMinutes = 0x7FFFFFFF / kMsPerMinute;

// The registry key and value of the start-at-log-on choice (under HKEY_CURRENT_USER).
inline constexpr std::string_view kRunKeyPath = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr std::string_view kRunValueName = "[Marquelle]";

// The built-in feeds, comma-separated. Their order is part of the file format: the
// "Disabled" indices of "Default Urls" are positions in this list. Entry 1 is the feed used
// when the file names none.
extern const std::string_view kBuiltInFeeds;
// The built-in list split as comma text.
std::vector<std::string> BuiltInFeedUrls();
// Entry 1 of the built-in list.
std::string DefaultFeedUrl();

// "<folder of exePath>app.config"; the folder ends at the last '\' or '/'.
std::string ConfigFileFor(std::string_view exePath);

// ---- value formats -----------------------------------------------------------------------

// An integer as the settings file holds it: optional blanks, an optional sign, then decimal
// digits, or hexadecimal digits after "$" or "0x"/"0X" (up to 8 digits, taken as a 32-bit
// pattern). Anything else, or a decimal outside the 32-bit range, does not convert.
std::optional<std::int32_t> ParseProfileInt(std::string_view text);

// Comma text: items are separated by commas or by characters up to the blank; an item that
// starts with a double quote runs to the closing quote ("" inside stands for one quote).
// A comma at the very end adds an empty item.
std::vector<std::string> SplitCommaText(std::string_view text);

// The ticker font as far as the settings know it.
struct TTickerFont {
  std::string Name = "Tahoma";
  int Size = 8;                    // points
  std::uint32_t Color = 15136255;  // $00E6F5FF, $00BBGGRR
  bool Italic = false;
  bool Bold = false;
  bool Underline = false;  // not stored in the file
  bool StrikeOut = false;  // not stored in the file

  bool operator==(const TTickerFont&) const = default;
};

// "Ticker_Font_Style": first character "1" for italic, second "1" for bold.
std::string FontStyleText(const TTickerFont& font);
// Adds italic and bold from a style text to the font; any other character, or a missing
// position, adds nothing.
void AddFontStyleText(std::string_view style, TTickerFont& font);

// Reload_Time in minutes to the timer interval. Negative minutes do not convert (the default
// applies); values beyond what the timer takes are clamped to kMaxReloadMinutes.
std::uint32_t ReloadIntervalFromMinutes(std::int32_t minutes);
std::int32_t ReloadMinutesFromInterval(std::uint32_t intervalMs);

// ---- reading and writing -----------------------------------------------------------------

// What the start-up read hands to the main window.
struct TSettings {
  bool FileExists = false;  // false: this is a first run
  std::string Url;          // for the feed's SetUrl (which ignores an empty address)
  int LastConfigPage = 0;
  std::uint32_t ReloadIntervalMs = kDefaultReloadMinutes * kMsPerMinute;
  TRSSLinkList DefaultLinks;
  TRSSLinkList CustomLinks;
  TTickerFont TickerFont;
  bool Log = false;  // "Global"/"Log" set to a number other than 0: the diagnostics log is on
};

// Reads the whole file. `resourceFont` is the ticker font as the form resource gives it: its
// name, size and colour are replaced by the file's (or the defaults), and the file's style
// adds italic and bold to its style.
TSettings LoadSettings(IProfileFile& file, std::string_view defaultUrl,
                       const TTickerFont& resourceFont = {});

// Opens the diagnostics log at `logPath` when `settings.Log` asks for it, and writes there
// which file the settings were read from and what they hold. False when the log stays off
// (not asked for, or the file cannot be written, which the program goes on without).
bool OpenDiagnosticsLog(const TSettings& settings, std::string_view configPath,
                        std::string_view logPath);

// At exit: "Global"/"Url", "Global"/"Reload_Time", then the "Custom Urls" section rewritten
// whole ("Disabled" first, then Url_0, Url_1, ...), so a hand-edited section does not gain a
// second copy of its addresses at every exit. Throws ESettingsWriteError at the first refused
// write; the keys after it are not written. The write, or its refusal, goes to the
// diagnostics log.
void SaveState(IProfileFile& file, std::string_view feedUrl, std::uint32_t reloadIntervalMs,
               const TRSSLinkList& customLinks);

// After an accepted configuration: "Last_Config_Page", "Default Urls"/"Disabled", the
// "Custom Urls" section rewritten whole ("Disabled" first, then Url_0, Url_1, ...), then the
// four ticker font keys. Throws ESettingsWriteError at the first refused write. The write,
// or its refusal, goes to the diagnostics log.
void SaveConfiguration(IProfileFile& file, int lastConfigPage, const TRSSLinkList& defaultLinks,
                       const TRSSLinkList& customLinks, const TTickerFont& tickerFont);

// ---- start at log-on ---------------------------------------------------------------------

// True when the Run value exists with a non-empty string, whatever it holds.
bool ReadStartAtLogOn(IRegistryValues& runKey);
// The Run value's text for an executable: its path in double quotes, so a path with blanks
// reads as one program.
std::string RunCommandFor(std::string_view exePath);
// Applies the dialog's choice: when it differs from `wasOn`, writes the value (on) or deletes
// it (off); otherwise touches nothing. False when a needed write was refused.
bool ApplyStartAtLogOn(IRegistryValues& runKey, bool wasOn, bool isOn, std::string_view exePath);

}  // namespace mq
