// Keeps the test sandbox's Wine desktop alive. Wine closes a desktop about a second after the
// last program that uses it has ended, and starts a new one for the next program; a program
// that creates its first window while the old desktop is closing gets no window at all. The
// sandbox starts this program, which uses the desktop and waits, until its wineserver ends.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  ::GetDesktopWindow();
  MSG message;
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) ::DispatchMessageW(&message);
  return 0;
}
