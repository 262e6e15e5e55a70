// Pictures through the QPainter canvas: pixels where the mapping puts them.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "project/CProject.h"
#include "project/CProjectReader.h"
#include "render/CPictureExport.h"
#include "render/CPictureJob.h"
#include "render/CPngWriter.h"
#include "render/CQtCanvas.h"
#include "render/CRenderer.h"
#include "view/CFuncVars.h"
#include "view/CPicturePlan.h"
#include "view/CRangeTail.h"
#include "view/CViewRange.h"

namespace {
constexpr QRgb WHITE = 0xFFFFFF, GREY = 0x808080, BLACK = 0x000000, RED = 0xFF0000;

// An SVG file of what paint draws, its view box the picture.
QByteArray Svg(const std::function<void(QPainter&)>& paint, int nWidth, int nHeight)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(QSize(nWidth, nHeight));
    svg.setViewBox(QRect(0, 0, nWidth, nHeight));
    QPainter painter(&svg);
    paint(painter);
    painter.end();
    return buffer.data();
}

int DifferentPixels(const QImage& a, const QImage& b)
{
    int n = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            n += a.pixel(x, y) != b.pixel(x, y);
    return n;
}

struct SPicture {
    CProject project;
    CAnimationStep* pStep = project.m_pFirstStep;
    QImage image;

    explicit SPicture(int nWidth = 400, int nHeight = 200) : image(nWidth, nHeight, QImage::Format_RGB32)
    {
        project.SetOption(OPT_XMIN, -10);
        project.SetOption(OPT_XMAX, 10);
        project.SetOption(OPT_YMIN, -5);
        project.SetOption(OPT_YMAX, 5);
        project.SetFlag(FLAG_SHOWAXIS, false);
    }

    void Function(const char* pszFormula, uint32_t nColor = 12, uint32_t nWidth = 1)
    {
        project.SetFunction(1, pszFormula);
        pStep->m_bVisible[0] = true;
        pStep->m_nColor[0] = nColor;
        pStep->m_nWidth[0] = nWidth;
    }

    void Paint(int32_t nMultiplier = 1)
    {
        QPainter painter(&image);
        CQtCanvas canvas(painter);
        CRenderer::DrawBackground(project, canvas, image.width(), image.height());
        CFuncVars grid;
        grid.SetupView(&project, pStep, image.width(), image.height(), 0, 0);
        CRenderer::DrawGrid(grid, canvas, CRenderer::AxisColorOnBackground(project));
        CFuncVars vars;
        vars.SetupView(&project, pStep, image.width(), image.height(), 0, 0);
        while (CRenderer::DrawSample(vars, canvas, nMultiplier)) {
        }
    }

    QRgb At(int x, int y) const { return image.pixel(x, y) & 0xFFFFFF; }

    int CountInRow(int y, QRgb color) const
    {
        int n = 0;
        for (int x = 0; x < image.width(); ++x)
            n += At(x, y) == color;
        return n;
    }
    int CountInColumn(int x, QRgb color) const
    {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            n += At(x, y) == color;
        return n;
    }
    int Count(QRgb color) const { return CountIn(image, color); }
    static int CountIn(const QImage& image, QRgb color)
    {
        int n = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                n += (image.pixel(x, y) & 0xFFFFFF) == color;
        return n;
    }
    bool Dark(QRect rect) const
    {
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                if (qRed(image.pixel(x, y)) < 128)
                    return true;
        return false;
    }
};
} // namespace

TEST(QtCanvas, PrimitivesPaintWhatAGdiCanvasPaints)
{
    QImage image(20, 10, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        CQtCanvas canvas(painter);
        canvas.SetPenColor(0x000000);
        canvas.MoveTo(1, 1);
        canvas.LineTo(5, 1); // the end point stays unpainted
        canvas.LineTo(5, 1); // no length: nothing
        const SPoint points[] = {{1, 3}, {1, 3}, {4, 3}, {4, 3}};
        canvas.Polyline(points, 4);
        canvas.SetPixel(8, 8, 0x123456); // 0x00BBGGRR
        canvas.SetPenColor(0x0000FF);
        canvas.SetBrushColor(0x00FF00);
        canvas.Rectangle(10, 1, 14, 5); // right and bottom exclusive
        canvas.SetBrushStyle(EBrushStyle::Clear);
        canvas.Rectangle(15, 1, 19, 5);
    }
    auto at = [&](int x, int y) { return image.pixel(x, y) & 0xFFFFFF; };
    EXPECT_EQ(at(1, 1), BLACK);
    EXPECT_EQ(at(4, 1), BLACK);
    EXPECT_EQ(at(5, 1), WHITE);
    EXPECT_EQ(at(3, 3), BLACK);
    EXPECT_EQ(at(4, 3), WHITE);
    EXPECT_EQ(at(8, 8), 0x563412u);
    EXPECT_EQ(at(10, 1), RED);
    EXPECT_EQ(at(13, 4), RED);
    EXPECT_EQ(at(14, 4), WHITE);
    EXPECT_EQ(at(11, 2), 0x00FF00u);
    EXPECT_EQ(at(16, 2), WHITE);
    EXPECT_EQ(at(18, 4), RED);
}

