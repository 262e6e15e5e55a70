#pragma once
// What a printout of the graph carries beside it, chosen in the print dialog and the preview and
// remembered by the window (QSettings), not by the project: the project's name as the title and
// the formulas of the functions drawn.
#include <QWidget>

class QCheckBox;

class CPrintOptions : public QWidget {
    Q_OBJECT
public:
    explicit CPrintOptions(QWidget* pParent = nullptr);

    static bool Title();
    static bool Formulas();
    static constexpr const char* TITLE_KEY = "Print/Title";
    static constexpr const char* FORMULAS_KEY = "Print/Formulas";

    QCheckBox* TitleBox;
    QCheckBox* FormulasBox;

signals:
    // A box was switched; the choice is stored already.
    void Changed();
};
