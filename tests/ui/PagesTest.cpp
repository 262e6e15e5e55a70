// The value table, clipboard copy, printing and the debug page.
#include <gtest/gtest.h>

#include <memory>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPaintEngine>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <QToolButton>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

#include "CWindowTest.h"
#include "project/CProject.h"
#include "ui/CDebugPage.h"
#include "ui/CFunctionsPage.h"
#include "ui/CGraphPrint.h"
#include "ui/COptionsPage.h"
#include "ui/CPrintOptions.h"
#include "ui/CStepEditors.h"
#include "ui/CWetaPage.h"
#include "ui/TMainForm.h"
#include "view/CFuncVars.h"

namespace {
class Pages : public CWindowTest {
protected:
    void SetUp() override
    {
        CWindowTest::SetUp();
        m_szDir = ScratchDirectory();
    }

    CProject& Document() const { return *m_pForm->m_pDocument; }
    CAnimationStep& Step() const { return *m_pForm->m_pCurrentStep; }
    void Show(QWidget* pPage) const { m_pForm->PageControl->setCurrentWidget(pPage); }
    QTableWidget* Grid() const { return m_pForm->WetaSheet->WetaGrid; }
    QString Cell(int nRow, int nColumn) const
    {
        const QTableWidgetItem* pItem = Grid()->item(nRow, nColumn);
        return pItem ? pItem->text() : QString();
    }
    QString Path(const char* pszName) const { return QString::fromStdString(m_szDir + "/" + pszName); }
    std::string ReadFile(const QString& szPath) const
    {
        std::ifstream file(szPath.toStdString(), std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    }
    void UsePdf(QPrinter& printer, const QString& szPath) const
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(szPath);
        printer.setResolution(600);
        printer.setPageSize(QPageSize(QPageSize::A4));
        printer.setPageOrientation(QPageLayout::Portrait);
        printer.setPageMargins(QMarginsF(0, 0, 0, 0));
    }

    std::string m_szDir;
};

// A page that keeps the texts drawn on it, with their places and colours.
class CTextPage : public QPaintDevice {
public:
    struct SText {
        QString m_szText;
        QPointF m_Point;
        QColor m_Color;
    };

    CTextPage(int nWidth, int nHeight, int nDpi) : m_nWidth(nWidth), m_nHeight(nHeight), m_nDpi(nDpi) {}
    QPaintEngine* paintEngine() const override { return &m_Engine; }
    // The texts that contain szPart.
    std::vector<SText> Find(const QString& szPart) const
    {
        std::vector<SText> found;
        for (const SText& text : m_Texts)
            if (text.m_szText.contains(szPart))
                found.push_back(text);
        return found;
    }

    std::vector<SText> m_Texts;

protected:
    int metric(PaintDeviceMetric eMetric) const override
    {
        switch (eMetric) {
        case PdmWidth: return m_nWidth;
        case PdmHeight: return m_nHeight;
        case PdmWidthMM: return static_cast<int>(m_nWidth * 25.4 / m_nDpi);
        case PdmHeightMM: return static_cast<int>(m_nHeight * 25.4 / m_nDpi);
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY: return m_nDpi;
        case PdmDepth: return 32;
        case PdmNumColors: return INT_MAX;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return static_cast<int>(QPaintDevice::devicePixelRatioFScale());
        }
        return 0;
    }

private:
    class CEngine : public QPaintEngine {
    public:
        explicit CEngine(CTextPage& page) : QPaintEngine(QPaintEngine::AllFeatures), m_Page(page) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        void updateState(const QPaintEngineState& changed) override
        {
            if (changed.state() & DirtyPen)
                m_Pen = changed.pen();
        }
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
        void drawPath(const QPainterPath&) override {}
        using QPaintEngine::drawPolygon;
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawTextItem(const QPointF& point, const QTextItem& item) override
        {
            m_Page.m_Texts.push_back({item.text(), point, m_Pen.color()});
        }
        Type type() const override { return QPaintEngine::User; }

    private:
        CTextPage& m_Page;
        QPen m_Pen;
    };

    int m_nWidth, m_nHeight, m_nDpi;
    mutable CEngine m_Engine{*this};
};

// The length of the run of pixels of colour around (x, y), along a column or a row.
int RunLength(const QImage& image, int x, int y, QRgb colour, bool bVertical)
{
    if (image.pixel(x, y) != colour)
        return 0;
    int n = 1;
    for (int d = -1; d <= 1; d += 2)
        for (int i = 1;; ++i) {
            const int px = bVertical ? x : x + d * i, py = bVertical ? y + d * i : y;
            if (px < 0 || py < 0 || px >= image.width() || py >= image.height() || image.pixel(px, py) != colour)
                break;
            ++n;
        }
    return n;
}
} // namespace

