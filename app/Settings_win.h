// The Windows side of the settings: the private-profile functions on a real file, the
// registry values of a real key, and the executable's own path.
#pragma once

#include <windows.h>

#include <string>

#include "app/Settings.h"

namespace mq {

// An INI file through GetPrivateProfileStringW / WritePrivateProfileStringW.
//
// The file is kept in UTF-16 (little-endian, with a byte-order mark): the profile functions
// of Windows and of Wine then read and write every character through the W calls, where a
// file without the mark is read and written in the ANSI code page and loses what that page
// cannot hold. Before the first write the file is created holding only the mark, or, when it
// exists without the mark, converted once: its bytes are read as UTF-8 when they are valid
// UTF-8 (with or without a UTF-8 mark, as editors save it), otherwise in the ANSI code page.
// A file without the mark that holds non-ASCII UTF-8 is converted the same way before the
// first read, when the folder allows it; otherwise it is read as the platform reads it.
class TWinProfileFile final : public IProfileFile {
 public:
  explicit TWinProfileFile(std::string path);

  const std::string& Path() const override { return path_; }
  bool Exists() const override;
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view fallback) override;
  std::vector<std::string> ReadSectionLines(std::string_view section) override;
  bool WriteString(std::string_view section, std::string_view key, std::string_view value) override;
  bool EraseSection(std::string_view section) override;

 private:
  void PrepareForRead();
  bool PrepareForWrite();

  std::string path_;
  std::wstring widePath_;
  bool readChecked_ = false;
  bool unicode_ = false;
};

// Brings a profile file into UTF-16 with a byte-order mark, as described above; creates it
// holding only the mark when it does not exist. `onlyIfNeededForReading`: leave a file that
// holds only ASCII, or that is not valid UTF-8, as it is. False when the file could not be
// created or rewritten.
bool EnsureUnicodeProfileFile(const std::wstring& path, bool onlyIfNeededForReading = false);

// The string values of one existing key, opened afresh for each call (read-only for reading,
// for writing without creating it for writing and deleting).
class TWinRegistryValues final : public IRegistryValues {
 public:
  TWinRegistryValues(HKEY root, std::string subKey);

  std::optional<std::string> ReadString(std::string_view name) override;
  bool WriteString(std::string_view name, std::string_view value) override;
  bool DeleteValue(std::string_view name) override;

 private:
  HKEY root_;
  std::wstring subKey_;
};

// HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run.
TWinRegistryValues RunKey();

// The full path of the running executable as the system reports the module's file name.
std::string ExecutablePath();

}  // namespace mq
