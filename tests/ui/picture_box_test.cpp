#include "ui/picture_box.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QMouseEvent>
#include <QSignalSpy>
#include <filesystem>
#include <functional>
#include <limits>

#include "support/temp_folder.h"

namespace {

constexpr ui::Color kWhite = ui::RGB(255, 255, 255);
constexpr ui::Color kRed = ui::RGB(255, 0, 0);
constexpr ui::Color kBlue = 0xFF0000;  // as the plots write it
constexpr ui::Color kGreen = ui::RGB(0, 128, 0);
constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

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

struct Px {
  int x, y;
  ui::Color colour;
};
void ExpectPixels(ui::PictureBox& pic, std::initializer_list<Px> table) {
  for (const Px& p : table) EXPECT_EQ(PixelColor(pic, p.x, p.y), p.colour) << p.x << "," << p.y;
}

TEST(PictureBox, FiguresInAScaleWithYUpLandOnTheExpectedPixels) {
  ui::PictureBox pic;
  pic.resize(100, 100);
  ASSERT_TRUE(pic.Scale(0, 100, 100, 0));
  pic.Cls();

  // A line at user height 10 is the pixel row 90, its end pixels included.
  pic.Line(10, 10, 90, 10, kRed);
  for (int x = 10; x <= 90; ++x) EXPECT_EQ(PixelColor(pic, x, 90), kRed) << x;
  ExpectPixels(pic, {{9, 90, kWhite}, {91, 90, kWhite}, {50, 89, kWhite}, {50, 91, kWhite}});
  EXPECT_EQ(pic.CurrentX(), 90);
  EXPECT_EQ(pic.CurrentY(), 10);

  // A filled box (20, 30)-(40, 50) covers pixel columns 20..40 and rows 50..70.
  pic.Box(20, 30, 40, 50, kBlue, true);
  EXPECT_EQ(pic.Point(30, 40), kBlue);
  ExpectPixels(pic, {{20, 50, kBlue}, {40, 70, kBlue}, {19, 60, kWhite}, {41, 60, kWhite},
                     {30, 49, kWhite}, {30, 71, kWhite}});

  // An outlined box: edges drawn, inside untouched; with the fill on, filled in FillColor.
  pic.Box(60, 60, 80, 80, kGreen, false);
  ExpectPixels(pic, {{60, 20, kGreen}, {80, 40, kGreen}, {70, 20, kGreen}, {70, 30, kWhite},
                     {81, 30, kWhite}});
  pic.SetFillSolid(true);
  pic.SetFillColor(kRed);
  pic.Box(60, 60, 80, 80, kGreen, false);
  ExpectPixels(pic, {{70, 30, kRed}, {60, 30, kGreen}});

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
  EXPECT_EQ(pic.ToUser(QPointF(30, 150)), QPointF(0, 0));
  pic.PSet(0, 0, kRed);
  ExpectPixels(pic, {{30, 150, kRed}, {31, 150, kWhite}});

  // A circle's radius is in horizontal units: 20 units are 20 pixels across here,
  // although a vertical unit is half a pixel.
  pic.Circle(100, 100, 20, kBlue);
  const QPoint c = pic.PixelAt(100, 100);
  EXPECT_TRUE(ColourNear(pic, c.x() + 20, c.y(), kBlue));
  EXPECT_TRUE(ColourNear(pic, c.x() - 20, c.y(), kBlue));
  EXPECT_TRUE(ColourNear(pic, c.x(), c.y() - 20, kBlue));
  EXPECT_FALSE(ColourNear(pic, c.x(), c.y(), kBlue, 5));

  // A circle smaller than a pixel is its centre pixel.
  pic.Circle(200, 200, 0.4, kRed);
  const QPoint dot = pic.PixelAt(200, 200);
  ExpectPixels(pic, {{dot.x(), dot.y(), kRed}, {dot.x() + 1, dot.y(), kWhite}});
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
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x)
      if (QColor(img.pixel(x, y)) != Qt::white)
        ++(x >= 50 && x < 80 && y >= 40 && y < 70 ? inked_below : inked_elsewhere);
  EXPECT_GT(inked_below, 10);
  EXPECT_EQ(inked_elsewhere, 0);
  // The next line is lower on screen: with y pointing up, a smaller CurrentY.
  EXPECT_EQ(pic.CurrentX(), 0);
  EXPECT_LT(pic.CurrentY(), 60);
  EXPECT_GT(pic.CurrentY(), 60 - 40);
}

