#include "ui/picture_box.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QImage>
#include <QMouseEvent>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <cmath>
#include <filesystem>
#include <limits>

#include "support/temp_folder.h"

namespace {

constexpr ui::Color kWhite = ui::RGB(255, 255, 255);
constexpr ui::Color kRed = ui::RGB(255, 0, 0);
constexpr ui::Color kBlue = 0xFF0000;  // as the plots write it
constexpr ui::Color kGreen = ui::RGB(0, 128, 0);

ui::Color PixelColor(ui::PictureBox& pic, int x, int y) {
  return ui::FromQColor(QColor(pic.Image().pixel(x, y)));
}

// Any pixel of the square of side 2r + 1 around (x, y) in that colour.
bool ColourNear(ui::PictureBox& pic, int x, int y, ui::Color colour, int r = 1) {
  for (int dy = -r; dy <= r; ++dy)
    for (int dx = -r; dx <= r; ++dx)
      if (pic.Image().valid(x + dx, y + dy) && PixelColor(pic, x + dx, y + dy) == colour)
        return true;
  return false;
}

TEST(PictureBox, FiguresInAScaleWithYUpLandOnTheExpectedPixels) {
  ui::PictureBox pic;
  pic.resize(100, 100);
  ASSERT_TRUE(pic.Scale(0, 100, 100, 0));
  EXPECT_EQ(pic.ScaleWidth(), 100);
  EXPECT_EQ(pic.ScaleHeight(), -100);
  pic.Cls();

  // A line at user height 10 is the pixel row 90, its end pixels included.
  pic.Line(10, 10, 90, 10, kRed);
  for (int x = 10; x <= 90; ++x) EXPECT_EQ(PixelColor(pic, x, 90), kRed) << x;
  EXPECT_EQ(PixelColor(pic, 9, 90), kWhite);
  EXPECT_EQ(PixelColor(pic, 91, 90), kWhite);
  EXPECT_EQ(PixelColor(pic, 50, 89), kWhite);
  EXPECT_EQ(PixelColor(pic, 50, 91), kWhite);
  EXPECT_EQ(pic.CurrentX(), 90);
  EXPECT_EQ(pic.CurrentY(), 10);

  // A filled box (20, 30)-(40, 50) covers pixel columns 20..40 and rows 50..70.
  pic.Box(20, 30, 40, 50, kBlue, true);
  EXPECT_EQ(pic.Point(30, 40), kBlue);
  EXPECT_EQ(PixelColor(pic, 20, 50), kBlue);
  EXPECT_EQ(PixelColor(pic, 40, 70), kBlue);
  EXPECT_EQ(PixelColor(pic, 19, 60), kWhite);
  EXPECT_EQ(PixelColor(pic, 41, 60), kWhite);
  EXPECT_EQ(PixelColor(pic, 30, 49), kWhite);
  EXPECT_EQ(PixelColor(pic, 30, 71), kWhite);

  // An outlined box: edges drawn, inside untouched.
  pic.Box(60, 60, 80, 80, kGreen, false);
  EXPECT_EQ(PixelColor(pic, 60, 20), kGreen);
  EXPECT_EQ(PixelColor(pic, 80, 40), kGreen);
  EXPECT_EQ(PixelColor(pic, 70, 20), kGreen);
  EXPECT_EQ(PixelColor(pic, 80, 30), kGreen);
  EXPECT_EQ(PixelColor(pic, 70, 30), kWhite);
  EXPECT_EQ(PixelColor(pic, 81, 30), kWhite);
  // With the fill on, the same box is filled in FillColor inside its outline.
  pic.SetFillSolid(true);
  pic.SetFillColor(kRed);
  pic.Box(60, 60, 80, 80, kGreen, false);
  EXPECT_EQ(PixelColor(pic, 70, 30), kRed);
  EXPECT_EQ(PixelColor(pic, 60, 30), kGreen);

  // Outside the picture there is no colour to read.
  EXPECT_EQ(pic.Point(-5, 50), -1);
  EXPECT_EQ(pic.Point(50, 0), -1);  // pixel row 100, one past the last
}

TEST(PictureBox, MapsAStretchedScaleBothWays) {
  // The main window's activity scale: (-30, 300) top left to (300, -30) bottom right.
  ui::PictureBox pic;
  pic.resize(330, 165);
  ASSERT_TRUE(pic.Scale(-30, 300, 300, -30));
  EXPECT_EQ(pic.PixelAt(0, 0), QPoint(30, 150));
  EXPECT_EQ(pic.PixelAt(300, -30), QPoint(330, 165));
  const QPointF back = pic.ToUser(QPointF(30, 150));
  EXPECT_DOUBLE_EQ(back.x(), 0.0);
  EXPECT_DOUBLE_EQ(back.y(), 0.0);

  pic.PSet(0, 0, kRed);
  EXPECT_EQ(PixelColor(pic, 30, 150), kRed);
  EXPECT_EQ(PixelColor(pic, 31, 150), kWhite);
  EXPECT_EQ(pic.CurrentX(), 0);

  // A circle's radius is in horizontal units: 20 units are 20 pixels across here,
  // although a vertical unit is half a pixel.
  pic.Cls();
  pic.Circle(100, 100, 20, kBlue);
  const QPoint c = pic.PixelAt(100, 100);
  EXPECT_TRUE(ColourNear(pic, c.x() + 20, c.y(), kBlue));
  EXPECT_TRUE(ColourNear(pic, c.x() - 20, c.y(), kBlue));
  EXPECT_TRUE(ColourNear(pic, c.x(), c.y() - 20, kBlue));
  EXPECT_FALSE(ColourNear(pic, c.x(), c.y(), kBlue, 5));
}

TEST(PictureBox, ArcsRunCounterClockwiseOnScreenAndWrapThroughZero) {
  ui::PictureBox pic;
  pic.resize(100, 100);
  const double d = 20 / std::sqrt(2.0);  // a diagonal point of a radius-20 circle
  const int near = static_cast<int>(std::lround(50 - d));
  const int far = static_cast<int>(std::lround(50 + d));

  pic.Arc(50, 50, 20, kRed, 1.57, 3.14);  // upper left quarter
  EXPECT_TRUE(ColourNear(pic, near, near, kRed));
  EXPECT_FALSE(ColourNear(pic, far, near, kRed));
  EXPECT_FALSE(ColourNear(pic, near, far, kRed));
  EXPECT_FALSE(ColourNear(pic, far, far, kRed));

  pic.Cls();
  pic.Arc(50, 50, 20, kRed, 4.71, 0);  // lower right quarter, through 0
  EXPECT_TRUE(ColourNear(pic, far, far, kRed));
  EXPECT_FALSE(ColourNear(pic, near, near, kRed));
  EXPECT_FALSE(ColourNear(pic, far, near, kRed));
  EXPECT_FALSE(ColourNear(pic, near, far, kRed));
}

TEST(PictureBox, PrintsAtTheCurrentPointAndMovesToTheNextLine) {
  ui::PictureBox pic;
  pic.resize(200, 100);
  ASSERT_TRUE(pic.Scale(0, 100, 200, 0));
  pic.SetFontSize(12);
  pic.SetForeColor(ui::RGB(0, 0, 0));
  pic.SetCurrentX(50);
  pic.SetCurrentY(60);  // pixel (50, 40)
  pic.Print("W");
  int inked_below = 0;
  int inked_elsewhere = 0;
  const QImage& img = pic.Image();
  for (int y = 0; y < img.height(); ++y) {
    for (int x = 0; x < img.width(); ++x) {
      if (QColor(img.pixel(x, y)) == Qt::white) continue;
      if (x >= 50 && x < 80 && y >= 40 && y < 70) {
        ++inked_below;
      } else {
        ++inked_elsewhere;
      }
    }
  }
  EXPECT_GT(inked_below, 10);
  EXPECT_EQ(inked_elsewhere, 0);
  // The next line is lower on screen: with y pointing up, a smaller CurrentY.
  EXPECT_EQ(pic.CurrentX(), 0);
  EXPECT_LT(pic.CurrentY(), 60);
  EXPECT_GT(pic.CurrentY(), 60 - 40);
}

TEST(PictureBox, RefusesAZeroSizeScaleAndKeepsThePreviousOne) {
  ui::PictureBox pic;
  pic.resize(100, 100);
  ASSERT_TRUE(pic.Scale(0, 100, 100, 0));
  EXPECT_FALSE(pic.Scale(0, 0, 0, 100));
  EXPECT_FALSE(pic.Scale(5, 5, 10, 5));
  EXPECT_FALSE(pic.Scale(0, std::numeric_limits<double>::quiet_NaN(), 10, 0));
  EXPECT_FALSE(pic.Scale(0, 0, std::numeric_limits<double>::infinity(), 10));
  EXPECT_EQ(pic.ScaleLeft(), 0);
  EXPECT_EQ(pic.ScaleTop(), 100);
  EXPECT_EQ(pic.ScaleWidth(), 100);
  EXPECT_EQ(pic.ScaleHeight(), -100);
  pic.PSet(10, 10, kRed);
  EXPECT_EQ(PixelColor(pic, 10, 90), kRed);
}

TEST(PictureBox, WildCoordinatesDrawWhatIsVisibleAndNothingElse) {
  ui::PictureBox pic;
  pic.resize(100, 100);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  pic.Line(nan, 10, 50, 10, kRed);
  pic.Line(0, inf, 50, 10, kRed);
  pic.Box(nan, 0, 10, 10, kRed, true);
  pic.Circle(50, 50, inf, kRed);
  pic.Circle(50, 50, 1e12, kRed);
  pic.PSet(nan, nan, kRed);
  pic.SetCurrentX(nan);
  pic.Print("x");
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) ASSERT_EQ(PixelColor(pic, x, y), kWhite) << x << "," << y;

