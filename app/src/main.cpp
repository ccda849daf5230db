// The windowed configurator.
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/program_path.h"
#include "app/wiring.h"
#include "model/window_settings.h"
#include "ui/main_window.h"
#include "ui/pictures.h"

int main(int argc, char** argv) {
  using namespace tessel;
  // The path as started, before Qt may change the working folder.
  const std::string path =
      programPath(argc > 0 ? argv[0] : nullptr, QDir::currentPath().toStdString(),
                  std::getenv("PATH") ? std::getenv("PATH") : "");
  const bool emulate = emulateRequested(argc, argv);
  // Answered without a display, as the manual page promises.
  if (argc == 2 && std::string(argv[1]) == "--version") {
    std::printf("%s %s\n", brandProfile(brandIndexForPath(path)).productName, TESSEL_VERSION);
    return 0;
  }

  QApplication app(argc, argv);
  initUiResources();
  const int brand = brandIndexForPath(path);
  const BrandProfile& profile = brandProfile(brand);
  // The application title, e.g. "Tessel Configurator".
  QApplication::setApplicationName(QString::fromStdString(applicationTitle(profile)));
  QApplication::setOrganizationName(QLatin1String(profile.maker));
  QApplication::setWindowIcon(applicationIcon(brand));

  // Logs and the default project beside the program when that folder takes
  // files, else in the per-user data folder.
  const std::string dir = QFileInfo(QString::fromStdString(path)).absolutePath().toStdString();
  const char* xdg = std::getenv("XDG_DATA_HOME");
  const char* home = std::getenv("HOME");
  WiringOptions options;
  options.brandIndex = brand;
  options.emulateEntry = emulate;
  options.dataDir = programDataDir(dir, ::access(dir.c_str(), W_OK) == 0, xdg ? xdg : "",
                                   home ? home : "", profile.productName);
  // A throwaway run (the demo) keeps its files elsewhere.
  if (const char* own = std::getenv("TESSEL_DATA_DIR"); own && *own == '/') options.dataDir = own;
  QDir().mkpath(QString::fromStdString(options.dataDir));

  Wiring wiring(options);
  QObject::connect(&wiring.window(), &MainWindow::closed, &app, &QApplication::quit);
  wiring.window().show();
  // Become the active window even where no window manager hands out the
  // focus; the first activation shows the splash of the second brand.
  wiring.window().activateWindow();
  return app.exec();
}