TEST(QtPicture, AxesAndDottedGridWhereTheMappingPutsThem)
{
    SPicture picture;
    picture.project.SetOption(OPT_BGCOLOR, 14); // palette yellow, 0x00FFFF as 0x00BBGGRR
    picture.Paint();
    EXPECT_EQ(picture.At(5, 5), 0xFFFF00u);
    EXPECT_EQ(picture.CountInRow(100, BLACK), 400); // the x axis at y = 0
    EXPECT_EQ(picture.CountInColumn(200, BLACK), 200);
    // y = 1 at row 80, x = 5 at column 300: dots every other pixel, a tenth of a grid step.
    // (and a dot of each of the 19 dotted columns that cross it, the axis column aside).
    EXPECT_NEAR(picture.CountInRow(80, GREY), 200 + 19, 12);
    EXPECT_NEAR(picture.CountInColumn(300, GREY), 100, 6);
    EXPECT_NEAR(picture.CountInRow(90, GREY) + picture.CountInRow(91, GREY), 19, 2);
    EXPECT_EQ(picture.At(300, 80), GREY);

    // On a dark background the axes, ticks and labels are white; out of the palette, black.
    for (const double dIndex : {9.0, 16.0}) {
        picture.project.SetOption(OPT_BGCOLOR, dIndex);
        picture.project.SetFlag(FLAG_SHOWAXIS, true);
        picture.Paint();
        EXPECT_EQ(picture.At(5, 5), dIndex == 9.0 ? 0x0000FFu : BLACK);
        EXPECT_EQ(picture.CountInRow(100, WHITE), 400) << dIndex;
        EXPECT_EQ(picture.CountInColumn(200, WHITE), 200) << dIndex;
        EXPECT_EQ(picture.CountInRow(100, BLACK), 0) << dIndex;
        EXPECT_EQ(picture.At(300, 80), GREY);
        EXPECT_EQ(picture.At(300, 98), WHITE) << dIndex; // the tick of x = 5
    }
}

TEST(QtPicture, SolidUnderTwentyPixelsAndNoLinesUnderFive)
{
    SPicture narrow(390, 200);
    narrow.Paint();
    EXPECT_GE(narrow.CountInRow(80, GREY), 390 - 21); // solid, crossed by the dotted columns

    SPicture five(100, 200); // 5 pixels per grid step on x
    five.Paint();
    EXPECT_GT(five.CountInRow(90, GREY), 0);
    SPicture four(96, 200);
    four.Paint();
    EXPECT_EQ(four.CountInRow(90, GREY), 0);
    EXPECT_GE(four.CountInRow(80, GREY), 95); // the rows are there, solid
}

TEST(QtPicture, LabelsOnlyAtTwentyPixelsPerStep)
{
    SPicture wide(400, 200);
    wide.project.SetFlag(FLAG_SHOWAXIS, true);
    wide.Paint();
    // The label "5" stands above its tick at column 300; the band is left of the y axis' labels.
    EXPECT_TRUE(wide.Dark(QRect(301, 84, 10, 12)));
    EXPECT_EQ(wide.At(297, 100), BLACK);
    EXPECT_EQ(wide.At(300, 97), BLACK);

    SPicture narrow(390, 200);
    narrow.project.SetFlag(FLAG_SHOWAXIS, true);
    narrow.Paint();
    EXPECT_FALSE(narrow.Dark(QRect(293, 84, 10, 12)));
    EXPECT_TRUE(narrow.Dark(QRect(196, 14, 10, 12))); // the y labels stay: 20 pixels on y
}

TEST(QtPicture, CurveColourWidthAndPrinterWidth)
{
    SPicture picture;
    picture.project.SetFlag(FLAG_YGRID, false);
    picture.Function("x*0+1"); // y = 1 at row 80, connected over all x
    picture.Paint();
    EXPECT_EQ(picture.At(250, 80), RED);
    EXPECT_EQ(picture.CountInColumn(250, RED), 1);
    EXPECT_GE(picture.CountInRow(80, RED), 398);
    EXPECT_EQ(picture.CountInColumn(250, BLACK), 1);

    picture.Paint(2); // the printer's pen multiplier: the curve doubles, the axes do not
    EXPECT_EQ(picture.CountInColumn(250, RED), 2);
    EXPECT_EQ(picture.CountInColumn(250, BLACK), 1);

    picture.pStep->m_nWidth[0] = 8;
    picture.Paint();
    EXPECT_EQ(picture.CountInColumn(250, RED), 8);
}

TEST(QtPicture, GapsDotsAndConstants)
{
    SPicture gap;
    gap.project.SetFlag(FLAG_YGRID, false);
    gap.project.SetFlag(FLAG_XGRID, false);
    gap.pStep->m_dMin[0] = -2;
    gap.pStep->m_dStep[0] = 1;
    gap.pStep->m_nCount[0] = 4;
    gap.Function("x==0 ? undef : 1");
    gap.Paint();
    EXPECT_EQ(gap.At(170, 80), RED);
    EXPECT_EQ(gap.At(190, 80), WHITE);
    EXPECT_EQ(gap.At(210, 80), WHITE);
    EXPECT_EQ(gap.At(230, 80), RED);
    EXPECT_EQ(gap.Count(RED), 40); // 160 ... 179 and 220 ... 239: the last points stay unpainted

    SPicture dots;
    dots.project.SetFlag(FLAG_YGRID, false);
    dots.pStep->m_bConnect = false;
    dots.Function("x*0+1");
    dots.Paint();
    EXPECT_NEAR(dots.CountInRow(80, RED), 100, 1); // every 4 pixels; x = 10 is off the picture
    for (int x = 1; x < 400; ++x)
        ASSERT_FALSE(dots.At(x - 1, 80) == RED && dots.At(x, 80) == RED) << x;

    SPicture constant;
    constant.Function("3");
    constant.Paint();
    EXPECT_EQ(constant.Count(RED), 1);
    EXPECT_EQ(constant.At(0, 40), RED);

    SPicture wide;
    wide.pStep->m_dMin[0] = 0;
    wide.Function("0", 12, 8);
    wide.Paint();
    EXPECT_GE(wide.Count(RED), 60);
    EXPECT_LE(wide.Count(RED), 120);
}