  // A line far beyond both edges still crosses the picture where it should.
  pic.Line(-1e300, 50, 1e300, 50, kRed);
  pic.Box(-1e12, 60, 1e12, 1e12, kBlue, true);
  EXPECT_EQ(PixelColor(pic, 0, 50), kRed);
  EXPECT_EQ(PixelColor(pic, 99, 50), kRed);
  EXPECT_EQ(PixelColor(pic, 50, 49), kWhite);
  EXPECT_EQ(PixelColor(pic, 0, 60), kBlue);
  EXPECT_EQ(PixelColor(pic, 99, 99), kBlue);
  EXPECT_EQ(PixelColor(pic, 50, 59), kWhite);
}

TEST(PictureBox, ResizingKeepsWhatIsDrawnAndTheUserScale) {
  ui::PictureBox pic;
  pic.resize(50, 50);
  pic.PSet(5, 5, kRed);
  pic.resize(80, 60);
  EXPECT_EQ(pic.Image().size(), QSize(80, 60));
  EXPECT_EQ(PixelColor(pic, 5, 5), kRed);
  EXPECT_EQ(PixelColor(pic, 70, 55), kWhite);
  EXPECT_EQ(pic.ScaleWidth(), 80);  // the pixel scale follows the size

  // A zero-size widget keeps its last picture; drawing on it does no harm.
  pic.resize(0, 0);
  pic.Line(0, 0, 100, 100, kBlue);
  pic.Cls();
  pic.PSet(5, 5, kRed);
  pic.resize(80, 60);
  EXPECT_EQ(PixelColor(pic, 5, 5), kRed);

  // A user scale is kept and stretched over the new size.
  ASSERT_TRUE(pic.Scale(0, 0, 10, 10));
  pic.resize(100, 200);
  EXPECT_EQ(pic.ScaleWidth(), 10);
  EXPECT_EQ(pic.PixelAt(5, 5), QPoint(50, 100));
  pic.ScalePixels();
  EXPECT_EQ(pic.PixelAt(5, 5), QPoint(5, 5));
}

