#include "app/Settings_win.h"

#include <vector>

#include "base/Utf.h"
#include "base/WinHandles_win.h"

namespace mq {

namespace {

constexpr unsigned char kUtf16Mark[] = {0xFF, 0xFE};
constexpr unsigned char kUtf8Mark[] = {0xEF, 0xBB, 0xBF};
// A settings file is a few hundred bytes; anything far larger is left to the platform.
constexpr DWORD kMaxConvertedSize = 4 * 1024 * 1024;

bool WriteAll(HANDLE h, const void* data, DWORD size) {
  DWORD written = 0;
  return WriteFile(h, data, size, &written, nullptr) && written == size;
}

bool StartsWith(const std::vector<char>& bytes, const unsigned char* mark, std::size_t n) {
  if (bytes.size() < n) return false;
  for (std::size_t i = 0; i < n; ++i)
    if (static_cast<unsigned char>(bytes[i]) != mark[i]) return false;
  return true;
}

// Decodes bytes to UTF-16, or gives nothing when they are not valid in that code page.
std::optional<std::wstring> Decode(UINT codePage, DWORD flags, const char* data, int size) {
  if (size == 0) return std::wstring();
  const int n = MultiByteToWideChar(codePage, flags, data, size, nullptr, 0);
  if (n <= 0) return std::nullopt;
  std::wstring out(std::size_t(n), L'\0');
  MultiByteToWideChar(codePage, flags, data, size, out.data(), n);
  return out;
}

// Writes mark + text to a file beside `path` and moves it over `path`.
bool ReplaceWithUtf16(const std::wstring& path, const std::wstring& text) {
  const std::wstring temp = path + L".tmp";
  {
    UniqueFile out(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return false;
    if (!WriteAll(out.Get(), kUtf16Mark, sizeof kUtf16Mark) ||
        !WriteAll(out.Get(), text.data(), DWORD(text.size() * sizeof(wchar_t)))) {
      out.Reset();
      DeleteFileW(temp.c_str());
      return false;
    }
  }
  if (!MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileW(temp.c_str());
    return false;
  }
  return true;
}

}  // namespace

bool EnsureUnicodeProfileFile(const std::wstring& path, bool onlyIfNeededForReading) {
  UniqueFile in(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!in) {
    const DWORD error = GetLastError();
    if (error != ERROR_FILE_NOT_FOUND) return false;
    if (onlyIfNeededForReading) return true;
    UniqueFile out(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!out) return GetLastError() == ERROR_FILE_EXISTS && EnsureUnicodeProfileFile(path);
    return WriteAll(out.Get(), kUtf16Mark, sizeof kUtf16Mark);
  }

  LARGE_INTEGER size{};
  if (!GetFileSizeEx(in.Get(), &size) || size.QuadPart > kMaxConvertedSize) return false;
  std::vector<char> bytes(std::size_t(size.QuadPart));
  DWORD got = 0;
  if (!bytes.empty() &&
      (!ReadFile(in.Get(), bytes.data(), DWORD(bytes.size()), &got, nullptr) || got != bytes.size()))
    return false;
  in.Reset();

  if (StartsWith(bytes, kUtf16Mark, sizeof kUtf16Mark)) return true;
  const bool utf8Mark = StartsWith(bytes, kUtf8Mark, sizeof kUtf8Mark);
  const char* body = bytes.data() + (utf8Mark ? sizeof kUtf8Mark : 0);
  const int bodySize = int(bytes.size() - (utf8Mark ? sizeof kUtf8Mark : 0));
  bool ascii = true;
  for (int i = 0; i < bodySize; ++i)
    if (static_cast<unsigned char>(body[i]) >= 0x80) ascii = false;

  auto text = Decode(CP_UTF8, MB_ERR_INVALID_CHARS, body, bodySize);
  if (onlyIfNeededForReading && !utf8Mark && (ascii || !text)) return true;
  if (!text) text = Decode(CP_ACP, 0, body, bodySize);
  if (!text) return false;
  return ReplaceWithUtf16(path, *text);
}

TWinProfileFile::TWinProfileFile(std::string path) : path_(std::move(path)), widePath_(ToWide(path_)) {}

bool TWinProfileFile::Exists() const {
  const DWORD attributes = GetFileAttributesW(widePath_.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void TWinProfileFile::PrepareForRead() {
  if (readChecked_) return;
  readChecked_ = true;
  EnsureUnicodeProfileFile(widePath_, true);
}

bool TWinProfileFile::PrepareForWrite() {
  if (!unicode_) unicode_ = EnsureUnicodeProfileFile(widePath_);
  return unicode_;
}

std::string TWinProfileFile::ReadString(std::string_view section, std::string_view key,
                                        std::string_view fallback) {
  PrepareForRead();
  const std::wstring s = ToWide(section), k = ToWide(key), f = ToWide(fallback);
  std::vector<wchar_t> buf(256);
  for (;;) {
    const DWORD n = GetPrivateProfileStringW(s.c_str(), k.c_str(), f.c_str(), buf.data(),
                                             DWORD(buf.size()), widePath_.c_str());
    // A result of size - 1 means the value may have been cut.
    if (n + 1 < buf.size()) return FromWide(std::wstring_view(buf.data(), n));
    buf.resize(buf.size() * 4);
  }
}

std::vector<std::string> TWinProfileFile::ReadSectionLines(std::string_view section) {
  PrepareForRead();
  const std::wstring s = ToWide(section);
  std::vector<wchar_t> buf(4096);
  DWORD n;
  for (;;) {
    n = GetPrivateProfileSectionW(s.c_str(), buf.data(), DWORD(buf.size()), widePath_.c_str());
    // A result of size - 2 means the section did not fit.
    if (n + 2 < buf.size()) break;
    buf.resize(buf.size() * 4);
  }
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (buf[i] != L'\0') continue;
    lines.push_back(FromWide(std::wstring_view(buf.data() + start, i - start)));
    start = i + 1;
  }
  if (start < n) lines.push_back(FromWide(std::wstring_view(buf.data() + start, n - start)));
  return lines;
}

bool TWinProfileFile::WriteString(std::string_view section, std::string_view key,
                                  std::string_view value) {
  if (!PrepareForWrite()) return false;
  return WritePrivateProfileStringW(ToWide(section).c_str(), ToWide(key).c_str(), ToWide(value).c_str(),
                                    widePath_.c_str()) != FALSE;
}

bool TWinProfileFile::EraseSection(std::string_view section) {
  if (!PrepareForWrite()) return false;
  return WritePrivateProfileStringW(ToWide(section).c_str(), nullptr, nullptr, widePath_.c_str()) !=
         FALSE;
}

TWinRegistryValues::TWinRegistryValues(HKEY root, std::string subKey)
    : root_(root), subKey_(ToWide(subKey)) {}

std::optional<std::string> TWinRegistryValues::ReadString(std::string_view name) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(root_, subKey_.c_str(), 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS)
    return std::nullopt;
  UniqueRegKey key(raw);
  const std::wstring wname = ToWide(name);
  DWORD type = 0, size = 0;
  if (RegQueryValueExW(key.Get(), wname.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
    return std::nullopt;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return std::nullopt;
  std::vector<wchar_t> buf(size / sizeof(wchar_t) + 1, L'\0');
  DWORD bytes = DWORD(buf.size() * sizeof(wchar_t));
  if (RegQueryValueExW(key.Get(), wname.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()),
                       &bytes) != ERROR_SUCCESS)
    return std::nullopt;
  // The stored string may or may not carry its terminator; stop at the first one.
  std::wstring_view text(buf.data(), bytes / sizeof(wchar_t));
  if (const auto nul = text.find(L'\0'); nul != std::wstring_view::npos) text = text.substr(0, nul);
  return FromWide(text);
}

bool TWinRegistryValues::WriteString(std::string_view name, std::string_view value) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(root_, subKey_.c_str(), 0, KEY_SET_VALUE, &raw) != ERROR_SUCCESS) return false;
  UniqueRegKey key(raw);
  const std::wstring wvalue = ToWide(value);
  return RegSetValueExW(key.Get(), ToWide(name).c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(wvalue.c_str()),
                        DWORD((wvalue.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

bool TWinRegistryValues::DeleteValue(std::string_view name) {
  HKEY raw = nullptr;
  if (RegOpenKeyExW(root_, subKey_.c_str(), 0, KEY_SET_VALUE, &raw) != ERROR_SUCCESS) return false;
  UniqueRegKey key(raw);
  return RegDeleteValueW(key.Get(), ToWide(name).c_str()) == ERROR_SUCCESS;
}

TWinRegistryValues RunKey() { return TWinRegistryValues(HKEY_CURRENT_USER, std::string(kRunKeyPath)); }

std::string ExecutablePath() {
  std::vector<wchar_t> buf(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), DWORD(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) return FromWide(std::wstring_view(buf.data(), n));
    buf.resize(buf.size() * 2);
  }
}

}  // namespace mq
