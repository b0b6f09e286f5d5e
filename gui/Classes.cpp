#include "gui/Classes.h"

#include <algorithm>
#include <limits>
#include <mutex>

namespace mq {

void FreeComponent(TComponent* c) noexcept {
  if (c == nullptr) return;
  try {
    c->BeforeDestruction();
  } catch (...) {
  }
  delete c;
}

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->Insert(this);
}

TComponent::~TComponent() {
  DestroyComponents();
  if (owner_) owner_->Remove(this);
}

void TComponent::Insert(TComponent* c) {
  components_.push_back(c);
  c->owner_ = this;
}

void TComponent::Remove(TComponent* c) noexcept {
  auto it = std::find(components_.begin(), components_.end(), c);
  if (it != components_.end()) components_.erase(it);
  c->owner_ = nullptr;
}

void TComponent::InsertComponent(TComponent* c) {
  if (c == nullptr || c->owner_ == this) return;
  if (c->owner_) c->owner_->Remove(c);
  Insert(c);
}

void TComponent::RemoveComponent(TComponent* c) noexcept {
  if (c != nullptr && c->owner_ == this) Remove(c);
}

void TComponent::DestroyComponents() noexcept {
  while (!components_.empty()) {
    TComponent* c = components_.back();
    components_.pop_back();
    c->owner_ = nullptr;
    FreeComponent(c);
  }
}

void TComponent::BeforeDestruction() {
  // Owned components go first, while this object is still whole: they may refer to it.
  DestroyComponents();
}

TComponent* TComponent::FindComponent(std::string_view name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_)
    if (c->name_ == name) return c;
  return nullptr;
}

bool TComponent::ReadProperty(const std::string& name, const FormValue& value, TFormReader& reader) {
  if (name == "Tag") return reader.AsInteger(value), true;
  return false;
}

namespace {

std::mutex& RegistryMutex() {
  static std::mutex m;
  return m;
}
std::map<std::string, TComponentFactory, std::less<>>& Registry() {
  static std::map<std::string, TComponentFactory, std::less<>> r;
  return r;
}

}  // namespace

void RegisterComponentClass(const std::string& className, TComponentFactory factory) {
  std::lock_guard lock(RegistryMutex());
  Registry()[className] = std::move(factory);
}

bool IsComponentClassRegistered(std::string_view className) {
  std::lock_guard lock(RegistryMutex());
  return Registry().find(className) != Registry().end();
}

void TFormReader::Fail(const FormValue& v, const std::string& message) {
  throw EFormTextError(message, v.line);
}

std::int64_t TFormReader::AsInteger(const FormValue& v) {
  if (v.kind != FormValue::Kind::Integer) Fail(v, "Integer expected");
  return v.integer;
}

int TFormReader::AsInt(const FormValue& v) {
  std::int64_t i = AsInteger(v);
  if (i < std::numeric_limits<int>::min() || i > std::numeric_limits<int>::max())
    Fail(v, "Integer out of range");
  return int(i);
}

bool TFormReader::AsBool(const FormValue& v) {
  if (v.kind == FormValue::Kind::Ident) {
    if (v.text == "True") return true;
    if (v.text == "False") return false;
  }
  Fail(v, "True or False expected");
}

std::string TFormReader::AsString(const FormValue& v) {
  if (v.kind != FormValue::Kind::String) Fail(v, "String expected");
  return v.text;
}

std::string TFormReader::AsIdent(const FormValue& v) {
  if (v.kind != FormValue::Kind::Ident) Fail(v, "Identifier expected");
  return v.text;
}

TColor TFormReader::AsColor(const FormValue& v) {
  if (v.kind == FormValue::Kind::Integer) {
    if (v.integer < std::numeric_limits<std::int32_t>::min() || v.integer > 0xFFFFFFFFll)
      Fail(v, "Invalid colour");
    return TColor(std::uint32_t(v.integer));
  }
  TColor c;
  if (v.kind == FormValue::Kind::Ident && ColorFromIdent(v.text.c_str(), c)) return c;
  Fail(v, "Invalid colour");
}

unsigned TFormReader::AsSet(const FormValue& v, std::initializer_list<const char*> names) {
  if (v.kind != FormValue::Kind::Set) Fail(v, "Set expected");
  unsigned bits = 0;
  for (const std::string& member : v.set) {
    unsigned i = 0;
    bool found = false;
    for (const char* n : names) {
      if (member == n) {
        bits |= 1u << i;
        found = true;
        break;
      }
      ++i;
    }
    if (!found) Fail(v, "Invalid set member '" + member + "'");
  }
  return bits;
}

void TFormReader::Read(const FormObject& description) {
  std::vector<TComponent*> created;
  root_.SetLoading(true);
  try {
    ReadObject(root_, description, created);
  } catch (...) {
    root_.SetLoading(false);
    for (TComponent* c : created) c->SetLoading(false);
    throw;
  }
  for (TComponent* c : created) c->Loaded();
  root_.Loaded();
}

void TFormReader::ReadObject(TComponent& c, const FormObject& obj, std::vector<TComponent*>& created) {
  const std::string who = obj.name.empty() ? obj.className : obj.name;
  for (const auto& [name, value] : obj.properties) {
    bool known;
    try {
      known = c.ReadProperty(name, value, *this);
    } catch (const EFormTextError& e) {
      throw EFormTextError("Error reading " + who + "." + name + ": " +
                               std::string(e.what()).substr(std::string(e.what()).find(": ") + 2),
                           e.Line());
    }
    if (!known)
      Fail(value, "Error reading " + who + "." + name + ": Property " + name + " does not exist");
  }
  for (const FormObject& child : obj.children) {
    TComponentFactory factory;
    {
      std::lock_guard lock(RegistryMutex());
      auto it = Registry().find(child.className);
      if (it == Registry().end())
        throw EFormTextError("Class " + child.className + " not found", child.line);
      factory = it->second;
    }
    TComponent* made = factory(&root_);
    made->SetName(child.name);
    made->SetLoading(true);
    created.push_back(made);
    made->SetParentComponent(&c);
    if (!child.name.empty()) {
      auto field = root_.fields_.find(child.name);
      if (field != root_.fields_.end() && !field->second(made))
        throw EFormTextError("Field " + child.name + " does not fit class " + child.className,
                             child.line);
    }
    ReadObject(*made, child, created);
  }
}

}  // namespace mq
