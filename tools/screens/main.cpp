// quenlar-screens: draws every window of the program in its main states into PNG
// files, on the offscreen platform with a screen of the size asked for.
//
//   quenlar-screens --out DIR [--size 1600x1000] [--only NAME,NAME...] [--list]
//                   [--data DIR]
//
// The files go to DIR/<width>x<height>/. QUENLAR_SCREENS_KEEP=1 keeps the scratch
// program folder (its path is printed). States: states.cpp.
#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "mainwindow/frm_main.h"
#include "ui/program_end.h"
#include "platform/program_folder.h"
#include "screens.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kUsage =
    "usage: quenlar-screens --out DIR [--size WxH] [--only NAME,...] [--list] [--data DIR]\n";

std::set<std::string> SplitNames(const std::string& text) {
  std::set<std::string> names;
  std::stringstream in(text);
  for (std::string name; std::getline(in, name, ',');)
    if (!name.empty()) names.insert(name);
  return names;
}

// The offscreen platform with one screen of the given size and no window frames.
bool UseOffscreenScreen(int width, int height, const fs::path& config) {
  std::ofstream out(config);
  out << "{\"windowFrameMargins\": false, \"screens\": [{\"name\": \"screen\", \"x\": 0, \"y\": 0, "
      << "\"width\": " << width << ", \"height\": " << height
      << ", \"logicalDpi\": 96, \"logicalBaseDpi\": 96}]}\n";
  if (!out) return false;
  qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config.string()).c_str());
  return true;
}

// The offscreen platform says for every raise and size hint that it cannot do them.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (type == QtDebugMsg || text.startsWith("This plugin does not support")) return;
  std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

// Empty, or one colour throughout: nothing of the window was drawn.
bool Blank(const QImage& image) {
  if (image.isNull() || image.width() == 0 || image.height() == 0) return true;
  const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
  const QRgb first = rgb.pixel(0, 0);
  for (int y = 0; y < rgb.height(); ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    for (int x = 0; x < rgb.width(); ++x)
      if (line[x] != first) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  fs::path out_dir;
  fs::path data_dir = QUENLAR_DATA_DIR;
  int width = 1600;
  int height = 1000;
  std::set<std::string> only;
  bool list = false;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
    if (a == "--list") {
      list = true;
    } else if (a == "--out" && v) {
      out_dir = argv[++i];
    } else if (a == "--data" && v) {
      data_dir = argv[++i];
    } else if (a == "--only" && v) {
      only = SplitNames(argv[++i]);
    } else if (a == "--size" && v && std::sscanf(v, "%dx%d", &width, &height) == 2 && width > 0 &&
               height > 0) {
      ++i;
    } else {
      std::fputs(kUsage, stderr);
      return 2;
    }
  }
  if (list) {
    for (const auto& s : screens::States()) std::printf("%-22s %s\n", s.name, s.what);
    return 0;
  }
  if (out_dir.empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  for (const std::string& name : only) {
    bool known = false;
    for (const auto& s : screens::States()) known = known || name == s.name;
    if (!known) {
      std::fprintf(stderr, "quenlar-screens: no state named %s (see --list)\n", name.c_str());
      return 2;
    }
  }

  const std::string size_name = std::to_string(width) + "x" + std::to_string(height);
  const fs::path dir = out_dir / size_name;
  fs::create_directories(dir);
  const fs::path config = dir / ".screen.json";
  if (!UseOffscreenScreen(width, height, config)) {
    std::fprintf(stderr, "quenlar-screens: cannot write %s\n", config.c_str());
    return 1;
  }
  qInstallMessageHandler(QuietMessages);
  QApplication app(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  platform::InitProgramFolder(argv[0]);

  int failures = 0;
  try {
    screens::Program program(data_dir);
    if (std::getenv("QUENLAR_SCREENS_KEEP"))
      std::fprintf(stderr, "program folder: %s\n", program.folder().c_str());
    int number = 0;
    for (const auto& state : screens::States()) {
      ++number;
      if (!only.empty() && !only.count(state.name)) continue;
      screens::Shots shots;
      try {
        shots = state.put(program);
      } catch (const std::exception& e) {
        std::fprintf(stderr, "quenlar-screens: %s: %s\n", state.name, e.what());
        ++failures;
        continue;
      }
      screens::Program::Settle();
      if (shots.empty()) {
        std::fprintf(stderr, "quenlar-screens: %s: no window to draw\n", state.name);
        ++failures;
      }
      for (const auto& shot : shots) {
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "%02d-", number);
        std::string file = prefix + std::string(state.name);
        if (!shot.name.empty()) file += "-" + shot.name;
        file += ".png";
        QImage image = shot.image;
        if (image.isNull()) {
          if (!shot.window || !shot.window->isVisible()) {
            std::fprintf(stderr, "quenlar-screens: %s: the window is not shown\n", file.c_str());
            ++failures;
            if (!shot.window) continue;
          }
          image = shot.window->grab().toImage();
        }
        if (Blank(image)) {
          std::fprintf(stderr, "quenlar-screens: %s: the picture is blank\n", file.c_str());
          ++failures;
        }
        if (!image.save(QString::fromStdString((dir / file).string()))) {
          std::fprintf(stderr, "quenlar-screens: cannot write %s\n", file.c_str());
          ++failures;
        }
      }
      if (ui::ProgramEnded()) {
        std::fprintf(stderr, "quenlar-screens: the program ended in state %s\n", state.name);
        ++failures;
        break;
      }
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quenlar-screens: %s\n", e.what());
    ++failures;
  }
  fs::remove(config);
  std::printf("%s\n", dir.c_str());
  return failures == 0 ? 0 : 1;
}
