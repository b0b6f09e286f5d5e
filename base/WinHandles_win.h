// Owners for the kernel and registry handles that several units of the Windows build use.
// GDI objects, device contexts and icons have their own owners in gui/Gdi_win.h.
#pragma once

#include <windows.h>

#include "base/UniqueHandle.h"

namespace mq {

// A file, from CreateFileW: INVALID_HANDLE_VALUE when there is none.
struct FileHandleTraits {
  using Handle = HANDLE;
  static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  static void Close(Handle h) noexcept { ::CloseHandle(h); }
};
using UniqueFile = UniqueHandle<FileHandleTraits>;

// A thread, event or other kernel object: null when there is none.
using UniqueKernelHandle = UniqueHandle<HandleTraits<HANDLE, ::CloseHandle>>;

// An open registry key.
using UniqueRegKey = UniqueHandle<HandleTraits<HKEY, ::RegCloseKey>>;

}  // namespace mq
