// The keyboard backend driving real key events through XTest on a private Xvfb
// server; a second X connection checks which keys are down.
#include <X11/keysym.h>
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "app/outputs/keyboard_output_service.h"
#include "platform/posix/key_injector_posix.h"
#include "testing/support/xvfb_server.h"

namespace {

class KeyboardOnX11 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!server.running()) GTEST_SKIP() << "no private X server: " << server.problem();
    injector = platform::posix::openXTestKeyInjector(server.display().c_str(), err);
    ASSERT_NE(injector, nullptr) << err.str();
    observer = std::make_unique<testsupport::XKeyboardObserver>(server.display());
    ASSERT_TRUE(observer->connected());
    keyboard = std::make_unique<outputs::KeyboardOutputService>(logger, *injector, out);
  }
  void TearDown() override {
    keyboard.reset();
    observer.reset();
    injector.reset();
  }

  testsupport::XvfbServer server;
  std::ostringstream err, out, logText;
  core::Logger logger{&logText};
  std::unique_ptr<platform::IKeyInjector> injector;
  std::unique_ptr<testsupport::XKeyboardObserver> observer;
  std::unique_ptr<outputs::KeyboardOutputService> keyboard;
};

TEST_F(KeyboardOnX11, LeaningHoldsKeysOnTheServerAndResetLiftsThemAll) {
  keyboard->stick(0, 0.5f);
  EXPECT_TRUE(observer->isDown(XK_w));
  EXPECT_EQ(observer->keysDown(), 1);

  keyboard->stick(-0.7f, 0.7f);
  keyboard->press(outputs::Action::Jump);  // space
  EXPECT_TRUE(observer->isDown(XK_Shift_L));
  EXPECT_TRUE(observer->isDown(XK_a));
  EXPECT_TRUE(observer->isDown(XK_w));
  EXPECT_TRUE(observer->isDown(XK_space));
  EXPECT_EQ(observer->keysDown(), 4);

  keyboard->reset();
  EXPECT_FALSE(observer->isDown(XK_w));
  EXPECT_EQ(observer->keysDown(), 0) << "no key may stay down after a reset";
}

TEST_F(KeyboardOnX11, ShuttingTheBackendDownLiftsHeldKeys) {
  keyboard->stick(0.7f, -0.7f);
  EXPECT_EQ(observer->keysDown(), 3);  // Shift, S, D
  keyboard.reset();
  EXPECT_EQ(observer->keysDown(), 0);
}

}  // namespace
