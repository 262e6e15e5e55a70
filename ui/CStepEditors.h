#pragma once
// The lower part of the "Funktionen" page: the ranges of x, u, v of the current step, its other
// fields, and the list of animation steps with the buttons that insert, delete and move them.
#include <QFrame>
#include <QString>

class QCheckBox;
class QLineEdit;
class QTableWidget;
class QToolButton;
class CAnimationStep;
class CGridDelegate;
class CUpDown;
class CPageFrame;

class CStepEditors : public QWidget {
    Q_OBJECT
public:
    CStepEditors(CPageFrame& frame, QWidget* pParent);

    QTableWidget* VariablesBox() const { return m_pVariablesBox; }
    QTableWidget* StepsBox() const { return m_pStepsBox; }

    void WriteVariablesHeadings();
    void FillStepsBox();
    void SelectStep(int nPosition);
    void FillStepEditors();
    // The range cells again where the document's decimal sign changed since they were written.
    void FollowDecimalSign();
    void FormResize();

    void StepsBoxClick();
    void StepsBoxSetEditText(int nRow, const QString& szText);
    void InsertStepButtonClick();
    void DeleteStepButtonClick();
    void MoveStepUpButtonClick();
    void MoveStepDownButtonClick();
    void VariablesBoxSetEditText(int nColumn, int nRow, const QString& szText);
    // Why the value cell's typed text was refused (it then stays in the cell, red), else empty.
    QString CellError(int nRow, int nColumn) const;
    void SameRangeBoxClick();
    void ConnectPointsBoxClick();
    void SpeedEditChange();
    void WaitEditChange();

    QCheckBox* SameRangeBox;
    QCheckBox* ConnectPointsBox;
    QLineEdit* SpeedEdit;
    CUpDown* SpeedUpDown;
    QLineEdit* WaitEdit;
    CUpDown* WaitUpDown;
    QToolButton* InsertStepButton;
    QToolButton* DeleteStepButton;
    QToolButton* MoveStepUpButton;
    QToolButton* MoveStepDownButton;
    QToolButton* RunButton;

signals:
    // A step's editors were filled: the functions grid shows that step's styles.
    void StepShown();

private:
    QToolButton* AddStepButton(QWidget* pParent, const char* pszName, const QString& szHint, int nIcon);
    void WriteRangeCells(int nRow, int nSkipColumn);
    static QString DefaultLabel(int nRow) { return "(" + QString::number(nRow + 1) + ")"; }
    QString StepLabel(int nRow) const;
    // A pacing field takes a whole number in its spinner's range; anything else is refused.
    void PacingEditChange(QLineEdit& edit, const CUpDown& upDown, const QString& szField,
                          uint32_t CAnimationStep::*pField);
    void SetCellError(int nRow, int nColumn, const QString& szMessage);

    CPageFrame& m_Frame;
    QTableWidget* m_pVariablesBox;
    QTableWidget* m_pStepsBox;
    bool m_bFillingSteps = false;
    bool m_bCommaShown = false; // the decimal sign of the range cells
    QString m_CellErrors[3][4]; // value cells, rows 1 ... 3, columns 1 ... 4
};
