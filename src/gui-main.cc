// The desktop program's entry: without a display it says so and exits 2
// (never an abort with a core dump); otherwise it opens the project dialog on
// the working directory given, or the current one.
#include <QApplication>
#include <QDir>
#include <cstdio>
#include <cstdlib>

#include "gui/projectdialog.h"
#include "gui/windowfrontend.h"

namespace {

constexpr int kNoDisplay = 2;

bool set(const char* name) {
  const char* value = std::getenv(name);
  return value && value[0];
}

QtMessageHandler previousHandler = nullptr;

// Qt ends a program whose display it cannot open with a fatal message and an
// abort; the message is enough.
void quitonfatal(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type != QtFatalMsg) {
    previousHandler(type, context, message);
    return;
  }
  std::fprintf(stderr, "trosk-gui: %s\n", qPrintable(message.section(QLatin1Char('\n'), 0, 0)));
  std::_Exit(kNoDisplay);
}

}  // namespace

int main(int argc, char** argv) {
  if (!set("DISPLAY") && !set("WAYLAND_DISPLAY") && !set("QT_QPA_PLATFORM")) {
    std::fprintf(stderr, "trosk-gui: no display (neither DISPLAY nor WAYLAND_DISPLAY is set)\n");
    return kNoDisplay;
  }
  previousHandler = qInstallMessageHandler(quitonfatal);
  QApplication app(argc, argv);
  QCoreApplication::setOrganizationName(QStringLiteral("Trosk"));
  QCoreApplication::setApplicationName(QStringLiteral("trosk-gui"));
  trosk::WindowFrontend frontend;
  trosk::ProjectDialog dialog(frontend);
  QStringList args = QApplication::arguments();
  if (!dialog.setworkdir(args.size() > 1 ? args.at(1) : QDir::currentPath())) return 1;
  dialog.show();
  return QApplication::exec();
}