TEST_F(Pages, ValueTableOfTheCurrentStep)
{
    Document().SetFunction(1, "sqrt(x)");
    Step().m_bVisible[0] = true;
    Step().m_bVisible[4] = true; // a visible slot without a formula
    EXPECT_EQ(Grid()->columnCount(), 4);
    Show(m_pForm->WetaSheet);
    ASSERT_EQ(Grid()->columnCount(), 3);
    ASSERT_EQ(Grid()->rowCount(), 102);
    EXPECT_EQ(Cell(0, 0), "x,t");
    EXPECT_EQ(Cell(0, 1), "f1");
    EXPECT_EQ(Cell(0, 2), "f5");
    EXPECT_EQ(Grid()->horizontalHeaderItem(1)->text(), "f1");
    EXPECT_TRUE(Grid()->isRowHidden(0)); // shown as the fixed header
    EXPECT_EQ(Cell(1, 0), "-10");
    EXPECT_EQ(Cell(1, 1), "?");
    EXPECT_EQ(Cell(101, 0), "10");
    EXPECT_EQ(Cell(101, 1), "3,1622777"); // a new document has the decimal comma
    EXPECT_EQ(Cell(101, 2), "?");
    EXPECT_FALSE(Grid()->item(5, 1)->flags() & Qt::ItemIsEditable);
    EXPECT_TRUE(m_pForm->CopyButton->isEnabled());
    EXPECT_EQ(m_pForm->WetaSheet->WetaInfo->text(), "Schritt 1 von 1: 101 Zeilen");

    // A snapshot: later edits show only after the page is entered again.
    Document().SetFunction(1, "x");
    EXPECT_EQ(Cell(101, 1), "3,1622777"); // a new document has the decimal comma
    Show(m_pForm->OptionsSheet);
    EXPECT_EQ(Grid()->columnCount(), 1);
    EXPECT_EQ(Grid()->rowCount(), 2);
    EXPECT_FALSE(m_pForm->CopyButton->isEnabled());

    // At most 1000 rows: x runs through its 101 values for each u in turn.
    Step().m_nCount[1] = 10;
    Step().m_dStep[1] = 1.0;
    Show(m_pForm->WetaSheet);
    ASSERT_EQ(Grid()->rowCount(), 1001);
    EXPECT_EQ(Cell(0, 1), "u");
    EXPECT_EQ(Cell(1000, 0), "8");
    EXPECT_EQ(Cell(1000, 1), "9");
    EXPECT_EQ(m_pForm->WetaSheet->WetaInfo->text(),
              "Schritt 1 von 1: 1000 von 1111 Zeilen gezeigt; die Tafel endet nach 1000 Zeilen.");

    // Without a current step the grid keeps what it has.
    Show(m_pForm->OptionsSheet);
    m_pForm->m_pCurrentStep = nullptr;
    Show(m_pForm->WetaSheet);
    EXPECT_EQ(Grid()->columnCount(), 1);
    EXPECT_EQ(Grid()->rowCount(), 2);
    EXPECT_TRUE(m_pForm->CopyButton->isEnabled());
}

TEST_F(Pages, ValueTableColumnsShowTheirValuesWhole)
{
    // Long values, a second step with a name: every text fits its column, and the page says
    // which step it shows.
    Document().SetFunction(1, "sin(x)/1000");
    Document().SetFunction(2, "-x/3000000");
    CAnimationStep* pSecond = Document().InsertStep(std::make_unique<CAnimationStep>(), nullptr);
    pSecond->SetName("Zweiter");
    pSecond->SetMin(0, -0.0247712345);
    pSecond->m_bVisible[0] = pSecond->m_bVisible[1] = true;
    m_pForm->FunctionsSheet->FillStepsBox();
    m_pForm->FunctionsSheet->SelectStep(1);
    ASSERT_EQ(m_pForm->m_pCurrentStep, pSecond);
    Show(m_pForm->WetaSheet);
    ASSERT_EQ(Grid()->columnCount(), 3);
    const QFontMetrics metrics(Grid()->font());
    for (int c = 0; c < 3; ++c)
        for (int r = 1; r < Grid()->rowCount(); ++r)
            ASSERT_GT(Grid()->columnWidth(c), metrics.horizontalAdvance(Cell(r, c)) + 4) << Cell(r, c).toStdString();
    EXPECT_EQ(Cell(1, 0), "-0,024771234");
    EXPECT_EQ(m_pForm->WetaSheet->WetaInfo->text(),
              QString::fromUtf8("Schritt 2 von 2 \xE2\x80\x9EZweiter\xE2\x80\x9C: 101 Zeilen"));
    Show(m_pForm->OptionsSheet);
    EXPECT_EQ(m_pForm->WetaSheet->WetaInfo->text(), "");
}

