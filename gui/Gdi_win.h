// Ownership of GDI objects and device contexts. Every object the framework creates is held
// by one of these owners, and each owner counts itself in a process-wide tally of live GDI
// objects, so a test can prove that repeated work leaves nothing behind (GetGuiResources
// does not report GDI objects under every platform implementation).
#pragma once

#include <windows.h>

#include "base/UniqueHandle.h"

namespace mq {

// Live GDI objects (bitmaps, fonts, brushes, pens, regions, palettes, memory DCs) that the
// framework's owners hold right now.
long GdiObjectCount() noexcept;

namespace gdi_detail {
void Track() noexcept;
void Untrack() noexcept;
}  // namespace gdi_detail

// A GDI handle that one function deletes; deleting it uncounts it.
template <typename H, auto DeleteFn>
struct CountedGdiTraits {
  using Handle = H;
  static Handle Invalid() noexcept { return nullptr; }
  static void Close(Handle h) noexcept {
    DeleteFn(h);
    gdi_detail::Untrack();
  }
};

template <typename H>
using GdiObjectTraits = CountedGdiTraits<H, ::DeleteObject>;
using MemoryDcTraits = CountedGdiTraits<HDC, ::DeleteDC>;

// A counted, move-only owner: adopting a valid handle counts it, closing it uncounts it.
template <typename Traits>
class CountedGdiHandle {
 public:
  using Handle = typename Traits::Handle;
  CountedGdiHandle() noexcept = default;
  explicit CountedGdiHandle(Handle h) noexcept { Reset(h); }
  CountedGdiHandle(CountedGdiHandle&&) noexcept = default;
  CountedGdiHandle& operator=(CountedGdiHandle&&) noexcept = default;

  Handle Get() const noexcept { return h_.Get(); }
  bool Valid() const noexcept { return h_.Valid(); }
  explicit operator bool() const noexcept { return h_.Valid(); }
  void Reset(Handle h = Traits::Invalid()) noexcept {
    h_.Reset();
    if (h != Traits::Invalid()) {
      gdi_detail::Track();
      h_.Reset(h);
    }
  }

 private:
  UniqueHandle<Traits> h_;
};

using UniqueBitmap = CountedGdiHandle<GdiObjectTraits<HBITMAP>>;
using UniqueFont = CountedGdiHandle<GdiObjectTraits<HFONT>>;
using UniqueBrush = CountedGdiHandle<GdiObjectTraits<HBRUSH>>;
using UniquePen = CountedGdiHandle<GdiObjectTraits<HPEN>>;
using UniqueRgn = CountedGdiHandle<GdiObjectTraits<HRGN>>;
using UniquePalette = CountedGdiHandle<GdiObjectTraits<HPALETTE>>;
using UniqueMemoryDc = CountedGdiHandle<MemoryDcTraits>;

// A window's DC from GetDC, released with the same window.
class WindowDc {
 public:
  explicit WindowDc(HWND hwnd) noexcept : hwnd_(hwnd), dc_(::GetDC(hwnd)) {}
  // With GetDCEx's flags (DCX_...).
  WindowDc(HWND hwnd, DWORD flags) noexcept : hwnd_(hwnd), dc_(::GetDCEx(hwnd, nullptr, flags)) {}
  ~WindowDc() {
    if (dc_) ::ReleaseDC(hwnd_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC Get() const noexcept { return dc_; }
  explicit operator bool() const noexcept { return dc_ != nullptr; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// Selects an object into a DC and puts the previous one back when it goes out of scope.
class SelectGuard {
 public:
  SelectGuard(HDC dc, HGDIOBJ obj) noexcept
      : dc_(dc), previous_(obj ? ::SelectObject(dc, obj) : nullptr) {}
  ~SelectGuard() {
    if (previous_) ::SelectObject(dc_, previous_);
  }
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

// Selects and realises a palette; the previous palette is put back on scope exit.
class PaletteGuard {
 public:
  PaletteGuard(HDC dc, HPALETTE pal, bool background = false) noexcept : dc_(dc) {
    if (pal) {
      previous_ = ::SelectPalette(dc, pal, background);
      ::RealizePalette(dc);
    }
  }
  ~PaletteGuard() {
    if (previous_) ::SelectPalette(dc_, previous_, TRUE);
  }
  PaletteGuard(const PaletteGuard&) = delete;
  PaletteGuard& operator=(const PaletteGuard&) = delete;

 private:
  HDC dc_;
  HPALETTE previous_ = nullptr;
};

// Saves the DC state (origin, clipping, selections) and restores it on scope exit.
class DcStateGuard {
 public:
  explicit DcStateGuard(HDC dc) noexcept : dc_(dc), saved_(::SaveDC(dc)) {}
  ~DcStateGuard() {
    if (saved_) ::RestoreDC(dc_, saved_);
  }
  DcStateGuard(const DcStateGuard&) = delete;
  DcStateGuard& operator=(const DcStateGuard&) = delete;

 private:
  HDC dc_;
  int saved_;
};

// Saves a DC's clipping region and puts it back on scope exit: all that a painter which only
// narrows the clipping changes, for much less than a full SaveDC/RestoreDC.
class ClipGuard {
 public:
  explicit ClipGuard(HDC dc) noexcept : dc_(dc), saved_(::CreateRectRgn(0, 0, 0, 0)) {
    hadClip_ = saved_ && ::GetClipRgn(dc, saved_.Get()) == 1;
  }
  ~ClipGuard() { ::SelectClipRgn(dc_, hadClip_ ? saved_.Get() : nullptr); }
  ClipGuard(const ClipGuard&) = delete;
  ClipGuard& operator=(const ClipGuard&) = delete;

 private:
  HDC dc_;
  UniqueRgn saved_;
  bool hadClip_ = false;
};

// Icons and cursors made by the program (not shared system ones).
using UniqueIcon = UniqueHandle<HandleTraits<HICON, ::DestroyIcon>>;

// The platform's colour for a TColor value (system colours resolved).
COLORREF ColorToRgb(unsigned int color) noexcept;

}  // namespace mq
