#pragma once
// The "Einstellungen" page: displayed ranges, scale, background, grid and the transformation.
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;
class CColorBox;
class CPageFrame;

class COptionsPage : public QWidget {
    Q_OBJECT
public:
    explicit COptionsPage(CPageFrame& frame);

    void FillOptionsPage();
    void ShowBackgroundColor();
    CColorBox* BackgroundColorBox() const { return m_pBackgroundColorBox; }

    void RangeEditChange();
    void GridEditChange();
    void FlagChange();
    void TransformBoxChange();
    void TransformEditChange();
    void BackgroundColorBoxMouseDown();

    QLineEdit* XminEdit;
    QLineEdit* XmaxEdit;
    QLineEdit* YminEdit;
    QLineEdit* YmaxEdit;
    QCheckBox* XAutoBox;
    QCheckBox* YAutoBox;
    QCheckBox* ProportionalBox;
    QCheckBox* PolesBox;
    QCheckBox* MarginBox;
    QCheckBox* FollowViewBox;
    QLineEdit* GridXEdit;
    QLineEdit* GridYEdit;
    QCheckBox* XGridBox;
    QCheckBox* YGridBox;
    QCheckBox* ShowAxisBox;
    QCheckBox* TransformGridBox;
    QCheckBox* AutoGridBox;
    QCheckBox* PiBox;
    QCheckBox* LegendBox;
    QCheckBox* DecimalCommaBox;
    QComboBox* TransformBox;
    QLineEdit* TransformEdit;

private:
    CPageFrame& m_Frame;
    CColorBox* m_pBackgroundColorBox;
};