TEST(PictureBox, RefusesAZeroSizeScaleAndWildCoordinatesDrawOnlyWhatIsVisible) {
  ui::PictureBox pic;
  pic.resize(100, 100);
  ASSERT_TRUE(pic.Scale(0, 100, 100, 0));
  EXPECT_FALSE(pic.Scale(0, 0, 0, 100));
  EXPECT_FALSE(pic.Scale(5, 5, 10, 5));
  EXPECT_FALSE(pic.Scale(0, kNan, 10, 0));
  EXPECT_FALSE(pic.Scale(0, 0, kInf, 10));
  EXPECT_EQ(pic.ScaleHeight(), -100);  // the previous scale stays

  pic.Line(kNan, 10, 50, 10, kRed);
  pic.Line(0, kInf, 50, 10, kRed);
  pic.Box(kNan, 0, 10, 10, kRed, true);
  pic.Circle(50, 50, kInf, kRed);
  pic.Circle(50, 50, 1e12, kRed);
  pic.PSet(kNan, kNan, kRed);
  pic.SetCurrentX(kNan);
  pic.Print("x");
  for (int y = 0; y < 100; ++y)
    for (int x = 0; x < 100; ++x) ASSERT_EQ(PixelColor(pic, x, y), kWhite) << x << "," << y;

  // A line far beyond both edges still crosses the picture where it should.
  pic.Line(-1e300, 50, 1e300, 50, kRed);
  pic.Box(-1e12, 40, 1e12, -1e12, kBlue, true);
  ExpectPixels(pic, {{0, 50, kRed}, {99, 50, kRed}, {50, 49, kWhite}, {0, 60, kBlue},
                     {99, 99, kBlue}, {50, 59, kWhite}});
}

TEST(PictureBox, ResizingKeepsWhatIsDrawnAndTheUserScale) {
  ui::PictureBox pic;
  pic.resize(50, 50);
  pic.PSet(5, 5, kRed);
  pic.resize(80, 60);
  EXPECT_EQ(pic.Image().size(), QSize(80, 60));
  ExpectPixels(pic, {{5, 5, kRed}, {70, 55, kWhite}});
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

uint32_t U32(const std::string& b, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b[at + static_cast<size_t>(i)]);
  return v;
}

TEST(PictureBox, SavesA24BitBmpThatQImageReadsBack) {
  testsupport::TempProgramFolder folder;
  ui::PictureBox pic;
  pic.resize(7, 5);  // 7 pixels wide: each BMP row carries 3 bytes of padding
  pic.SetBackColor(ui::RGB(10, 20, 30));
  pic.PSet(0, 0, ui::RGB(255, 0, 0));
  pic.PSet(6, 0, ui::RGB(0, 255, 0));
  pic.PSet(0, 4, ui::RGB(0, 0, 255));
  pic.PSet(3, 2, ui::RGB(200, 100, 50));
  const std::filesystem::path file = folder / "plot.bmp";
  testsupport::WriteBytes(file, "old");  // saving over a picture replaces it
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

  // A folder that does not exist, or no name: false, and nothing is created.
  const std::filesystem::path lost = folder / "no such folder" / "plot.bmp";
  EXPECT_FALSE(pic.SavePicture(QString::fromStdString(lost.string())));
  EXPECT_FALSE(std::filesystem::exists(lost.parent_path()));
  EXPECT_FALSE(pic.SavePicture(QString()));
}

int InkedPixels(ui::PictureBox& pic, QRect area = QRect()) {
  const QImage& img = pic.Image();
  if (area.isNull()) area = img.rect();
  int inked = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x)
      if (img.valid(x, y) && PixelColor(pic, x, y) != kWhite) ++inked;
  return inked;
}

// Each row draws the way a plot draws, then erases the way the plot erases it; not one
// pixel of the drawing may survive.
TEST(PictureBox, ErasingCoversEverythingTheDrawingCovered) {
  constexpr ui::Color kBlack = ui::RGB(0, 0, 0);
  struct Row {
    const char* what;
    std::function<void(ui::PictureBox&, ui::Color)> draw;
    std::function<void(ui::PictureBox&)> erase;
  };
  auto outline = [](int width, double x1, double y1, double x2, double y2) {
    return [=](ui::PictureBox& pic, ui::Color c) {
      pic.SetDrawWidth(width);
      pic.Box(x1, y1, x2, y2, c, false);
    };
  };
  auto eraser = [](int width, double x1, double y1, double x2, double y2) {
    return [=](ui::PictureBox& pic) {
      pic.SetDrawWidth(width);
      pic.Box(x1, y1, x2, y2, kWhite, true);
    };
  };
  auto text = [](const char* t, double fit) {
    return [=](ui::PictureBox& pic, ui::Color c) {
      pic.SetForeColor(c);
      pic.SetCurrentX(10);
      pic.SetCurrentY(250);
      fit > 0 ? pic.Print(t, fit) : pic.Print(t);
    };
  };
  auto reprint = [](auto draw) { return [=](ui::PictureBox& pic) { draw(pic, kWhite); }; };
  const Row rows[] = {
      {"thick outline, filled box of its corners", outline(3, 20, 20, 60, 70),
       eraser(3, 20, 20, 60, 70)},
      {"corners given the other way round", outline(3, 60, 70, 20, 20), eraser(3, 20, 20, 60, 70)},
      {"even width", outline(2, 20, 20, 60, 70), eraser(2, 20, 20, 60, 70)},
      {"wide pen", outline(5, 20, 20, 60, 70), eraser(5, 20, 20, 60, 70)},
      {"a box thinner than its pen", outline(5, 20, 20, 21, 70), eraser(5, 20, 20, 21, 70)},
      {"a bar shrinking under its slot's eraser", outline(3, 30, 1, 50, 240),
       eraser(3, 30, 1, 50, 275)},
      {"a counter printed again in white", text("#2$4", 0), reprint(text("#2$4", 0))},
      {"a label kept to its room", text("G11_Group11", 12), reprint(text("G11_Group11", 12))},
  };
  for (const Row& r : rows) {
    ui::PictureBox pic;
    pic.resize(330, 165);  // the activity plot's scale on a small window
    ASSERT_TRUE(pic.Scale(-30, 300, 300, -30));
    pic.Cls();
    r.draw(pic, kBlack);
    ASSERT_GT(InkedPixels(pic), 0) << r.what;
    r.erase(pic);
    EXPECT_EQ(InkedPixels(pic), 0) << r.what;
  }
}