TEST(QtPicture, UnmappableViewHasAxesOnTheEdges)
{
    SPicture picture;
    picture.project.SetOption(OPT_XMAX, -10);
    picture.Function("x");
    picture.Paint();
    EXPECT_EQ(picture.Count(GREY), 0);
    EXPECT_EQ(picture.CountInRow(0, BLACK) + picture.CountInRow(0, RED), 400);
    EXPECT_EQ(picture.CountInColumn(0, BLACK) + picture.CountInColumn(0, RED), 200);
    EXPECT_EQ(picture.CountInRow(100, BLACK), 1); // only where the y axis on the left edge crosses
}

TEST(QtCanvas, VectorDevicesGetACurveAsOnePath)
{
    CProject project;
    project.SetFunction(1, "sin(x)*x^2");
    project.m_pFirstStep->m_bVisible[0] = true;
    project.m_pFirstStep->m_dStep[0] = 0.002;
    project.m_pFirstStep->m_nCount[0] = 10000;
    CViewRange::DetermineRange(project);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(QSize(584, 387));
    {
        QPainter painter(&svg);
        CQtCanvas canvas(painter, true);
        CFuncVars vars;
        vars.SetupView(&project, project.m_pFirstStep, 584, 387, 0, 0);
        while (CRenderer::DrawSample(vars, canvas, 1)) {
        }
    }
    const QByteArray svgText = buffer.data();
    // The first sample's dot and the whole curve, one pen's lines in a row.
    EXPECT_EQ(svgText.count("<path") + svgText.count("<polyline"), 1);
    EXPECT_LT(svgText.size(), 40000); // repeated pixels and straight runs are merged
}

