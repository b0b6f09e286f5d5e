// What the main window's suites set up once: the application, with its title, and the
// window classes of the main form.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "app/MainLogic.h"
#include "app/uMain.h"
#include "gui/Forms_win.h"

namespace mq::test {

class MainWindowSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    Application().Initialize();
    RegisterMainWindowClasses();
    Application().SetTitle(std::string(kAppTitle));
  }
};

}  // namespace mq::test
