#include "ui/CPrintOptions.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QSettings>

CPrintOptions::CPrintOptions(QWidget* pParent) : QWidget(pParent)
{
    setObjectName("PrintOptions");
    setWindowTitle("KURVIX"); // the tab's name in the print dialog
    TitleBox = new QCheckBox("Projektname als &Titel", this);
    TitleBox->setObjectName("PrintTitleBox");
    TitleBox->setChecked(Title());
    FormulasBox = new QCheckBox("&Formeln unter der Grafik", this);
    FormulasBox->setObjectName("PrintFormulasBox");
    FormulasBox->setChecked(Formulas());
    auto* pLayout = new QHBoxLayout(this);
    pLayout->addWidget(TitleBox);
    pLayout->addWidget(FormulasBox);
    pLayout->addStretch(1);
    for (auto [pBox, pszKey] : {std::pair(TitleBox, TITLE_KEY), std::pair(FormulasBox, FORMULAS_KEY)})
        connect(pBox, &QCheckBox::toggled, this, [this, pszKey = pszKey](bool bOn) {
            QSettings().setValue(pszKey, bOn);
            emit Changed();
        });
}

// Off until chosen: a printout is the graph alone, as it always was.
bool CPrintOptions::Title()
{
    return QSettings().value(TITLE_KEY, false).toBool();
}

bool CPrintOptions::Formulas()
{
    return QSettings().value(FORMULAS_KEY, false).toBool();
}
