// marquelle.exe: the application object, its title, the main window, the message loop.
#include <windows.h>

#include <string>

#include "app/MainLogic.h"
#include "app/uMain.h"
#include "gui/Forms_win.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  using namespace mq;
  TApplication& app = Application();
  app.Initialize();
  RegisterMainWindowClasses();
  app.SetTitle(std::string(kAppTitle));
  try {
    app.CreateForm<TfrMain>();
  } catch (...) {
    app.HandleCurrentException(nullptr);
    return 1;
  }
  app.Run();
  return 0;
}
