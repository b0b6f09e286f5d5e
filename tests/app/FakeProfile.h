// An in-memory INI file for the settings logic: sections and keys in insertion order, the
// platform's reading rules (absent key gives the fallback, present empty key gives ""), a
// log of every write in order, and a switch that makes the system refuse writes.
#pragma once

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "app/Settings.h"

namespace mq::test {

class FakeProfile final : public IProfileFile {
 public:
  using Section = std::pair<std::string, std::vector<std::pair<std::string, std::string>>>;

  explicit FakeProfile(std::string path = "C:\\Marquelle\\app.config") : path_(std::move(path)) {}

  // Puts a line into the file as if a person had written it, without logging it.
  FakeProfile& Line(std::string_view section, std::string_view key, std::string_view value) {
    exists_ = true;
    Find(section, true)->second.emplace_back(key, value);
    return *this;
  }

  const std::string& Path() const override { return path_; }
  bool Exists() const override { return exists_; }

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view fallback) override {
    if (auto* s = Find(section, false))
      for (auto& [k, v] : s->second)
        if (k == key) return v;
    return std::string(fallback);
  }

  std::vector<std::string> ReadSectionLines(std::string_view section) override {
    std::vector<std::string> lines;
    if (auto* s = Find(section, false))
      for (auto& [k, v] : s->second) lines.push_back(k + "=" + v);
    return lines;
  }

  bool WriteString(std::string_view section, std::string_view key, std::string_view value) override {
    if (Refuses()) return false;
    log_.push_back(std::string(section) + "/" + std::string(key) + "=" + std::string(value));
    exists_ = true;
    auto* s = Find(section, true);
    for (auto& [k, v] : s->second)
      if (k == key) {
        v = value;
        return true;
      }
    s->second.emplace_back(key, value);
    return true;
  }

  bool EraseSection(std::string_view section) override {
    if (Refuses()) return false;
    log_.push_back("erase " + std::string(section));
    exists_ = true;
    sections_.erase(std::remove_if(sections_.begin(), sections_.end(),
                                   [&](const Section& s) { return s.first == section; }),
                    sections_.end());
    return true;
  }

  // The writes so far, "Section/Key=value" or "erase Section", in order.
  const std::vector<std::string>& Log() const { return log_; }
  void ClearLog() { log_.clear(); }
  // Lets `n` more writes through, then refuses every one.
  void RefuseAfter(int n) { allowed_ = n; }

 private:
  bool Refuses() {
    if (allowed_ < 0) return false;
    if (allowed_ == 0) return true;
    --allowed_;
    return false;
  }

  Section* Find(std::string_view name, bool create) {
    for (auto& s : sections_)
      if (s.first == name) return &s;
    if (!create) return nullptr;
    sections_.push_back({std::string(name), {}});
    return &sections_.back();
  }

  std::string path_;
  bool exists_ = false;
  std::vector<Section> sections_;
  std::vector<std::string> log_;
  int allowed_ = -1;
};

}  // namespace mq::test