TEST_F(Pages, ValueTableSavedAsCsvWithEveryValueAndTheDecimalSign)
{
    // A point of two values shows both, in the window as in the file; the box "Dezimalkomma"
    // sets the decimal sign and with it the separator.
    Document().SetFunction(1, "x/4, 1/x");
    Step().m_nCount[0] = 2;
    Step().m_dStep[0] = 10.0;
    Step().m_bVisible[0] = true;
    Document().SetFlag(FLAG_XAUTO, false);
    Document().SetOption(OPT_XMIN, -2.5);
    m_pForm->OptionsSheet->FillOptionsPage();
    Show(m_pForm->OptionsSheet);
    ASSERT_TRUE(m_pForm->OptionsSheet->DecimalCommaBox->isChecked());
    EXPECT_EQ(m_pForm->OptionsSheet->XminEdit->text(), "-2,5");
    Show(m_pForm->WetaSheet);
    ASSERT_EQ(Grid()->columnCount(), 3);
    EXPECT_EQ(Grid()->horizontalHeaderItem(2)->text(), "f1 (2)");
    EXPECT_EQ(Cell(1, 1), "-2,5");
    EXPECT_EQ(Cell(1, 2), "-0,1");
    EXPECT_EQ(Cell(2, 2), "?"); // 1/0: the whole point is undefined
    ASSERT_TRUE(m_pForm->WetaSheet->SaveCsvButton->isEnabled());
    m_pDialogs->m_szSaveName = Path("tafel.csv");
    m_pForm->WetaSheet->SaveCsvButton->click();
    EXPECT_EQ(m_pDialogs->m_Proposed.value(0), "Wertetafel.csv");
    EXPECT_EQ(ReadFile(Path("tafel.csv")), "x,t;f1 (1);f1 (2)\r\n-10;-2,5;-0,1\r\n0;;\r\n10;2,5;0,1\r\n");
    EXPECT_EQ(m_pForm->StatusBar1Panel->text(), "Wertetafel gespeichert: " + Path("tafel.csv"));

    Show(m_pForm->OptionsSheet);
    EXPECT_FALSE(m_pForm->WetaSheet->SaveCsvButton->isEnabled());
    m_pForm->OptionsSheet->DecimalCommaBox->click();
    EXPECT_FALSE(Document().m_nFlags & 1u << FLAG_DECIMALCOMMA);
    EXPECT_EQ(m_pForm->OptionsSheet->XminEdit->text(), "-2.5");
    EXPECT_EQ(Document().m_dOptions[OPT_XMIN], -2.5);
    Show(m_pForm->WetaSheet);
    EXPECT_EQ(Cell(1, 1), "-2.5");
    Show(m_pForm->FunctionsSheet); // the range cells follow
    EXPECT_EQ(m_pForm->FunctionsSheet->StepEditors()->VariablesBox()->item(1, 3)->text(), "10");
    Step().m_dStep[0] = 0.5;
    Show(m_pForm->OptionsSheet);
    m_pForm->OptionsSheet->DecimalCommaBox->click();
    Show(m_pForm->FunctionsSheet);
    EXPECT_EQ(m_pForm->FunctionsSheet->StepEditors()->VariablesBox()->item(1, 3)->text(), "0,5");
    Show(m_pForm->OptionsSheet);
    m_pForm->OptionsSheet->DecimalCommaBox->click();
    Step().m_dStep[0] = 10.0;
    Show(m_pForm->WetaSheet);
    // The columns in the order shown, as the copy takes them.
    Grid()->horizontalHeader()->moveSection(2, 0);
    ASSERT_TRUE(m_pForm->WetaSheet->SaveCsv(Path("tafel.csv")));
    EXPECT_EQ(ReadFile(Path("tafel.csv")), "f1 (2),\"x,t\",f1 (1)\r\n-0.1,-10,-2.5\r\n,0,\r\n0.1,10,2.5\r\n");

    // A file that cannot be written is said so, and what was there stays whole.
    ASSERT_EQ(::chmod(m_szDir.c_str(), 0500), 0);
    const bool bRoot = ::access(m_szDir.c_str(), W_OK) == 0; // root writes anyway
    if (!bRoot) {
        EXPECT_FALSE(m_pForm->WetaSheet->SaveCsv(Path("tafel.csv")));
        ASSERT_EQ(m_pDialogs->m_Warnings.size(), 1);
        EXPECT_TRUE(m_pDialogs->m_Warnings[0].startsWith("Fehler beim Speichern von " + Path("tafel.csv")))
            << m_pDialogs->m_Warnings[0].toStdString();
        EXPECT_EQ(ReadFile(Path("tafel.csv")).substr(0, 7), "f1 (2),");
    }
    ::chmod(m_szDir.c_str(), 0700);
    // A folder in the file's place is refused.
    ASSERT_EQ(::mkdir((m_szDir + "/folder.csv").c_str(), 0700), 0);
    EXPECT_FALSE(m_pForm->WetaSheet->SaveCsv(Path("folder.csv")));
    EXPECT_EQ(m_pDialogs->m_Warnings.size(), bRoot ? 1 : 2);
}

