// The windowed configurator.
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "app/program_path.h"
#include "app/wiring.h"
#include "model/data_dir.h"
#include "model/window_settings.h"
#include "ui/main_window.h"
#include "ui/pictures.h"

int main(int argc, char** argv) {
  using namespace tessel;
  // The path as started, before Qt may change the working folder.
  const std::string path =
      programPath(argc > 0 ? argv[0] : nullptr, QDir::currentPath().toStdString(),
                  std::getenv("PATH") ? std::getenv("PATH") : "");
  std::string metrics, metricsError;
  if (!takeMetricsOption(argc, argv, metrics, metricsError)) {
    std::fprintf(stderr, "%s: %s\n", argv[0], metricsError.c_str());
    return 2;
  }
  const bool emulate = emulateRequested(argc, argv);
  // Asked from a shell or a package check: answer without opening a window.
  if (argc > 1 && (std::strcmp(argv[1], "--version") == 0 || std::strcmp(argv[1], "--help") == 0)) {
    if (argv[1][2] == 'v') {
      std::printf("%s %s\n", brandProfile(brandIndexForPath(path)).productName, TESSEL_VERSION);
    } else {
      std::printf(
          "usage: %s [-emulate] [PROJECT.vro] [--metrics HOST:PORT]\n"
          "The radio group configurator. Without arguments it opens its main window\n"
          "on the default project; -emulate shows Project > Emulate Group.\n"
          "--metrics serves what the online monitor polls at http://HOST:PORT/metrics\n"
          "for a monitoring server (Prometheus text format).\n",
          argv[0]);
    }
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
  // Lets the desktop match the window to its menu entry.
  QGuiApplication::setDesktopFileName(
      QLatin1String(brand == 1 ? "com.tarrowcontrols.LumaLink" : "com.corvane.Tessel"));

  // Logs and the default project beside the program when that folder takes
  // files, else in the per-user data folder.
  WiringOptions options;
  options.brandIndex = brand;
  options.emulateEntry = emulate;
  options.projectPath = projectArgument(argc, argv);
  options.metricsAddress = metrics;
  options.dataDir = dataDirectory(profile.productName, path);
  // A throwaway run (the demo) keeps its files elsewhere.
  if (const char* own = std::getenv("TESSEL_DATA_DIR");
      own && std::filesystem::path(own).is_absolute())
    options.dataDir = own;
  QDir().mkpath(QString::fromStdString(options.dataDir));

  Wiring wiring(options);
  QObject::connect(&wiring.window(), &MainWindow::closed, &app, &QApplication::quit);
  wiring.window().show();
  // Become the active window even where no window manager hands out the
  // focus; the first activation shows the splash of the second brand.
  wiring.window().activateWindow();
  return app.exec();
}