// A vector file keeps a dot once per pixel, however often it is drawn there, and still shows what
// the raster shows: a dot drawn again over another colour is drawn again on top.
TEST(QtCanvas, VectorDotsAreStoredOncePerPixel)
{
    const int W = 40, H = 30;
    const auto Scene = [](CCanvas& canvas) {
        const auto Dot = [&](uint32_t nColor, int32_t nWidth, int32_t x, int32_t y) {
            canvas.SetPenColor(nColor);
            canvas.SetPenWidth(nWidth);
            canvas.MoveTo(x, y);
            canvas.LineTo(x + 1, y + 1);
        };
        std::mt19937 random(7);
        for (int i = 0; i < 100000; ++i)
            Dot(0x0000FF, 1, static_cast<int32_t>(random() % W), static_cast<int32_t>(random() % H));
        Dot(0xFF0000, 1, 5, 5); // another colour over a red dot, then red again on top
        Dot(0x0000FF, 1, 5, 5);
        Dot(0x0000FF, 3, 20, 20); // a wide red dot, a thin blue one inside it, the red one again
        Dot(0xFF0000, 1, 21, 20);
        Dot(0x0000FF, 3, 20, 20);
        canvas.SetPenColor(0x00FF00); // a line over a row of dots, then the dots again
        canvas.SetPenWidth(1);
        canvas.MoveTo(0, 10);
        canvas.LineTo(W, 10);
        for (int32_t x = 0; x < W; x += 2)
            Dot(0x0000FF, 1, x, 10);
        for (int i = 0; i < 1000; ++i) // far outside: nothing shows, nothing is stored
            Dot(0x0000FF, 1, 100000 + i, -5000);
    };
    QImage raster(W, H, QImage::Format_RGB32);
    raster.fill(Qt::white);
    {
        QPainter painter(&raster);
        CQtCanvas canvas(painter);
        Scene(canvas);
    }
    const QByteArray svgText = Svg(
        [&](QPainter& painter) {
            CQtCanvas canvas(painter, true);
            Scene(canvas);
        },
        W, H);
    EXPECT_LE(svgText.count('M'), W * H + 40); // each pixel once, and the few dots drawn again
    EXPECT_LT(svgText.size(), 30000);

    // The same on a raster through the vector canvas: every pixel as the raster canvas paints it.
    QImage vector(W, H, QImage::Format_RGB32);
    vector.fill(Qt::white);
    {
        QPainter painter(&vector);
        CQtCanvas canvas(painter, true);
        Scene(canvas);
    }
    int nDifferent = 0;
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            nDifferent += raster.pixel(x, y) != vector.pixel(x, y);
    EXPECT_EQ(nDifferent, 0);
    EXPECT_EQ(raster.pixel(5, 5) & 0xFFFFFF, RED);
    EXPECT_EQ(raster.pixel(20, 10) & 0xFFFFFF, RED);
    EXPECT_EQ(raster.pixel(21, 20) & 0xFFFFFF, RED);

    // Wider dots and lines cover their neighbours' pixels: a field of them is stored where it adds
    // pixels, far less than once per line, and paints what the raster paints, which strokes each
    // line on its own, caps and all: a walk of lines that bend gently and sharply, with jumps; and
    // such a walk in two colours by turns, each line drawn again in the other colour right after
    // it, so that the last colour of a pixel is all that shows of the lines under it.
    struct SField {
        const char* pszName;
        int32_t nWidth;
        int32_t nStep;  // the walk's lines reach this far in x and y; 0: dots
        bool bTwice;    // each line drawn again in another colour
        int nMaxPoints; // in the SVG file, of 20000 dots or lines
    };
    const SField fields[] = {
        {"two-pixel dots", 2, 0, false, 1200},
        {"three-pixel dots", 3, 0, false, 640},
        {"six-pixel dots", 6, 0, false, 320},
        {"a two-pixel walk", 2, 5, false, 840},
        {"a three-pixel walk", 3, 5, false, 640},
        {"a six-pixel walk", 6, 5, false, 320},
        {"an eight-pixel walk", 8, 5, false, 250},
        {"a two-pixel walk in two colours", 2, 5, true, 1200},
        {"a six-pixel walk in two colours", 6, 5, true, 600},
    };
    for (const SField& field : fields) {
        SCOPED_TRACE(field.pszName);
        const auto Field = [&](CCanvas& canvas, int nLines) {
            std::mt19937 random(11);
            canvas.SetPenColor(0xFF0000);
            canvas.SetPenWidth(field.nWidth);
            const auto Coordinate = [&](int32_t nSize) { return static_cast<int32_t>(random() % (nSize + 10)) - 5; };
            int32_t x = 0, y = 0;
            for (int i = 0; i < nLines; ++i) {
                if (field.nStep == 0 || random() % 8 == 0) {
                    x = Coordinate(W);
                    y = Coordinate(H);
                    canvas.MoveTo(x, y);
                }
                if (field.nStep == 0) {
                    canvas.LineTo(x + 1, y + 1);
                    continue;
                }
                const auto Step = [&]() {
                    return static_cast<int32_t>(random() % (2 * field.nStep + 1)) - field.nStep;
                };
                const int32_t x0 = x, y0 = y;
                x += Step();
                y += Step();
                canvas.SetPenColor(0xFF0000);
                canvas.LineTo(x, y);
                if (field.bTwice) {
                    canvas.SetPenColor(0x0000FF);
                    canvas.MoveTo(x0, y0);
                    canvas.LineTo(x, y);
                }
            }
        };
        for (const int nLines : {100, 20000}) { // the field's edges, and the field filled up
            QImage wideRaster(W, H, QImage::Format_RGB32), wideVector(W, H, QImage::Format_RGB32);
            wideRaster.fill(Qt::white);
            wideVector.fill(Qt::white);
            {
                QPainter painter(&wideRaster);
                CQtCanvas canvas(painter);
                Field(canvas, nLines);
            }
            {
                QPainter painter(&wideVector);
                CQtCanvas canvas(painter, true);
                Field(canvas, nLines);
            }
            EXPECT_EQ(DifferentPixels(wideRaster, wideVector), 0) << nLines << " lines";
        }
        const QByteArray wideSvg = Svg(
            [&](QPainter& painter) {
                CQtCanvas canvas(painter, true);
                Field(canvas, 20000);
            },
            W, H);
        EXPECT_LT(wideSvg.count(','), field.nMaxPoints);
    }
}