TEST_F(Pages, TableAndFormulasAsClipboardText)
{
    Document().SetFunction(1, "x*x");
    Document().SetFunction(3, "  sin(x)");
    Step().m_bVisible[0] = true;
    Show(m_pForm->FunctionsSheet);
    m_pForm->CopyButton->click();
    EXPECT_EQ(QApplication::clipboard()->text(), "f1: x*x\r\nf3: sin(x)\r\n");

    Show(m_pForm->WetaSheet);
    m_pForm->CopyButton->click();
    const QString szTable = QApplication::clipboard()->text();
    EXPECT_TRUE(szTable.startsWith("x,t\tf1\r\n-10\t100\r\n-9,8\t96,04\r\n")); // as shown: a comma
    EXPECT_TRUE(szTable.endsWith("10\t100\r\n"));
    EXPECT_EQ(szTable.count("\r\n"), 102);
    EXPECT_EQ(szTable.count('\n'), 102);
    // Columns the user moved are copied as they are shown.
    Grid()->horizontalHeader()->moveSection(1, 0);
    m_pForm->CopyButton->click();
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith("f1\tx,t\r\n100\t-10\r\n"));
    // Entering again puts them back.
    Show(m_pForm->FunctionsSheet);
    Show(m_pForm->WetaSheet);
    m_pForm->CopyButton->click();
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith("x,t\tf1\r\n"));

    Show(m_pForm->FunctionsSheet);
    Document().SetFunction(1, "");
    Document().SetFunction(3, "");
    QApplication::clipboard()->setText("alt");
    m_pForm->CopyButton->click();
    EXPECT_EQ(QApplication::clipboard()->text(), "");

    Show(m_pForm->NotesSheet);
    QTextEdit* pNotes = m_pForm->NotesSheet->NotesEdit;
    pNotes->setPlainText("eins zwei drei");
    QTextCursor cursor = pNotes->textCursor();
    cursor.setPosition(5);
    cursor.setPosition(9, QTextCursor::KeepAnchor);
    pNotes->setTextCursor(cursor);
    m_pForm->CopyButton->click();
    EXPECT_EQ(QApplication::clipboard()->text(), "zwei");
    QApplication::clipboard()->setText(" und");
    m_pForm->PasteButton->click();
    EXPECT_EQ(pNotes->toPlainText(), "eins  und drei");
}

TEST_F(Pages, GraphIsCopiedAsFarAsItIsDrawn)
{
    Document().SetFunction(1, "sin(x)");
    Step().m_bVisible[0] = true;
    Step().m_nSpeed = 1000; // a sample a second: the drawing has hardly begun
    Show(m_pForm->GraphicsSheet);
    ASSERT_NE(m_pForm->GraphicsSheet->DrawVars(), nullptr);
    m_pForm->CopyButton->click();
    const QImage copied = QApplication::clipboard()->image();
    ASSERT_FALSE(copied.isNull());
    EXPECT_EQ(copied.size(), m_pForm->GraphicsSheet->PaintBoxSize());
    EXPECT_EQ(copied.convertToFormat(QImage::Format_RGB32),
              m_pForm->GraphicsSheet->Picture().convertToFormat(QImage::Format_RGB32));

    Step().m_nSpeed = 0;
    for (int i = 0; i < 1000 && m_pForm->GraphicsSheet->DrawVars(); ++i)
        m_pForm->GraphicsSheet->PaintTimerEvent();
    ASSERT_EQ(m_pForm->GraphicsSheet->DrawVars(), nullptr);
    EXPECT_NE(copied.convertToFormat(QImage::Format_RGB32),
              m_pForm->GraphicsSheet->Picture().convertToFormat(QImage::Format_RGB32));
}

TEST_F(Pages, PrintLayoutKeepsTheMarginAndTheScreenProportions)
{
    const QSize box(584, 387);
    const SPrintLayout portrait = CGraphPrint::Layout(600, 600, 4960, 7016, false, box);
    EXPECT_EQ(portrait.m_nLeft, 472);
    EXPECT_EQ(portrait.m_nTop, 0);
    EXPECT_EQ(portrait.m_nWidth, 4488);
    EXPECT_EQ(portrait.m_nHeight, 2974);
    // Landscape: the margin at the top, by the vertical resolution.
    const SPrintLayout landscape = CGraphPrint::Layout(600, 300, 7016, 4960, true, box);
    EXPECT_EQ(landscape.m_nLeft, 0);
    EXPECT_EQ(landscape.m_nTop, 236);
    EXPECT_EQ(landscape.m_nWidth, 7016);
    EXPECT_EQ(landscape.m_nHeight, 4649);
    // A surface taller than the page's proportions: the height is what limits.
    const SPrintLayout tall = CGraphPrint::Layout(600, 600, 4960, 7016, false, QSize(100, 400));
    EXPECT_EQ(tall.m_nWidth, 1754);
    EXPECT_EQ(tall.m_nHeight, 7016);
    // A page smaller than the margin and a surface without size print nothing harmful.
    const SPrintLayout tiny = CGraphPrint::Layout(600, 600, 100, 100, false, QSize(0, 0));
    EXPECT_EQ(tiny.m_nWidth, 0);
    EXPECT_EQ(tiny.m_nHeight, 0);

    // On a PDF page at 600 dpi through the printer itself.
    Document().SetFunction(1, "x");
    Step().m_bVisible[0] = true;
    SetFixedView(Document());
    QPrinter printer(QPrinter::HighResolution);
    UsePdf(printer, Path("graph.pdf"));
    SPrintLayout layout;
    ASSERT_TRUE(CGraphPrint::Print(printer, Document(), nullptr, box, &layout));
    EXPECT_EQ(layout.m_nLeft, 472);
    EXPECT_EQ(layout.m_nWidth, printer.width() - 472);
    EXPECT_EQ(layout.m_nHeight, static_cast<int>(layout.m_nWidth / (584.0 / 387.0)));
    EXPECT_GT(printer.width(), 4900); // A4 without margins
    EXPECT_EQ(ReadFile(Path("graph.pdf")).compare(0, 5, "%PDF-"), 0);
}

