#pragma once
// An up-down spinner attached to an edit field: steps the field's number within a range, without
// wrapping around; the field itself stays free for typing.
#include <QWidget>

class QLineEdit;
class QToolButton;

class CUpDown : public QWidget {
    Q_OBJECT
public:
    CUpDown(QLineEdit* pBuddy, int nMin, int nMax, int nIncrement, QWidget* pParent);

    int Minimum() const { return m_nMin; }
    int Maximum() const { return m_nMax; }
    int Increment() const { return m_nIncrement; }
    void StepBy(int nSteps);

private:
    QLineEdit* m_pBuddy;
    int m_nMin;
    int m_nMax;
    int m_nIncrement;
};