TEST(PictureBox, MouseEventsArriveInUserUnits) {
  ui::PictureBox pic;
  pic.resize(100, 100);
  ASSERT_TRUE(pic.Scale(0, 100, 100, 0));
  QSignalSpy down(&pic, &ui::PictureBox::MouseDown);
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(30, 60), QPointF(30, 60), Qt::RightButton,
                    Qt::RightButton, Qt::ShiftModifier);
  QCoreApplication::sendEvent(&pic, &press);
  ASSERT_EQ(down.count(), 1);
  const QList<QVariant> args = down.takeFirst();
  EXPECT_EQ(args.at(0).toInt(), 2);
  EXPECT_EQ(args.at(1).toInt(), 1);
  EXPECT_DOUBLE_EQ(args.at(2).toDouble(), 30.0);
  EXPECT_DOUBLE_EQ(args.at(3).toDouble(), 40.0);
}

// 7 pixels wide, so each BMP row carries 3 bytes of padding.
void DrawSample(ui::PictureBox& pic) {
  pic.resize(7, 5);
  pic.SetBackColor(ui::RGB(10, 20, 30));
  pic.PSet(0, 0, ui::RGB(255, 0, 0));
  pic.PSet(6, 0, ui::RGB(0, 255, 0));
  pic.PSet(0, 4, ui::RGB(0, 0, 255));
  pic.PSet(6, 4, ui::RGB(1, 2, 3));
  pic.PSet(3, 2, ui::RGB(200, 100, 50));
}