TEST_F(Pages, PrintedPageCarriesTheTitleAndTheFormulasWhenAsked)
{
    Document().SetFunction(1, "sin(x)");
    Document().SetFunction(2, "x^2"); // drawn by no step: not on paper either
    Document().SetFunction(3, "2*x");
    Step().m_bVisible[0] = Step().m_bVisible[2] = true;
    Step().m_nColor[0] = 12; // red
    Step().m_nColor[2] = 15; // white, which paper cannot show
    SetFixedView(Document());
    Document().SetFlag(FLAG_LEGEND, false); // its texts are the picture's
    const std::vector<SPrintCaptions::SLine> formulas = CGraphPrint::VisibleFormulas(Document());
    ASSERT_EQ(formulas.size(), 2u);
    EXPECT_EQ(formulas[0].m_szText, "f1: sin(x)");
    EXPECT_EQ(formulas[0].m_nColor, 0x0000FFu);
    EXPECT_EQ(formulas[1].m_szText, "f3: 2*x");

    const QSize box(584, 387);
    const auto Print = [&](CTextPage& page, const SPrintCaptions& captions, bool bLandscape) {
        QPainter painter(&page);
        return CGraphPrint::DrawPage(Document(), painter, bLandscape, box, captions, nullptr, true, nullptr);
    };
    // A4 at 300 dpi. Without captions the page is as it always was.
    CTextPage plain(2480, 3508, 300);
    const SPrintLayout without = Print(plain, {}, false);
    const SPrintLayout expected = CGraphPrint::Layout(300, 300, 2480, 3508, false, box);
    EXPECT_EQ(std::tie(without.m_nLeft, without.m_nTop, without.m_nWidth, without.m_nHeight),
              std::tie(expected.m_nLeft, expected.m_nTop, expected.m_nWidth, expected.m_nHeight));
    EXPECT_TRUE(plain.Find("f1:").empty());

    SPrintCaptions captions;
    captions.m_szTitle = "Kurvenschar";
    captions.m_Formulas = formulas;
    CTextPage page(2480, 3508, 300);
    const SPrintLayout with = Print(page, captions, false);
    // The title above the picture, which moves down for it and keeps its size.
    const auto title = page.Find("Kurvenschar");
    ASSERT_EQ(title.size(), 1u);
    EXPECT_GT(with.m_nTop, 0);
    EXPECT_LT(title[0].m_Point.y(), with.m_nTop);
    EXPECT_EQ(with.m_nWidth, without.m_nWidth);
    EXPECT_EQ(with.m_nHeight, without.m_nHeight);
    // The formulas beneath it, in order, in their colours, black where the colour is too light.
    const auto f1 = page.Find("f1: sin(x)"), f3 = page.Find("f3: 2*x");
    ASSERT_EQ(f1.size(), 1u);
    ASSERT_EQ(f3.size(), 1u);
    EXPECT_TRUE(page.Find("f2").empty());
    EXPECT_GT(f1[0].m_Point.y(), with.m_nTop + with.m_nHeight);
    EXPECT_GT(f3[0].m_Point.y(), f1[0].m_Point.y());
    EXPECT_LT(f3[0].m_Point.y(), 3508);
    EXPECT_GE(f1[0].m_Point.x(), with.m_nLeft);
    EXPECT_EQ(f1[0].m_Color, QColor(255, 0, 0));
    EXPECT_EQ(f3[0].m_Color, QColor(Qt::black));

    // Landscape, fifty formulas: the picture keeps half of the page at least, the rest are counted.
    captions.m_Formulas.assign(50, formulas[0]);
    CTextPage wide(3508, 2480, 300);
    const SPrintLayout landscape = Print(wide, captions, true);
    const auto counted = wide.Find(QString::fromUtf8("\xE2\x80\xA6 und "));
    ASSERT_EQ(counted.size(), 1u);
    const size_t nShown = wide.Find("f1: sin(x)").size();
    EXPECT_EQ(counted[0].m_szText, QString::fromUtf8("\xE2\x80\xA6 und ") + QString::number(50 - nShown) + " weitere");
    EXPECT_GT(nShown, 5u);
    EXPECT_GE(landscape.m_nHeight, (2480 - landscape.m_nTop) / 2);
    EXPECT_LT(counted[0].m_Point.y(), 2480);
}

