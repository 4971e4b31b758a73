// One main for every test program: a QApplication exists (offscreen in ctest) so
// window tests and logic tests run the same way.
#include <QApplication>
#include <gtest/gtest.h>

#include "platform/program_folder.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  platform::InitProgramFolder(argv[0]);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
