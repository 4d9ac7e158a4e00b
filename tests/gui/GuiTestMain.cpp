#include <gtest/gtest.h>

#include <QApplication>

#include "app/Program.h"

namespace {
QtMessageHandler defaultHandler = nullptr;

// The offscreen platform reports every window feature it lacks; that says nothing about the test.
void Filter(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (message.startsWith("This plugin does not support")) return;
  defaultHandler(type, context, message);
}
}  // namespace

int main(int argc, char** argv) {
  defaultHandler = qInstallMessageHandler(Filter);
  // Test discovery runs the program outside CTest's environment too.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