uint32_t U32(const std::string& b, size_t at) {
  return static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8 |
         static_cast<uint8_t>(b[at + 2]) << 16 | static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

TEST(PictureBox, SavesA24BitBmpThatOtherReadersReadBack) {
  testsupport::TempProgramFolder folder;
  ui::PictureBox pic;
  DrawSample(pic);
  const std::filesystem::path file = folder / "plot.bmp";
  ASSERT_TRUE(pic.SavePicture(QString::fromStdString(file.string())));

  const std::string bytes = testsupport::ReadBytes(file);
  const size_t stride = 24;  // 7 * 3 rounded up to 4
  ASSERT_EQ(bytes.size(), 54 + stride * 5);
  EXPECT_EQ(bytes.substr(0, 2), "BM");
  EXPECT_EQ(U32(bytes, 2), bytes.size());
  EXPECT_EQ(U32(bytes, 10), 54u);
  EXPECT_EQ(U32(bytes, 14), 40u);
  EXPECT_EQ(U32(bytes, 18), 7u);
  EXPECT_EQ(U32(bytes, 22), 5u);  // positive height: bottom row first
  EXPECT_EQ(static_cast<uint8_t>(bytes[28]), 24);
  EXPECT_EQ(U32(bytes, 30), 0u);
  // The bottom-left pixel (blue) opens the pixel data, as B, G, R.
  EXPECT_EQ(bytes.substr(54, 3), std::string("\xFF\x00\x00", 3));
  // The top-right pixel (green) ends the last row, before its padding.
  EXPECT_EQ(bytes.substr(54 + 4 * stride + 18, 6), std::string("\x00\xFF\x00\x00\x00\x00", 6));

  QImage loaded;
  ASSERT_TRUE(loaded.load(QString::fromStdString(file.string()), "BMP"));
  ASSERT_EQ(loaded.size(), QSize(7, 5));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 7; ++x)
      EXPECT_EQ(loaded.pixel(x, y) & 0xFFFFFF, pic.Image().pixel(x, y) & 0xFFFFFF) << x << "," << y;

  // An independent reader: Python reads the header and the rows itself.
  const QString python = "/usr/bin/python3";
  if (!QFileInfo::exists(python)) GTEST_SKIP() << "no python3 for the independent check";
  const QString script = R"(
import struct, sys
b = open(sys.argv[1], 'rb').read()
off, = struct.unpack_from('<I', b, 10)
w, h, planes, bpp = struct.unpack_from('<iiHH', b, 18)
assert bpp == 24 and planes == 1
stride = (w * 3 + 3) & ~3
rows = []
for y in range(h):
    r = b[off + (h - 1 - y) * stride:]
    rows.append(' '.join('%02x%02x%02x' % (r[3*x+2], r[3*x+1], r[3*x]) for x in range(w)))
print('\n'.join(rows))
)";
  QProcess proc;
  proc.start(python, {"-c", script, QString::fromStdString(file.string())});
  ASSERT_TRUE(proc.waitForFinished(30000));
  ASSERT_EQ(proc.exitCode(), 0) << proc.readAllStandardError().toStdString();
  QString expected;
  for (int y = 0; y < 5; ++y) {
    QStringList row;
    for (int x = 0; x < 7; ++x) {
      const QColor c(pic.Image().pixel(x, y));
      row << QString::asprintf("%02x%02x%02x", c.red(), c.green(), c.blue());
    }
    expected += row.join(' ') + "\n";
  }
  EXPECT_EQ(QString::fromUtf8(proc.readAllStandardOutput()), expected);
}

TEST(PictureBox, SavingToAMissingFolderFailsAndLeavesNothing) {
  testsupport::TempProgramFolder folder;
  ui::PictureBox pic;
  DrawSample(pic);
  const std::filesystem::path file = folder / "no such folder" / "plot.bmp";
  EXPECT_FALSE(pic.SavePicture(QString::fromStdString(file.string())));
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_FALSE(std::filesystem::exists(folder / "no such folder"));
  EXPECT_FALSE(pic.SavePicture(QString()));

  // Saving again over an existing picture replaces it.
  const std::filesystem::path good = folder / "plot.bmp";
  testsupport::WriteBytes(good, "old");
  ASSERT_TRUE(pic.SavePicture(QString::fromStdString(good.string())));
  EXPECT_EQ(testsupport::ReadBytes(good).size(), 54u + 24 * 5);
}

}  // namespace