// The sample projects paint on a vector device what they paint on the raster, with the pens they
// have and three times as wide: the renderer draws a curve a line per sample, which the raster
// strokes on its own, caps and all.
TEST(QtPicture, VectorPicturesPaintWhatTheRasterPaints)
{
    struct SRow {
        const char* pszName;
        uint32_t nWiden;
    };
    const SRow rows[] = {
        {"animation.kvx", 1},  {"animation.kvx", 3},  {"polar-rose.kvx", 1},
        {"polar-rose.kvx", 3}, {"parametric.kvx", 3}, {"curve-family.kvx", 3},
    };
    for (const SRow& row : rows) {
        SCOPED_TRACE(std::string(row.pszName) + " x" + std::to_string(row.nWiden));
        QImage pictures[2];
        for (const bool bVector : {false, true}) {
            CProject project;
            CProjectReader::Load(project, (std::string(KURVIX_EXAMPLES_DIR "/") + row.pszName).c_str());
            for (CAnimationStep* pStep = project.m_pFirstStep; pStep; pStep = pStep->m_pNext)
                for (uint32_t& nWidth : pStep->m_nWidth)
                    nWidth *= row.nWiden;
            QImage& picture = pictures[bVector];
            picture = QImage(584, 387, QImage::Format_RGB32);
            picture.fill(Qt::white);
            QPainter painter(&picture);
            CPictureExport::Paint(project, painter, 584, 387, bVector, nullptr);
        }
        EXPECT_EQ(DifferentPixels(pictures[0], pictures[1]), 0);
    }
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

namespace {
// Lookups of the value caches of all functions and the transformation: every evaluation but the
// second thread's.
uint64_t Lookups(const CProject& project)
{
    uint64_t nLookups = 0;
    const auto Add = [&](const CFuncTerm* pTerm) {
        unsigned nHits = 0, nMisses = 0;
        if (pTerm && std::sscanf(pTerm->GetStatistics().c_str(), "%u hits\n%u misses", &nHits, &nMisses) == 2)
            nLookups += uint64_t{nHits} + nMisses;
    };
    for (unsigned i = 0; i < MAX_FUNCTIONS; ++i)
        Add(project.m_pFunctions[i].get());
    Add(project.m_pTransform.get());
    return nLookups;
}

// The picture as the renderer draws it evaluating sample by sample, with no log and no summary:
// a raster, or the SVG file of a vector device.
void PaintEverySample(CProject& project, QPainter& painter, int nWidth, int nHeight, bool bVector)
{
    CQtCanvas canvas(painter, bVector);
    const CViewBox box = CViewRange::Range(project);
    CPictureJob::DrawLayers(project, box, canvas, nWidth, nHeight, 0, 0, true);
    CFuncVars vars;
    vars.SetupView(&project, box, box.NothingToDraw() ? nullptr : project.m_pFirstStep, nWidth, nHeight, 0, 0);
    while (CRenderer::DrawSample(vars, canvas, 1)) {
    }
    canvas.Flush();
}

} // namespace

// A curve that goes over the same pixels again and again is stored as often as the picture needs,
// not once per turn, and still paints every pixel as the raster does: with one-pixel and wider
// pens, over and under another colour, partly outside the picture, and as polylines and as lines
// (a wider pen paints a line on its own with caps, where a polyline joins its lines).
TEST(QtCanvas, VectorCurvesStoreRevisitedPixelsOnce)
{
    const int W = 120, H = 90;
    struct SRow {
        const char* pszName;
        int32_t nTurning;  // the pens of this width and less turn often
        int nMaxPoints;    // in the SVG file, the curves turning as often as the others
        double dMaxGrowth; // of the points, for ten times the turns
    };
    const SRow rows[] = {
        {"one-pixel curves", 1, 16000, 1.5},
        {"a two-pixel curve too", 2, 16000, 1.5},
        {"a three-pixel curve too, its edges on pixel centres", 3, 16000, 1.6},
        {"curves of every pen", 6, 16000, 2},
    };
    for (const SRow& row : rows) {
        SCOPED_TRACE(row.pszName);
        const auto Scene = [&](CCanvas& canvas, double dTurns) {
            const auto Curve = [&](uint32_t nColor, int32_t nWidth, double dFrom, double dTo, bool bLines) {
                canvas.SetPenColor(nColor);
                canvas.SetPenWidth(nWidth);
                std::vector<SPoint> points;
                for (double t = dFrom; t < dTo * (nWidth <= row.nTurning ? dTurns : 1);
                     t += 0.05) // a Lissajous figure of many turns
                    points.push_back({static_cast<int32_t>(std::lround(60 + 70 * std::sin(3 * t))),
                                      static_cast<int32_t>(std::lround(45 + 40 * std::cos(5 * t)))});
                if (!bLines) {
                    canvas.Polyline(points.data(), static_cast<int32_t>(points.size()));
                    return;
                }
                canvas.MoveTo(points[0].x, points[0].y);
                for (const SPoint& point : points)
                    canvas.LineTo(point.x, point.y);
            };
            Curve(0x808080, 6, 2, 100, true); // under all the others
            Curve(0x0000FF, 1, 0, 400, false);
            Curve(0x00FF00, 3, 0, 200, true); // over the red one
            Curve(0x0000FF, 1, 0, 400, true); // the red one again on top
            Curve(0xFF0000, 2, 1, 300, false);
        };
        const auto PathPoints = [&](double dTurns) {
            return Svg(
                       [&](QPainter& painter) {
                           CQtCanvas canvas(painter, true);
                           Scene(canvas, dTurns);
                       },
                       W, H)
                .count(',');
        };
        // Ten times the turns: the picture barely changes, nor does the file.
        const auto nOnce = PathPoints(1);
        EXPECT_LT(nOnce, row.nMaxPoints);
        EXPECT_LT(static_cast<double>(PathPoints(10)), static_cast<double>(nOnce) * row.dMaxGrowth);
        for (const double dTurns : {1.0, 10.0}) {
            QImage raster(W, H, QImage::Format_RGB32);
            raster.fill(Qt::white);
            {
                QPainter painter(&raster);
                CQtCanvas canvas(painter);
                Scene(canvas, dTurns);
            }
            QImage vector(W, H, QImage::Format_RGB32);
            vector.fill(Qt::white);
            {
                QPainter painter(&vector);
                CQtCanvas canvas(painter, true);
                Scene(canvas, dTurns);
            }
            int nDifferent = 0;
            for (int y = 0; y < H; ++y)
                for (int x = 0; x < W; ++x)
                    nDifferent += raster.pixel(x, y) != vector.pixel(x, y);
            EXPECT_EQ(nDifferent, 0) << dTurns << " turns";
        }
    }
}

// Every picture of the job paints exactly what the sample-by-sample drawing paints, pixel for
// pixel on a raster and element for element in a vector file, while it evaluates each sample
// once: one walk determines the range, sums the curves up and logs the values, and the drawing
// takes runs from their summaries and every other sample from the log.
TEST(QtPicture, SketchedCurvesPaintWhatEverySamplePaints)
{
    struct SCase {
        const char* pszName;
        int nPixels; // picture width
        std::function<void(CProject&, CAnimationStep&)> setUp;
        bool bSummarised = true;
        bool bProbes = false;     // poles are probed with evaluations of their own
        bool bTwoThreads = false; // the walk leaves its last part to a second thread
    };
    const auto Curve = [](CProject& project, CAnimationStep& step, unsigned n, const char* pszFormula,
                          uint32_t nColor = 12, uint32_t nWidth = 1) {
        project.SetFunction(n, pszFormula);
        step.m_bVisible[n - 1] = true;
        step.m_nColor[n - 1] = nColor;
        step.m_nWidth[n - 1] = nWidth;
    };
    const auto Sweep = [](CAnimationStep& step, double dMin, double dStep, uint32_t nCount) {
        step.m_dMin[0] = dMin;
        step.m_dStep[0] = dStep;
        step.m_nCount[0] = nCount;
    };
    const auto Fixed = [](CProject& project, double dX, double dY) {
        project.SetFlag(FLAG_XAUTO, false);
        project.SetFlag(FLAG_YAUTO, false);
        project.SetOption(OPT_XMIN, -dX);
        project.SetOption(OPT_XMAX, dX);
        project.SetOption(OPT_YMIN, -dY);
        project.SetOption(OPT_YMAX, dY);
    };
    const SCase cases[] = {
        {"one curve, the range walked on two threads", 584,
         [&](CProject& p, CAnimationStep& s) { Curve(p, s, 1, "sin(x)*x^2"), Sweep(s, -10, 6.7e-5, 300000); }, true,
         false, true},
        {"wide pens paint rectangles", 584,
         [&](CProject& p, CAnimationStep& s) { Curve(p, s, 1, "sin(x)*x^2", 12, 3), Sweep(s, -10, 1e-4, 200000); }},
        {"thousands of samples per column", 37,
         [&](CProject& p, CAnimationStep& s) { Curve(p, s, 1, "sin(x)*x^2"), Sweep(s, -10, 2e-4, 100000); }},
        {"undefined on one half", 300,
         [&](CProject& p, CAnimationStep& s) { Curve(p, s, 1, "sqrt(x)"), Sweep(s, -10, 6.7e-5, 300000); }, true, false,
         true},
        {"and at many breaks", 300,
         [&](CProject& p, CAnimationStep& s) { Curve(p, s, 1, "sqrt(sin(x*40))"), Sweep(s, -3, 3e-5, 200000); }},
        {"a pole: values up to 1e11", 300,
         [&](CProject& p, CAnimationStep& s) { Curve(p, s, 1, "1/x"), Sweep(s, -1, 1e-5 + 1e-12, 200000); }},
        {"tan", 300,
         [&](CProject& p, CAnimationStep& s) { Curve(p, s, 1, "tan(x)", 12, 2), Sweep(s, -5, 3.3e-5, 300000); }, true,
         false, true},
        {"flat: runs in one row", 300,
         [&](CProject& p, CAnimationStep& s) {
             Curve(p, s, 1, "0*x+1.02"), Sweep(s, -10, 1e-4, 200000);
             p.SetFlag(FLAG_YAUTO, false);
             p.SetOption(OPT_YMIN, -5);
             p.SetOption(OPT_YMAX, 5);
         }},
        {"steps in the middle of columns", 300,
         [&](CProject& p, CAnimationStep& s) { Curve(p, s, 1, "int(x)+0.001*x"), Sweep(s, -10, 1e-4, 200000); }},
        {"breaks off in a column after going up and down in it", 300,
         [&](CProject& p, CAnimationStep& s) {
             Curve(p, s, 1, "x < -0.00006 ? 0 : (x < -0.000005 ? -sin(x*157079.6327) : undef)");
             Sweep(s, -1, 1e-5, 200000);
             p.SetFlag(FLAG_XAUTO, false);
             p.SetOption(OPT_XMIN, -1);
             p.SetOption(OPT_XMAX, 1);
         }},
        {"two curves crossing, the later one wide", 584,
         [&](CProject& p, CAnimationStep& s) {
             Curve(p, s, 1, "sin(x)*x^2"), Curve(p, s, 2, "cos(x)*x*8", 9, 3), Sweep(s, -10, 2e-4, 100000);
         }},
        {"three curves over one another", 300,
         [&](CProject& p, CAnimationStep& s) {
             Curve(p, s, 1, "sin(x)"), Curve(p, s, 2, "sin(x)+0.001", 9), Curve(p, s, 3, "cos(x)", 10, 2);
             Sweep(s, -10, 2e-4, 100000);
         }},
        {"a parametric curve", 300,
         [&](CProject& p, CAnimationStep& s) { Curve(p, s, 1, "sin(3*x), cos(5*x)"), Sweep(s, 0, 6.3e-5, 100000); }},
        {"a family over u and v, and a function of u alone", 300,
         [&](CProject& p, CAnimationStep& s) {
             Curve(p, s, 1, "sin(x+u)*v"), Curve(p, s, 2, "u", 9, 4), Sweep(s, -10, 2e-3, 10000);
             s.m_dStep[1] = 0.5, s.m_nCount[1] = 4, s.m_dMin[2] = 1, s.m_dStep[2] = 1, s.m_nCount[2] = 1;
         }},
        {"several steps, the second one's dots on the second thread", 300,
         [&](CProject& p, CAnimationStep& s) {
             Curve(p, s, 1, "sin(x)*x"), Sweep(s, -10, 1e-4, 200000);
             auto pNext = std::make_unique<CAnimationStep>(s);
             pNext->m_bVisible[1] = true, pNext->m_nColor[1] = 9, pNext->m_nWidth[1] = 1, pNext->m_bConnect = false;
             p.SetFunction(2, "cos(x)*4");
             p.InsertStep(std::move(pNext), nullptr);
         },
         true, false, true},
        {"a reference, fixed axes", 300,
         [&](CProject& p, CAnimationStep& s) {
             p.SetFunction(1, "sin(x)*x^2"), Curve(p, s, 2, "f1(x)+f1(x/2)"), Sweep(s, -10, 2e-4, 100000);
             Fixed(p, 12, 90);
         }},
        {"poles broken", 300,
         [&](CProject& p, CAnimationStep& s) {
             Curve(p, s, 1, "tan(x)"), Curve(p, s, 2, "1/(x-1)", 9), Sweep(s, -5, 1e-4, 100000);
             p.SetFlag(FLAG_BREAKPOLES, true);
             Fixed(p, 5, 10);
         }},
        {"dots", 300,
         [&](CProject& p, CAnimationStep& s) {
             Curve(p, s, 1, "sin(x)*x^2"), Curve(p, s, 2, "x", 9, 2), Sweep(s, -10, 2e-4, 100000);
             s.m_bConnect = false;
         }},
        {"transformed, with a reference and poles", 300,
         [&](CProject& p, CAnimationStep& s) {
             Curve(p, s, 1, "tan(x)"), Curve(p, s, 2, "f1(x)*0.5+sin(3*x)", 9, 2), Sweep(s, -5, 1e-4, 100000);
             p.SetTransform("fx+0.4*fy, fy-0.2*fx");
             p.SetOption(OPT_TRMODE, TRMODE_USER);
             p.SetFlag(FLAG_BREAKPOLES, true);
         },
         false, true},
        {"references and derivatives on two threads", 300,
         [&](CProject& p, CAnimationStep& s) {
             p.SetFunction(1, "sin(a)*a");
             Curve(p, s, 2, "f1(x)*0.5+f1'(x)"), Curve(p, s, 3, "f2'", 9), Sweep(s, -10, 7.5e-5, 270000);
         },
         true, false, true},
        {"transformed by a rule through a function, on two threads", 300,
         [&](CProject& p, CAnimationStep& s) {
             p.SetFunction(3, "a/4");
             Curve(p, s, 1, "sin(x)*x"), Curve(p, s, 2, "x < -5 ? undef : cos(x)", 9), Sweep(s, -10, 7.5e-5, 270000);
             p.SetTransform("fx+f3(fy), fy-0.2*fx");
             p.SetOption(OPT_TRMODE, TRMODE_USER);
         },
         false, false, true},
        {"polar dots, on two threads", 300,
         [&](CProject& p, CAnimationStep& s) {
             Curve(p, s, 1, "1/cos(2*x)"), Sweep(s, 0, 2.1e-5, 300000);
             p.SetOption(OPT_TRMODE, TRMODE_POLAR);
             s.m_bConnect = false;
         },
         false, false, true},
        {"two points per sample, dotted, and a second step", 300,
         [&](CProject& p, CAnimationStep& s) {
             Curve(p, s, 1, "cos(x), sin(x), 2*cos(x), 2*sin(3*x)"), Sweep(s, 0, 1e-4, 70000);
             s.m_bConnect = false;
             auto pNext = std::make_unique<CAnimationStep>(s);
             pNext->m_nColor[0] = 9, pNext->m_bConnect = true, pNext->m_nCount[0] = 30000;
             p.InsertStep(std::move(pNext), nullptr);
         },
         false},
        {"steps showing different functions, a reference, poles", 300,
         [&](CProject& p, CAnimationStep& s) {
             Curve(p, s, 1, "1/(x-u)"), Curve(p, s, 2, "f1(x)+f1(x/2)", 9), Sweep(s, -5, 1e-4, 100000);
             s.m_dStep[1] = 1, s.m_nCount[1] = 2;
             p.SetFlag(FLAG_BREAKPOLES, true);
             Fixed(p, 5, 10);
             auto pNext = std::make_unique<CAnimationStep>(s);
             pNext->m_bVisible[0] = false, pNext->m_nWidth[1] = 3, pNext->m_nCount[1] = 0;
             p.InsertStep(std::move(pNext), nullptr);
         },
         true, true, true},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(c.pszName);
        QImage pictures[2];
        QByteArray svgs[2];
        uint64_t nOnePass = 0; // the lookups of one evaluation per sample
        for (int nJob = 0; nJob < 2; ++nJob) {
            CProject project;
            c.setUp(project, *project.m_pFirstStep);
            pictures[nJob] = QImage(c.nPixels, 200, QImage::Format_RGB32);
            if (nJob == 0) {
                // The range walk, where there is one, and the drawing each evaluate every sample.
                const uint64_t nRange = (CViewRange::Range(project), Lookups(project));
                QPainter painter(&pictures[0]);
                PaintEverySample(project, painter, c.nPixels, 200, false);
                painter.end();
                nOnePass = std::max(nRange, Lookups(project) - 2 * nRange);
                svgs[0] =
                    Svg([&](QPainter& svg) { PaintEverySample(project, svg, c.nPixels, 200, true); }, c.nPixels, 200);
                continue;
            }
            EXPECT_EQ(CRangeTail::For(project, nullptr, CPicturePlan(project, true)) != nullptr, c.bTwoThreads);
            for (const bool bRaster : {true, false}) {
                SCOPED_TRACE(bRaster ? "raster" : "vector");
                CPictureJob job(project, bRaster, true);
                EXPECT_EQ(job.Plan().Summarised(), bRaster && c.bSummarised);
                EXPECT_TRUE(job.Plan().Logged());
                const uint64_t nBefore = Lookups(project);
                job.WalkAll();
                if (bRaster) {
                    QPainter painter(&pictures[1]);
                    CPictureExport::Paint(job, painter, c.nPixels, 200, false, nullptr);
                } else {
                    svgs[1] =
                        Svg([&](QPainter& svg) { CPictureExport::Paint(job, svg, c.nPixels, 200, true, nullptr); },
                            c.nPixels, 200);
                }
                // Nothing is evaluated twice; where poles break curves, a few probes are added.
                EXPECT_LE(Lookups(project) - nBefore, nOnePass + (c.bProbes ? job.Plan().Samples() / 20 : 0));
            }
        }
        ASSERT_EQ(pictures[0], pictures[1]);
        EXPECT_GT(SPicture::CountIn(pictures[0], RED), c.nPixels / 10);
        EXPECT_TRUE(svgs[0] == svgs[1]);
        EXPECT_GT(svgs[0].size(), 1000);
    }

    CProject project;
    project.m_pFirstStep->m_nCount[0] = 100000;
    project.m_pFirstStep->m_bVisible[0] = true;
    project.SetFunction(1, "sin(x)+random");
    EXPECT_FALSE(CPicturePlan(project, true).Summarised()); // drawn anew, random numbers come out different
    project.SetFunction(1, "sin(x), cos(x), x");
    EXPECT_FALSE(CPicturePlan(project, true).Summarised()); // more than one point per sample
    project.SetFunction(1, "sin(x)");
    EXPECT_TRUE(CPicturePlan(project, true).Summarised());
    EXPECT_FALSE(CPicturePlan(project, false).Summarised()); // a vector file keeps every segment
    project.m_pFirstStep->m_nCount[0] = 1000;
    EXPECT_FALSE(CPicturePlan(project, true).Summarised());
    EXPECT_TRUE(CPicturePlan(project, true).Logged());
    project.SetFunction(1, "sin(x)+random");
    EXPECT_FALSE(CPicturePlan(project, true).Logged());
    // A log beyond its bound: the drawing evaluates the samples that are not summed up again.
    project.SetFunction(1, "sin(x)");
    project.m_pFirstStep->m_nCount[0] = static_cast<uint32_t>(CPicturePlan::MAX_LOG_VALUES);
    EXPECT_FALSE(CPicturePlan(project, true).Logged());
    EXPECT_TRUE(CPicturePlan(project, true).Summarised());
}

// Frame names sort as the frames follow: frame-10000.png after frame-9999.png, not before frame-2000.png.
TEST(QtPicture, FrameNamesSortInTheirOrder)
{
    EXPECT_EQ(CPictureExport::FrameName(1, 3), "frame-0001.png"); // as ever below 10000
    EXPECT_EQ(CPictureExport::FrameName(9999, 9999), "frame-9999.png");
    for (const size_t nFrames : {size_t{10000}, size_t{123456}}) {
        std::vector<std::string> names;
        for (const size_t nFrame : {size_t{1}, size_t{2000}, size_t{9999}, size_t{10000}, nFrames})
            names.push_back(CPictureExport::FrameName(nFrame, nFrames));
        EXPECT_TRUE(std::is_sorted(names.begin(), names.end())) << names[0] << " " << names[3];
        EXPECT_EQ(names[0].size(), names.back().size());
    }
    EXPECT_EQ(CPictureExport::FrameName(10000, 10000), "frame-10000.png");
}

// Our PNG files read back as the pictures they were made of: odd sizes, noise that fills many
// data chunks, even stretches, and the pixel density.
TEST(QtPicture, PngFilesReadBackPixelForPixel)
{
    std::mt19937 random(7);
    for (const QSize size : {QSize(1, 1), QSize(3, 2), QSize(584, 387), QSize(1000, 300)}) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(WHITE);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                if (y % 7 == 0 || size.width() == 1000)
                    image.setPixel(x, y, random() & 0xFFFFFF);
        image.setDotsPerMeterX(3780);
        image.setDotsPerMeterY(2835);
        std::string szPng;
        ASSERT_TRUE(CPngWriter::Encode(reinterpret_cast<const uint32_t*>(image.constBits()), size.width(),
                                       size.height(), image.bytesPerLine() / 4, 3780, 2835, szPng));
        QImage read;
        ASSERT_TRUE(
            read.loadFromData(reinterpret_cast<const uchar*>(szPng.data()), static_cast<int>(szPng.size()), "PNG"))
            << size.width();
        EXPECT_EQ(read.convertToFormat(QImage::Format_RGB32), image) << size.width();
        EXPECT_EQ(read.dotsPerMeterX(), 3780);
        EXPECT_EQ(read.dotsPerMeterY(), 2835);
    }
}
