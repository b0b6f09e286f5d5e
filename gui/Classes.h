// The object model under every component: TObject, events, and TComponent, which owns the
// components created with it as owner, carries a name, and reads its settings from a form
// description (gui/FormText.h). Portable: no platform headers.
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "gui/Color.h"
#include "gui/FormText.h"

namespace mq {

class TObject {
 public:
  virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// Shift state: keys and mouse buttons held during a mouse event.
using TShiftState = unsigned;
constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32,
                      ssDouble = 64;

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };
// Vertical placement of text in a control.
enum class TTextLayout { tlTop, tlCenter, tlBottom };

using TMouseEvent =
    std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;

class TComponent;
class TFormReader;

// Frees a component the way its owner does: BeforeDestruction first (while the whole object
// is alive, so overridden behaviour still runs), then delete.
void FreeComponent(TComponent* c) noexcept;
struct TComponentDeleter {
  void operator()(TComponent* c) const noexcept { FreeComponent(c); }
};
template <typename T>
using Owned = std::unique_ptr<T, TComponentDeleter>;

class TComponent : public TObject {
 public:
  // The owner (may be null) takes ownership and frees this component with itself.
  explicit TComponent(TComponent* owner);
  ~TComponent() override;
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  const std::string& Name() const noexcept { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  TComponent* Owner() const noexcept { return owner_; }

  std::size_t ComponentCount() const noexcept { return components_.size(); }
  TComponent* Components(std::size_t i) const { return components_.at(i); }
  TComponent* FindComponent(std::string_view name) const;
  template <typename T>
  T* Find(std::string_view name) const {
    return dynamic_cast<T*>(FindComponent(name));
  }

  // Ownership moves: `c` leaves its present owner (if any) and this component frees it.
  void InsertComponent(TComponent* c);
  // `c` is no longer owned by this component; the caller takes it over.
  void RemoveComponent(TComponent* c) noexcept;

  // True while the component's settings are being read from a description.
  bool Loading() const noexcept { return loading_; }

  // Runs before the destructor (see FreeComponent); the owner calls it for each owned
  // component, last created first, and then deletes them.
  virtual void BeforeDestruction();
  // Runs after all settings of a description have been applied.
  virtual void Loaded() { loading_ = false; }

  // Applies one setting of a description. Returns false for a name the class does not
  // know, which the reader reports as an error.
  virtual bool ReadProperty(const std::string& name, const FormValue& value, TFormReader& reader);
  // Places a component created from a description inside the component that encloses it
  // there (controls take it as their parent).
  virtual void SetParentComponent(TComponent* parent) {}

  // --- what a form description binds to by name (used on the root component) ---

  // Makes the handler called `name` in descriptions run `fn` on `self`.
  template <typename C, typename R, typename... A>
  void Handler(const std::string& name, C* self, R (C::*fn)(A...)) {
    handlers_[name] = std::function<R(A...)>([self, fn](A... a) { return (self->*fn)(a...); });
  }
  template <typename Fn>
  void Handler(const std::string& name, std::function<Fn> fn) {
    handlers_[name] = std::move(fn);
  }
  // After loading, `field` points at the component called `name` (checked for its type).
  template <typename T>
  void DeclareField(const std::string& name, T*& field) {
    fields_[name] = [&field](TComponent* c) {
      if (c == nullptr) return field = nullptr, true;
      T* typed = dynamic_cast<T*>(c);
      if (typed == nullptr) return false;
      field = typed;
      return true;
    };
  }

 protected:
  friend class TFormReader;
  void SetLoading(bool on) noexcept { loading_ = on; }
  // Frees every owned component, last created first.
  void DestroyComponents() noexcept;

 private:
  void Insert(TComponent* c);
  void Remove(TComponent* c) noexcept;

  std::string name_;
  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;
  bool loading_ = false;
  std::map<std::string, std::any, std::less<>> handlers_;
  std::map<std::string, std::function<bool(TComponent*)>, std::less<>> fields_;
};

// Makes components of a class name found in descriptions.
using TComponentFactory = std::function<TComponent*(TComponent* owner)>;
void RegisterComponentClass(const std::string& className, TComponentFactory factory);
template <typename T>
void RegisterComponentClass(const std::string& className) {
  RegisterComponentClass(className, [](TComponent* owner) -> TComponent* { return new T(owner); });
}
bool IsComponentClassRegistered(std::string_view className);

// Applies a parsed description to a root component: its own settings, then every
// described child, created by class name with the root as owner. Errors are raised as
// EFormTextError naming the component, the property and the line.
class TFormReader {
 public:
  explicit TFormReader(TComponent& root) : root_(root) {}
  void Read(const FormObject& description);

  TComponent& Root() const noexcept { return root_; }

  // Typed access to values; a value of the wrong kind raises EFormTextError.
  static std::int64_t AsInteger(const FormValue& v);
  static int AsInt(const FormValue& v);
  static bool AsBool(const FormValue& v);
  static std::string AsString(const FormValue& v);
  static std::string AsIdent(const FormValue& v);
  static TColor AsColor(const FormValue& v);
  template <typename E>
  static E AsEnum(const FormValue& v, std::initializer_list<std::pair<const char*, E>> names) {
    const std::string id = AsIdent(v);
    for (const auto& [n, e] : names)
      if (id == n) return e;
    Fail(v, "Invalid property value '" + id + "'");
  }
  // A set of identifiers; bit i stands for names[i].
  static unsigned AsSet(const FormValue& v, std::initializer_list<const char*> names);

  // The handler a description names for an event (an identifier; an empty one clears).
  template <typename Fn>
  Fn Event(const FormValue& v) const {
    const std::string id = AsIdent(v);
    auto it = root_.handlers_.find(id);
    if (it == root_.handlers_.end()) Fail(v, "Handler '" + id + "' is not declared");
    if (const Fn* fn = std::any_cast<Fn>(&it->second)) return *fn;
    Fail(v, "Handler '" + id + "' does not fit the event");
  }

  [[noreturn]] static void Fail(const FormValue& v, const std::string& message);

 private:
  void ReadObject(TComponent& c, const FormObject& obj, std::vector<TComponent*>& created);
  TComponent& root_;
};

}  // namespace mq
