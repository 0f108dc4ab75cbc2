// Functions newer than Windows XP that the static runtime libraries import
// (the threads library's clock reads GetTickCount64). Linked into the 32-bit
// module as an object of its own, so the runtime's import resolves here and
// the module still loads on XP: the real function where the system has it,
// else an XP-safe equivalent.
#include <windows.h>

namespace {

// Milliseconds since start-up from the performance counter, which XP has and
// which does not wrap after 49.7 days as GetTickCount does.
ULONGLONG WINAPI TickCount64Fallback() {
  LARGE_INTEGER frequency, now;
  if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart == 0 ||
      !QueryPerformanceCounter(&now))
    return GetTickCount();
  const ULONGLONG ticks = static_cast<ULONGLONG>(now.QuadPart);
  const ULONGLONG perSecond = static_cast<ULONGLONG>(frequency.QuadPart);
  return ticks / perSecond * 1000 + ticks % perSecond * 1000 / perSecond;
}

// Looked up on every call: a guarded static would take the threads library's
// own locks, whose waits call this.
ULONGLONG WINAPI TickCount64() {
  using Function = ULONGLONG(WINAPI*)();
  const auto system = reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount64")));
  return system != nullptr ? system() : TickCount64Fallback();
}

}  // namespace

// The import slot the runtime calls through, under the name the linker gives
// kernel32's own.
extern "C" ULONGLONG(WINAPI* const quillmark_GetTickCount64)() asm("__imp__GetTickCount64@0");
extern "C" ULONGLONG(WINAPI* const quillmark_GetTickCount64)() = TickCount64;