TEST(PictureBox, TextGivenARoomShrinksAndStaysInIt) {
  ui::PictureBox pic;
  pic.resize(300, 60);
  pic.SetForeColor(ui::RGB(0, 0, 0));
  const QString label = "G11_Group11";
  pic.Print(label);
  const int whole = InkedPixels(pic);
  const QImage as_printed = pic.Image();
  // Room enough: the same pixels.
  pic.Cls();
  pic.Print(label, 300);
  EXPECT_EQ(pic.Image(), as_printed);
  // Too little: smaller, and nothing right of the room.
  pic.Cls();
  pic.Print(label, 40);
  EXPECT_GT(InkedPixels(pic, QRect(0, 0, 40, 60)), 0);
  EXPECT_LT(InkedPixels(pic), whole);
  EXPECT_EQ(InkedPixels(pic, QRect(40, 0, 260, 60)), 0);
  // Too little even at the smallest readable size: elided within the room, at a height
  // no smaller than the shrunk text above.
  const int shrunk_ink = InkedPixels(pic);
  pic.Cls();
  pic.Print(label, 24);
  EXPECT_GT(InkedPixels(pic), 0);
  EXPECT_LT(InkedPixels(pic), shrunk_ink);
  EXPECT_EQ(InkedPixels(pic, QRect(24, 0, 276, 60)), 0);
  QRect ink;
  for (int y = 0; y < 60; ++y)
    for (int x = 0; x < 24; ++x)
      if (pic.Image().pixel(x, y) != pic.Image().pixel(299, 59)) ink |= QRect(x, y, 1, 1);
  EXPECT_GE(ink.height(), 6);  // a 5-point text's capitals are about 5 pixels high
}

}  // namespace

namespace {

// A zigzag with a wild point far outside, NaN gaps and a lone repeated point.
const std::vector<double> kTrace = {-10, 20, 15,   80, 30, 5,  45, 1e9, 60,  40, kNan, 50,
                                    70,  70, 70,   70, kNan, 0, 75, 60,  90, 20, 120,  90};

TEST(PictureBox, ATraceDrawsThePixelsOfItsPolyline) {
  // A noisy signal with spikes over 260 pixels: about 100 samples to a pixel, two or
  // three (the joins between columns show) and several pixels apart.
  for (const int count : {25000, 600, 40}) {
    const double step = 25000.0 / count;
    std::vector<double> ys, xy;
    for (int i = 0; i < count; ++i) {
      const int s = i * static_cast<int>(step);
      ys.push_back(1000 + (s * 7919) % 301 - 150 + (s % 997 ? 0 : 700) + 300 * (s / 5000 % 2));
      xy.insert(xy.end(), {i * step, ys.back()});
    }
    ui::PictureBox by_polyline, by_trace;
    for (ui::PictureBox* pic : {&by_polyline, &by_trace}) {
      pic->resize(260, 120);
      ASSERT_TRUE(pic->Scale(-500, 2150, 25500, -150));
      pic->Cls();
    }
    by_polyline.Polyline(xy.data(), count, kRed);
    by_trace.Trace(0, step, ys.data(), count, kRed);
    EXPECT_EQ(by_trace.Image(), by_polyline.Image()) << count;
    EXPECT_EQ(by_trace.CurrentX(), (count - 1) * step);
    EXPECT_EQ(by_trace.CurrentY(), ys.back());
  }
}

TEST(PictureBox, APolylineDrawsThePixelsOfItsSegmentsDrawnOneByOne) {
  for (int width : {1, 3}) {
    ui::PictureBox by_lines, by_polyline;
    for (ui::PictureBox* pic : {&by_lines, &by_polyline}) {
      pic->resize(100, 100);
      ASSERT_TRUE(pic->Scale(0, 100, 100, 0));
      pic->Cls();
      pic->SetDrawWidth(width);
    }
    for (std::size_t i = 2; i < kTrace.size(); i += 2)
      by_lines.Line(kTrace[i - 2], kTrace[i - 1], kTrace[i], kTrace[i + 1], kRed);
    by_polyline.Polyline(kTrace.data(), kTrace.size() / 2, kRed);
    EXPECT_EQ(by_polyline.Image(), by_lines.Image()) << "width " << width;
    EXPECT_EQ(by_polyline.CurrentX(), 120);
    EXPECT_EQ(by_polyline.CurrentY(), 90);
  }
}

}  // namespace
