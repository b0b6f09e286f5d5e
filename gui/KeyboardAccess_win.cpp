// Keyboard and screen-reader access to the window-less controls of a window: tab stops in
// their order from left to right, a focus rectangle on the focused one, and one zero-sized
// child window per tab stop that carries its name and the keyboard focus for accessibility
// tools (the system's own accessible object of a window reads the name from its text).
#include <algorithm>

#include "base/Utf.h"
#include "gui/Controls_win.h"

namespace mq {

namespace {

constexpr wchar_t kAccessibleClass[] = L"MqAccessible";

std::wstring WindowText(HWND h) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(h)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(::GetWindowTextW(h, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace

void TControl::SetTabStop(bool on) {
  if (on == tabStop_) return;
  tabStop_ = on;
  if (parent_) parent_->SyncAccessibleWindow(this);
}

void TControl::AccessibleNameChanged() {
  if (parent_) parent_->SyncAccessibleWindow(this);
}

HWND TWinControl::AccessibleWindowOf(const TControl* c) const noexcept {
  for (const AccessibleWindow& a : accessible_)
    if (a.control == c) return a.hwnd;
  return nullptr;
}

std::vector<TControl*> TWinControl::TabOrder() const {
  std::vector<TControl*> order;
  for (TControl* c : controls_)
    if (c->TabStop() && c->Visible() && c->Enabled() && AccessibleWindowOf(c)) order.push_back(c);
  std::stable_sort(order.begin(), order.end(),
                   [](const TControl* a, const TControl* b) { return a->Left() < b->Left(); });
  return order;
}

void TWinControl::CreateAccessibleWindows() {
  for (TControl* c : std::vector<TControl*>(controls_)) SyncAccessibleWindow(c);
}

void TWinControl::SyncAccessibleWindow(TControl* c) {
  if (!handle_) return;
  if (!c->TabStop() || dynamic_cast<TWinControl*>(c) != nullptr) {
    RemoveAccessibleWindow(c);
    return;
  }
  const std::wstring name = ToWide(c->AccessibleName());
  HWND w = AccessibleWindowOf(c);
  if (w == nullptr) {
    // Zero-sized, so it never hides the parent's painting (the parent clips its children).
    EnsureWindowClass(kAccessibleClass, &AccessibleWndProc);
    w = ::CreateWindowExW(0, kAccessibleClass, name.c_str(), WS_CHILD | WS_VISIBLE, c->Left(), c->Top(),
                          0, 0, handle_, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (w != nullptr) accessible_.push_back({c, w});
    return;
  }
  if (WindowText(w) == name) return;
  ::SetWindowTextW(w, name.c_str());
  ::NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, w, OBJID_CLIENT, CHILDID_SELF);
}

void TWinControl::RemoveAccessibleWindow(TControl* c) noexcept {
  if (focusedControl_ == c) focusedControl_ = nullptr;
  auto it = std::find_if(accessible_.begin(), accessible_.end(),
                         [c](const AccessibleWindow& a) { return a.control == c; });
  if (it == accessible_.end()) return;
  const HWND w = it->hwnd;
  accessible_.erase(it);
  ::DestroyWindow(w);
}

void TWinControl::FocusControl(TControl* c) {
  const HWND w = AccessibleWindowOf(c);
  if (w == nullptr) return;
  TControl* old = std::exchange(focusedControl_, c);
  if (old != nullptr && old != c) old->Invalidate();
  ::SetFocus(w);
  c->Invalidate();
}

bool TWinControl::HandleNavigationKey(WPARAM key) {
  int step = 0;
  switch (key) {
    case VK_RETURN:
    case VK_SPACE:
      if (focusedControl_ == nullptr || ::GetFocus() != AccessibleWindowOf(focusedControl_))
        return false;
      focusedControl_->Click();
      return true;
    case VK_TAB:
      step = ::GetKeyState(VK_SHIFT) < 0 ? -1 : 1;
      break;
    case VK_RIGHT:
    case VK_DOWN:
      step = 1;
      break;
    case VK_LEFT:
    case VK_UP:
      step = -1;
      break;
    default:
      return false;
  }
  const std::vector<TControl*> order = TabOrder();
  if (order.empty()) return false;
  const auto n = static_cast<int>(order.size());
  const auto at = std::find(order.begin(), order.end(), focusedControl_);
  const int next =
      at == order.end() ? (step > 0 ? 0 : n - 1) : (static_cast<int>(at - order.begin()) + step + n) % n;
  FocusControl(order[static_cast<std::size_t>(next)]);
  return true;
}

void TWinControl::DrawFocusCue(HDC dc, const RECT& area) {
  if (focusedControl_ == nullptr || !focusedControl_->Visible()) return;
  const HWND w = AccessibleWindowOf(focusedControl_);
  if (w == nullptr || ::GetFocus() != w) return;
  RECT r = focusedControl_->BoundsRect(), both;
  if (!::IntersectRect(&both, &r, &area)) return;
  // A dotted rectangle drawn by inverting: visible on the dark ticker and the light tile.
  const COLORREF text = ::SetTextColor(dc, RGB(0, 0, 0));
  const COLORREF back = ::SetBkColor(dc, RGB(255, 255, 255));
  ::DrawFocusRect(dc, &r);
  ::SetBkColor(dc, back);
  ::SetTextColor(dc, text);
}

LRESULT CALLBACK TWinControl::AccessibleWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  TWinControl* owner = FromHandle(::GetParent(hwnd));
  switch (msg) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
      // The keys are the parent's: it moves the focus and clicks.
      if (owner != nullptr && owner->handle_ != nullptr)
        return ::SendMessageW(owner->handle_, msg, wp, lp);
      break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      if (owner != nullptr)
        for (const AccessibleWindow& a : owner->accessible_)
          if (a.hwnd == hwnd) a.control->Invalidate();
      break;
    case WM_NCHITTEST:
      return HTTRANSPARENT;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace mq
