// Screen tests run under one QApplication on the offscreen platform, without a sound device.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

int main(int argc, char** argv) {
  // Also when the test list is collected, which happens outside ctest's environment.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("SDL_AUDIODRIVER")) qputenv("SDL_AUDIODRIVER", "dummy");
  // Every battle that reaches its result saves a replay: into a folder of the run's own, never
  // into the home of whoever runs the tests.
  QTemporaryDir dataHome;
  if (!dataHome.isValid()) return 1;
  qputenv("XDG_DATA_HOME", QFile::encodeName(dataHome.path()));
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
