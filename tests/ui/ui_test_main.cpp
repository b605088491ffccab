// Screen tests run under one QApplication on the offscreen platform, without a sound device.
#include <gtest/gtest.h>

#include <QApplication>

int main(int argc, char** argv) {
  // Also when the test list is collected, which happens outside ctest's environment.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER")) qputenv("SDL_AUDIODRIVER", "dummy");
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