TEST_F(Pages, PaperCurvesAreTwiceAsWideAndFollowTheScreen)
{
    Document().SetFunction(1, "x*0+2");
    Document().SetFunction(2, "x*0-2");
    Step().m_bVisible[0] = Step().m_bVisible[1] = true;
    Step().m_nColor[0] = 12; // red
    Step().m_nColor[1] = 9;  // blue
    Step().m_nWidth[1] = 3;
    SetFixedView(Document());
    const QRgb red = qRgb(255, 0, 0), blue = qRgb(0, 0, 255), black = qRgb(0, 0, 0);
    const auto Print = [this](const CFuncVars* pScreenJob) {
        QImage image(400, 200, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        CGraphPrint::Draw(Document(), painter, {0, 0, 400, 200}, pScreenJob, false, nullptr);
        return image;
    };
    const QImage paper = Print(nullptr);
    EXPECT_EQ(RunLength(paper, 30, 60, red, true), 2);   // y = 2: width 1 doubled
    EXPECT_EQ(RunLength(paper, 30, 140, blue, true), 6); // y = -2: width 3 doubled
    // The y axis stays one pixel wide.
    int nAxis = 0;
    for (int y = 0; y < 200; ++y)
        if (paper.pixel(200, y) == black && paper.pixel(199, y) != black && paper.pixel(201, y) != black)
            ++nAxis;
    EXPECT_GT(nAxis, 150);
    EXPECT_EQ(paper.pixel(30, 100), black);
    EXPECT_NE(paper.pixel(30, 99), black);
    EXPECT_NE(paper.pixel(30, 101), black);

    // A screen drawing half way through: the paper shows the same half.
    CFuncVars screen;
    screen.SetupView(&Document(), Document().m_pFirstStep, 400, 200, 0, 0);
    for (int i = 0; i < 50; ++i)
        screen.Advance();
    const QImage half = Print(&screen);
    EXPECT_EQ(half.pixel(100, 60), red);
    EXPECT_EQ(half.pixel(190, 60), red);
    EXPECT_NE(half.pixel(210, 60), red);
    EXPECT_NE(half.pixel(300, 140), blue);
}

TEST_F(Pages, PrintButtonOnTheGraphAndTheNotes)
{
    Document().SetFunction(1, "x");
    Step().m_bVisible[0] = true;
    UsePdf(m_pForm->Printer(), Path("graph.pdf"));
    Show(m_pForm->GraphicsSheet);
    ASSERT_TRUE(m_pForm->PrintButton->isEnabled());
    m_pForm->PrintButton->click(); // the print dialog cancelled
    EXPECT_EQ(m_pDialogs->m_nPrintSetups, 1);
    EXPECT_TRUE(ReadFile(Path("graph.pdf")).empty());
    m_pDialogs->m_bPrint = true;
    m_pForm->PrintButton->click();
    EXPECT_EQ(ReadFile(Path("graph.pdf")).compare(0, 5, "%PDF-"), 0);
    EXPECT_EQ(m_pForm->StatusText().contains("Fehler"), false);

    // The notes print through the dialog too, titled with the last name chosen to open, and say
    // where they went.
    std::ofstream(Path("titel.kvx").toStdString()) << "notes\nZu drucken\n";
    m_pDialogs->m_szOpenName = Path("titel.kvx");
    m_pForm->FileOpenButtonClick();
    ASSERT_EQ(m_pForm->PageControl->currentWidget(), m_pForm->NotesSheet);
    m_pForm->Printer().setOutputFileName(Path("notes.pdf"));
    m_pForm->PrintButton->click();
    EXPECT_EQ(m_pDialogs->m_nPrintSetups, 3);
    EXPECT_EQ(m_pForm->Printer().docName(), Path("titel.kvx"));
    EXPECT_EQ(ReadFile(Path("notes.pdf")).compare(0, 5, "%PDF-"), 0);
    EXPECT_EQ(m_pForm->StatusText(), "Notizen gedruckt in " + Path("notes.pdf"));
}

TEST_F(Pages, PrintPreviewDrawsWhatIsPrintedWithTheChosenCaptions)
{
    Document().SetFunction(1, "x");
    Step().m_bVisible[0] = true;
    UsePdf(m_pForm->Printer(), Path("preview.pdf"));
    // Nothing to preview where nothing prints.
    EXPECT_FALSE(m_pForm->PrintPreviewAction->isEnabled());
    Show(m_pForm->GraphicsSheet);
    ASSERT_TRUE(m_pForm->PrintPreviewAction->isEnabled());
    m_pForm->PrintPreviewAction->trigger();
    EXPECT_EQ(m_pDialogs->m_nPreviews, 1);
    EXPECT_TRUE(m_pDialogs->m_bPrintOptions);
    EXPECT_EQ(ReadFile(Path("preview.pdf")).compare(0, 5, "%PDF-"), 0);

    // The captions follow the options, which the window keeps, not the document.
    QSettings().setValue(CPrintOptions::TITLE_KEY, false);
    QSettings().setValue(CPrintOptions::FORMULAS_KEY, false);
    SPrintCaptions captions = m_pForm->PrintCaptions();
    EXPECT_TRUE(captions.m_szTitle.isEmpty());
    EXPECT_TRUE(captions.m_Formulas.empty());
    CPrintOptions options;
    options.TitleBox->setChecked(true);
    options.FormulasBox->setChecked(true);
    EXPECT_TRUE(QSettings().value(CPrintOptions::TITLE_KEY).toBool());
    captions = m_pForm->PrintCaptions();
    EXPECT_EQ(captions.m_szTitle, "Unbenannt");
    ASSERT_EQ(captions.m_Formulas.size(), 1u);
    EXPECT_EQ(captions.m_Formulas[0].m_szText, "f1: x");
    m_pDialogs->m_szSaveName = Path("Parabel.kvx");
    ASSERT_TRUE(m_pForm->FileSaveButtonClick());
    EXPECT_EQ(m_pForm->PrintCaptions().m_szTitle, "Parabel");
    EXPECT_EQ(ReadFile(Path("Parabel.kvx")).find("Print"), std::string::npos);
    options.TitleBox->setChecked(false);
    options.FormulasBox->setChecked(false);

    // On the notes page the notes are previewed, without the graph's options.
    Show(m_pForm->NotesSheet);
    m_pForm->Printer().setOutputFileName(Path("notes.pdf"));
    m_pForm->PrintPreviewAction->trigger();
    EXPECT_EQ(m_pDialogs->m_nPreviews, 2);
    EXPECT_FALSE(m_pDialogs->m_bPrintOptions);
    EXPECT_EQ(ReadFile(Path("notes.pdf")).compare(0, 5, "%PDF-"), 0);
}

TEST_F(Pages, DebugPageShowsFunctionsCodeAndDependencies)
{
    Document().SetFunction(1, "x*2");
    Document().SetFunction(2, "x+f1");
    Document().SetFunction(3, "f2");
    Document().SetFunction(7, "u+c");
    const std::string szDir = m_szDir;
    const char* pszTemp = std::getenv("TEMP");
    const char* pszTmpDir = std::getenv("TMPDIR");
    const std::string szOldTemp = pszTemp ? pszTemp : "", szOldTmpDir = pszTmpDir ? pszTmpDir : "";
    setenv("TEMP", szDir.c_str(), 1);
    Show(m_pForm->DebugSheet);
    CDebugPage* pPage = m_pForm->DebugSheet;
    QListWidget* pList = pPage->DebugFunctionSelect;
    ASSERT_EQ(pList->count(), 5);
    EXPECT_EQ(pList->item(0)->text(), "Transformation");
    EXPECT_EQ(pList->item(3)->text(), "f3");
    EXPECT_EQ(pList->item(4)->text(), "f7");
    // The dump is the project file, and writing it keeps the changes unsaved.
    EXPECT_TRUE(Document().m_bModified);
    EXPECT_TRUE(pPage->DebugProjectDump->toPlainText().contains("f2=x+f1\n"));
    EXPECT_FALSE(pPage->DebugProjectDump->toPlainText().contains('\r'));
    EXPECT_NE(ReadFile(QString::fromStdString(CDebugPage::DumpPath())).find("f3=f2"), std::string::npos);

    pList->setCurrentRow(3);
    EXPECT_EQ(pPage->DebugDependencies->text(), "t f1 f2 ");
    // The statistics in German, one figure a line.
    EXPECT_EQ(pPage->DebugCacheStat->text().split('\n')[0].section(' ', 1), "Treffer");
    EXPECT_EQ(pPage->DebugCacheStat->text().section('\n', 1, 4).remove(QRegularExpression("[0-9.]+ ")),
              QString::fromUtf8("Fehlzugriffe\nEintr\xC3\xA4ge\nl\xC3\xA4ngste Kette\nmittlere Kettenl\xC3\xA4nge"));
    EXPECT_FALSE(pPage->DebugCodeView->toPlainText().isEmpty());
    pList->setCurrentRow(4);
    EXPECT_EQ(pPage->DebugDependencies->text(), "u c ");
    // No transformation: statistics and code empty, the dependencies stay.
    pList->setCurrentRow(0);
    EXPECT_EQ(pPage->DebugCacheStat->text(), "");
    EXPECT_EQ(pPage->DebugCodeView->toPlainText(), "");
    EXPECT_EQ(pPage->DebugDependencies->text(), "u c ");
    Document().SetTransform("fx*2,fy");
    pList->setCurrentRow(1);
    pList->setCurrentRow(0);
    EXPECT_EQ(pPage->DebugDependencies->text(), "a b ");

    // Without TEMP the dump goes to TMPDIR, in a folder of the program's own there: a link to the
    // user's file planted under the dump's name, there or in that folder, is not followed.
    unsetenv("TEMP");
    setenv("TMPDIR", szDir.c_str(), 1);
    std::ofstream(szDir + "/thesis.txt") << "Kapitel 1";
    ASSERT_EQ(symlink((szDir + "/thesis.txt").c_str(), (szDir + "/dump.kvd").c_str()), 0);
    const std::string szDump = CDebugPage::DumpPath();
    const std::string szFolder = szDump.substr(0, szDump.rfind('/'));
    EXPECT_EQ(szFolder.substr(0, szFolder.rfind('/')), szDir);
    EXPECT_EQ(szDump.substr(szDump.rfind('/')), "/dump.kvd");
    struct stat info;
    ASSERT_EQ(lstat(szFolder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode) && (info.st_mode & 0777) == 0700 && info.st_uid == geteuid());
    for (int nVisit = 0; nVisit < 2; ++nVisit) {
        Show(m_pForm->FunctionsSheet);
        Show(m_pForm->DebugSheet);
        EXPECT_NE(ReadFile(QString::fromStdString(szDump)).find("f7=u+c"), std::string::npos);
        EXPECT_EQ(ReadFile(QString::fromStdString(szDir + "/thesis.txt")), "Kapitel 1");
        ASSERT_EQ(lstat(szDump.c_str(), &info), 0);
        EXPECT_TRUE(S_ISREG(info.st_mode));
        std::remove(szDump.c_str());
        ASSERT_EQ(symlink((szDir + "/thesis.txt").c_str(), szDump.c_str()), 0);
    }
    EXPECT_EQ(CDebugPage::DumpPath(), szDump); // the same folder while it lasts
    unsetenv("TMPDIR");
    EXPECT_EQ(CDebugPage::DumpPath().substr(0, 12), "/tmp/kurvix-");
    EXPECT_NE(access(szFolder.c_str(), F_OK), 0); // the old folder went with its base
    setenv("TEMP", (szDir + "/missing").c_str(), 1);
    Show(m_pForm->FunctionsSheet);
    Show(m_pForm->DebugSheet);
    EXPECT_EQ(pPage->DebugProjectDump->toPlainText(), "");
    EXPECT_EQ(m_pForm->StatusText(), "Fehler beim Speichern");
    EXPECT_TRUE(Document().m_bModified);
    if (pszTemp)
        setenv("TEMP", szOldTemp.c_str(), 1);
    else
        unsetenv("TEMP");
    if (pszTmpDir)
        setenv("TMPDIR", szOldTmpDir.c_str(), 1);
}

TEST_F(Pages, DebugPageIsGermanAndFollowsTheDocument)
{
    Document().SetFunction(1, "x*2");
    Document().SetFunction(2, "f1+u");
    Show(m_pForm->DebugSheet);
    CDebugPage* pPage = m_pForm->DebugSheet;
    QStringList captions;
    for (const QLabel* pLabel : pPage->findChildren<QLabel*>())
        if (pLabel != pPage->DebugCacheStat && pLabel != pPage->DebugDependencies)
            captions << pLabel->text();
    captions.sort();
    EXPECT_EQ(captions.join("|"), QString::fromUtf8("Abh\xC3\xA4ngigkeiten:|Cache-Statistik:|Kompilierter Code:|"
                                                    "Projekt, wie es gespeichert wird:"));
    pPage->DebugFunctionSelect->setCurrentRow(2);
    EXPECT_EQ(pPage->DebugDependencies->text(), "t u f1 ");

    // Neu while the page is shown: the new document's list, no text of the old one.
    m_pForm->FileNewButtonClick(); // the scripted prompt says Nein
    EXPECT_EQ(pPage->DebugFunctionSelect->count(), 1);
    EXPECT_EQ(pPage->DebugDependencies->text(), "");
    EXPECT_EQ(pPage->DebugCodeView->toPlainText(), "");
    EXPECT_FALSE(pPage->DebugProjectDump->toPlainText().contains("f1="));

    // An opened document fills it anew, and the entry looked at is shown as it is there.
    pPage->DebugFunctionSelect->setCurrentRow(0);
    std::ofstream(Path("d.kvx").toStdString()) << "f1=v\n";
    ASSERT_TRUE(m_pForm->OpenProject(Path("d.kvx")));
    m_pForm->PageControl->setCurrentWidget(pPage);
    ASSERT_EQ(pPage->DebugFunctionSelect->count(), 2);
    EXPECT_TRUE(pPage->DebugProjectDump->toPlainText().startsWith("f1=v\n"));
    pPage->DebugFunctionSelect->setCurrentRow(1);
    EXPECT_EQ(pPage->DebugDependencies->text(), "v ");
    m_pForm->RefreshAllViews();
    EXPECT_EQ(pPage->DebugDependencies->text(), "v ");
}
