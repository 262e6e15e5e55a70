#pragma once
// The "Funktionen" page: the functions grid, compiled at every keystroke, with the style samples
// of the current step in its label cells; below it the variables and animation-steps editors;
// beside them, in a splitter, the graph of the selected step (which a view setting hides).
#include <QStringList>
#include <QWidget>
#include <vector>

class QSplitter;
class QTableWidget;
class CFunctionsGraph;
class CGridDelegate;
class CStepEditors;
class CPageFrame;

class CFunctionsPage : public QWidget {
    Q_OBJECT
public:
    explicit CFunctionsPage(CPageFrame& frame);

    QTableWidget* FunctionsGrid() const { return m_pFunctionsGrid; }
    CStepEditors* StepEditors() const { return m_pStepEditors; }
    QTableWidget* VariablesBox() const;
    CFunctionsGraph* Graph() const { return m_pGraph; }
    QSplitter* Splitter() const { return m_pSplitter; }

    // "Grafik neben den Funktionen": the graph beside the formulas, or the page as it always was.
    void ShowGraph(bool bShow);
    bool GraphShown() const;
    // The page is shown, or left.
    void FunctionsSheetEnter();
    void FunctionsSheetExit();

    // What a newcomer reads in the empty grid: a grey example in f1's cell and, in the status
    // line, how to begin.
    static constexpr const char* EXAMPLE_TEXT = "z. B. sin(x)";
    // The QSettings key of the splitter's division.
    static constexpr const char* SPLITTER_KEY = "Window/FunctionsSplitter";
    static constexpr int MIN_GRAPH_WIDTH = 160;
    static constexpr const char* FIRST_STEP_HINT = "Formel eingeben, z. B. x^2 \u2013 die Grafik erscheint rechts";

    // bKeepFailing: the document changed under the grid (undo, redo), and a row whose typed text
    // did not compile keeps it, red, as long as the document holds nothing for that row: undo
    // never takes away text that is not in the document.
    void FillFunctionsGrid(bool bKeepFailing = false);
    void FillStepsBox();
    void SelectStep(int nPosition);
    void WriteVariablesHeadings();
    void FormResize();

    void FunctionsGridSetEditText(int nColumn, int nRow, const QString& szText);
    // The page is shown: the formula cell of the row edited last (f1 at first) is current and has
    // the keyboard, so that typing goes into it.
    void FocusFormula();
    // The message of a row whose typed text did not compile, else empty. Such a row keeps its
    // text in the grid, drawn red, while the document holds nothing for it.
    QString FormulaError(int nRow) const;
    // The hints on a row's formula (CFuncHints), joined, else empty: it is stored and drawn, but
    // may not say what it seems to. Shown as the cell's tooltip and, after an edit, in the status
    // line.
    QString FormulaHint(int nRow) const;
    // The names ("f4") of the functions whose typed text is not in the document.
    QStringList FailingFunctions() const;
    // Any mouse button; true when the click opened the style menu (or was in the label column).
    bool FunctionsGridMouseDown(const QPoint& pos);

protected:
    bool eventFilter(QObject* pObject, QEvent* pEvent) override;
    void showEvent(QShowEvent* pEvent) override;

private:
    void SetError(int nRow, const QString& szMessage);
    // The hints of the row's own text anew (all rows: -1), and those of every row's references,
    // which change with the functions they name.
    void UpdateHints(int nEditedRow);
    // A formula is being typed that does not compile: the graph keeps what it shows.
    bool TypingBrokenFormula() const;

    CPageFrame& m_Frame;
    QTableWidget* m_pFunctionsGrid;
    CGridDelegate* m_pDelegate;
    CStepEditors* m_pStepEditors;
    QSplitter* m_pSplitter;
    CFunctionsGraph* m_pGraph;
    bool m_bDivided = false;              // the splitter has its division
    std::vector<QString> m_Errors;        // per row
    std::vector<QStringList> m_TextHints; // per row: of the text itself
    std::vector<QString> m_Hints;         // per row: all, joined
    int m_nLastRow = 0;                   // the row edited last
    // Per row: nothing has been typed since the cell was last empty, so the first formula that
    // compiles is new and is shown at once.
    std::vector<bool> m_bNew;
};
