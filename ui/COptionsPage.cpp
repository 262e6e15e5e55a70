#include "ui/COptionsPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QVBoxLayout>
#include <cmath>

#include "expr/CFuncHints.h"
#include "expr/EFuncError.h"
#include "project/CProject.h"
#include "project/CShownNumber.h"
#include "render/CQtCanvas.h"
#include "render/CRenderer.h"
#include "ui/CAnsi.h"
#include "ui/CColorBox.h"
#include "ui/CNumberField.h"
#include "ui/CPageFrame.h"
#include "ui/CUpdateGuard.h"

namespace {
QLineEdit* NumberEdit(const char* pszName, QWidget* pParent, int nMinWidth)
{
    auto* pEdit = new QLineEdit(pParent);
    pEdit->setObjectName(pszName);
    pEdit->setMinimumWidth(std::max(nMinWidth, pEdit->fontMetrics().horizontalAdvance("-1.2345678e-05") + 12));
    return pEdit;
}

QCheckBox* CheckBox(const char* pszName, const QString& szCaption, QWidget* pParent)
{
    auto* pBox = new QCheckBox(szCaption, pParent);
    pBox->setObjectName(pszName);
    return pBox;
}

// Reads the fields' numbers; each field that holds none is marked red with szPrefix and why.
// Returns the message of the first, or the empty text when all of them read.
template <size_t N> QString ReadFields(QLineEdit* const (&edits)[N], double (&dValues)[N], const QString& szPrefix)
{
    QString szFirst;
    for (size_t i = 0; i < N; ++i) {
        QString szMessage;
        if (!CNumberField::Read(edits[i]->text(), dValues[i]))
            szMessage = szPrefix + " " + CNumberField::NotANumber(edits[i]->text());
        CNumberField::Mark(*edits[i], szMessage);
        if (szFirst.isEmpty())
            szFirst = szMessage;
    }
    return szFirst;
}

// The transformation's fx and fy are a and b by design; only a decimal comma is worth a hint.
QString TransformHint(const std::string& szText)
{
    QStringList hints;
    for (const std::string& szHint : CFuncHints::DecimalCommas(szText))
        hints << Ansi::ToQString(szHint);
    return hints.join(". ");
}

QString Number(const CProject& project, double dValue)
{
    return QString::fromStdString(CShownNumber::Format(project, dValue));
}
} // namespace

COptionsPage::COptionsPage(CPageFrame& frame) : m_Frame(frame)
{
    setObjectName("OptionsSheet");

    auto* pGroup1 = new QGroupBox("Bildausschnitt", this);
    pGroup1->setObjectName("GroupBox1");
    XminEdit = NumberEdit("XminEdit", pGroup1, 81);
    XmaxEdit = NumberEdit("XmaxEdit", pGroup1, 81);
    YminEdit = NumberEdit("YminEdit", pGroup1, 81);
    YmaxEdit = NumberEdit("YmaxEdit", pGroup1, 81);
    XAutoBox = CheckBox("XAutoBox", "automatisch", pGroup1);
    YAutoBox = CheckBox("YAutoBox", "automatisch", pGroup1);
    ProportionalBox = CheckBox("ProportionalBox", "ma\u00DFstabsgerechte Darstellung", pGroup1);
    PolesBox = CheckBox("PolesBox", "Polstellen nicht verbinden", pGroup1);
    MarginBox = CheckBox("MarginBox", "automatisch mit 5 % Rand", pGroup1);
    FollowViewBox = CheckBox("FollowViewBox", "Kurven folgen der Ansicht", pGroup1);
    FollowViewBox->setToolTip("Funktionen von x werden \u00FCber den ganzen sichtbaren Bereich gezeichnet, auch "
                              "\u00FCber den Definitionsbereich hinaus; die Wertetabelle bleibt bei ihm.");
    m_pBackgroundColorBox = new CColorBox(pGroup1);
    m_pBackgroundColorBox->setObjectName("BackgroundColorBox");
    auto* pGrid1 = new QGridLayout(pGroup1);
    pGrid1->addWidget(new QLabel("X", pGroup1), 0, 0);
    pGrid1->addWidget(XminEdit, 0, 1);
    pGrid1->addWidget(XmaxEdit, 0, 2);
    pGrid1->addWidget(XAutoBox, 0, 3);
    pGrid1->addWidget(new QLabel("Y", pGroup1), 1, 0);
    pGrid1->addWidget(YminEdit, 1, 1);
    pGrid1->addWidget(YmaxEdit, 1, 2);
    pGrid1->addWidget(YAutoBox, 1, 3);
    pGrid1->addWidget(ProportionalBox, 2, 1, 1, 3);
    auto* pBackground = new QHBoxLayout;
    pBackground->addWidget(new QLabel("Hintergrundfarbe", pGroup1));
    pBackground->addWidget(m_pBackgroundColorBox);
    pBackground->addStretch(1);
    pGrid1->addLayout(pBackground, 3, 1, 1, 3);
    pGrid1->addWidget(PolesBox, 4, 1, 1, 3);
    pGrid1->addWidget(MarginBox, 5, 1, 1, 3);
    pGrid1->addWidget(FollowViewBox, 6, 1, 1, 3);

    auto* pGroup2 = new QGroupBox("Koordinatenraster", this);
    pGroup2->setObjectName("GroupBox2");
    GridXEdit = NumberEdit("GridXEdit", pGroup2, 57);
    GridYEdit = NumberEdit("GridYEdit", pGroup2, 57);
    XGridBox = CheckBox("XGridBox", "Gitter sichtbar", pGroup2);
    YGridBox = CheckBox("YGridBox", "Gitter sichtbar", pGroup2);
    ShowAxisBox = CheckBox("ShowAxisBox", "Achsen beschriften", pGroup2);
    TransformGridBox = CheckBox("TransformGridBox", "Gitter mit transformieren", pGroup2);
    AutoGridBox = CheckBox("AutoGridBox", "Gitterweite automatisch", pGroup2);
    PiBox = CheckBox("PiBox", "Vielfache von \u03C0", pGroup2);
    LegendBox = CheckBox("LegendBox", "Legende", pGroup2);
    auto* pGrid2 = new QGridLayout(pGroup2);
    pGrid2->addWidget(new QLabel("Gitterweite", pGroup2), 0, 0);
    pGrid2->addWidget(new QLabel("X", pGroup2), 0, 1);
    pGrid2->addWidget(GridXEdit, 0, 2);
    pGrid2->addWidget(XGridBox, 0, 3);
    pGrid2->addWidget(new QLabel("Y", pGroup2), 1, 1);
    pGrid2->addWidget(GridYEdit, 1, 2);
    pGrid2->addWidget(YGridBox, 1, 3);
    pGrid2->addWidget(ShowAxisBox, 2, 0, 1, 4);
    pGrid2->addWidget(TransformGridBox, 3, 0, 1, 4);
    pGrid2->addWidget(AutoGridBox, 4, 0, 1, 4);
    pGrid2->addWidget(PiBox, 5, 0, 1, 4);
    pGrid2->addWidget(LegendBox, 6, 0, 1, 4);

    auto* pGroup3 = new QGroupBox("Transformation", this);
    pGroup3->setObjectName("GroupBox3");
    TransformBox = new QComboBox(pGroup3);
    TransformBox->setObjectName("TransformBox");
    TransformBox->addItems({"keine", "Benutzerdefiniert", "Polarkoordinaten [ fy*cos(fx),fy*sin(fx) ]"});
    TransformEdit = new QLineEdit(pGroup3);
    TransformEdit->setObjectName("TransformEdit");
    auto* pBox3 = new QVBoxLayout(pGroup3);
    pBox3->addWidget(TransformBox);
    pBox3->addWidget(TransformEdit);

    auto* pGroup4 = new QGroupBox("Zahlen", this);
    pGroup4->setObjectName("GroupBox4");
    DecimalCommaBox = CheckBox("DecimalCommaBox", "Dezimalkomma", pGroup4);
    DecimalCommaBox->setToolTip("Zahlen in Feldern, Wertetafel, Listen, Achsen und CSV-Dateien mit Komma statt "
                                "Punkt; Formeln und die Projektdatei behalten den Punkt.");
    auto* pBox4 = new QVBoxLayout(pGroup4);
    pBox4->addWidget(DecimalCommaBox);

    auto* pTop = new QHBoxLayout;
    pTop->addWidget(pGroup1);
    pTop->addWidget(pGroup2);
    pTop->addStretch(1);
    auto* pMiddle = new QHBoxLayout;
    pMiddle->addWidget(pGroup3, 0);
    pMiddle->addWidget(pGroup4, 0);
    pMiddle->addStretch(1);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(8, 8, 8, 8);
    pLayout->addLayout(pTop);
    pLayout->addLayout(pMiddle);
    pLayout->addStretch(1);
    pGroup3->setMinimumWidth(pGroup1->sizeHint().width());

    for (QLineEdit* pEdit : {XminEdit, XmaxEdit, YminEdit, YmaxEdit})
        connect(pEdit, &QLineEdit::textChanged, this, &COptionsPage::RangeEditChange);
    for (QLineEdit* pEdit : {GridXEdit, GridYEdit})
        connect(pEdit, &QLineEdit::textChanged, this, &COptionsPage::GridEditChange);
    for (QCheckBox* pBox : {XAutoBox, YAutoBox, XGridBox, YGridBox, ShowAxisBox, TransformGridBox, ProportionalBox,
                            PolesBox, MarginBox, FollowViewBox, AutoGridBox, PiBox, LegendBox, DecimalCommaBox})
        connect(pBox, &QCheckBox::clicked, this, &COptionsPage::FlagChange);
    connect(TransformBox, &QComboBox::currentIndexChanged, this, &COptionsPage::TransformBoxChange);
    connect(TransformEdit, &QLineEdit::textChanged, this, &COptionsPage::TransformEditChange);
    m_pBackgroundColorBox->SetMouseDownHandler([this] { BackgroundColorBoxMouseDown(); });

    setTabOrder(XminEdit, XmaxEdit);
    setTabOrder(XmaxEdit, YminEdit);
    setTabOrder(YminEdit, YmaxEdit);
    setTabOrder(YmaxEdit, XAutoBox);
    setTabOrder(XAutoBox, YAutoBox);
    setTabOrder(YAutoBox, ProportionalBox);
    setTabOrder(ProportionalBox, PolesBox);
    setTabOrder(PolesBox, MarginBox);
    setTabOrder(MarginBox, FollowViewBox);
    setTabOrder(FollowViewBox, GridXEdit);
    setTabOrder(GridXEdit, GridYEdit);
    setTabOrder(GridYEdit, XGridBox);
    setTabOrder(XGridBox, ShowAxisBox);
    setTabOrder(ShowAxisBox, YGridBox);
    setTabOrder(YGridBox, TransformGridBox);
    setTabOrder(TransformGridBox, AutoGridBox);
    setTabOrder(AutoGridBox, PiBox);
    setTabOrder(PiBox, LegendBox);
    setTabOrder(LegendBox, TransformEdit);
    setTabOrder(TransformEdit, TransformBox);
    setTabOrder(TransformBox, DecimalCommaBox);
}

void COptionsPage::FillOptionsPage()
{
    const CProject& project = m_Frame.Document();
    const double* pOptions = project.m_dOptions;
    const uint32_t nFlags = project.m_nFlags;
    const CUpdateGuard guard(m_Frame);
    for (QLineEdit* pEdit : {XminEdit, XmaxEdit, YminEdit, YmaxEdit, GridXEdit, GridYEdit})
        CNumberField::Mark(*pEdit, QString()); // they show the document's values again
    XminEdit->setText(Number(project, pOptions[OPT_XMIN]));
    XmaxEdit->setText(Number(project, pOptions[OPT_XMAX]));
    XminEdit->setEnabled(!(nFlags & 1u << FLAG_XAUTO));
    XmaxEdit->setEnabled(!(nFlags & 1u << FLAG_XAUTO));
    XAutoBox->setChecked(nFlags & 1u << FLAG_XAUTO);
    YminEdit->setText(Number(project, pOptions[OPT_YMIN]));
    YmaxEdit->setText(Number(project, pOptions[OPT_YMAX]));
    YminEdit->setEnabled(!(nFlags & 1u << FLAG_YAUTO));
    YmaxEdit->setEnabled(!(nFlags & 1u << FLAG_YAUTO));
    YAutoBox->setChecked(nFlags & 1u << FLAG_YAUTO);
    GridXEdit->setText(Number(project, pOptions[OPT_XGRID]));
    GridYEdit->setText(Number(project, pOptions[OPT_YGRID]));
    // The distances typed are not used while the grid chooses its own.
    GridXEdit->setEnabled(!(nFlags & (1u << FLAG_AUTOGRID | 1u << FLAG_PILABELS)));
    GridYEdit->setEnabled(!(nFlags & 1u << FLAG_AUTOGRID));
    XGridBox->setChecked(nFlags & 1u << FLAG_XGRID);
    YGridBox->setChecked(nFlags & 1u << FLAG_YGRID);
    ShowAxisBox->setChecked(nFlags & 1u << FLAG_SHOWAXIS);
    TransformGridBox->setChecked(nFlags & 1u << FLAG_TRANSFORMGRID);
    ProportionalBox->setChecked(nFlags & 1u << FLAG_PROPORTIONAL);
    PolesBox->setChecked(nFlags & 1u << FLAG_BREAKPOLES);
    MarginBox->setChecked(nFlags & 1u << FLAG_RANGEMARGIN);
    FollowViewBox->setChecked(nFlags & 1u << FLAG_FOLLOWVIEW);
    AutoGridBox->setChecked(nFlags & 1u << FLAG_AUTOGRID);
    PiBox->setChecked(nFlags & 1u << FLAG_PILABELS);
    LegendBox->setChecked(nFlags & 1u << FLAG_LEGEND);
    DecimalCommaBox->setChecked(nFlags & 1u << FLAG_DECIMALCOMMA);
    ShowBackgroundColor();
    TransformEdit->setText(project.m_pTransform ? Ansi::ToQString(project.m_pTransform->GetText()) : QString());
    TransformEdit->setToolTip(project.m_pTransform ? TransformHint(project.m_pTransform->GetText()) : QString());
    TransformEdit->setEnabled(pOptions[OPT_TRMODE] == TRMODE_USER);
    const double dMode = std::trunc(pOptions[OPT_TRMODE]);
    TransformBox->setCurrentIndex(dMode >= 0 && dMode < TransformBox->count() ? static_cast<int>(dMode) : -1);
}

void COptionsPage::ShowBackgroundColor()
{
    const CProject& project = m_Frame.Document();
    const double dIndex = std::trunc(project.m_dOptions[OPT_BGCOLOR]);
    // An index from a file outside the palette shows as black rather than reading past it.
    const bool bInPalette = dIndex >= 0 && dIndex < project.m_nPaletteSize;
    m_pBackgroundColorBox->SetBrushColor(
        CQtCanvas::ToQColor(bInPalette ? project.m_pPalette[static_cast<int>(dIndex)] : 0));
}

void COptionsPage::RangeEditChange()
{
    if (m_Frame.IsUpdating())
        return;
    double dValues[4];
    QLineEdit* const edits[4] = {XminEdit, XmaxEdit, YminEdit, YmaxEdit};
    const QString szError = ReadFields(edits, dValues, "Ung\u00FCltiger Wertebereich!");
    if (!szError.isEmpty()) {
        m_Frame.ShowStatus(szError);
        return;
    }
    const double* pOptions = m_Frame.Document().m_dOptions;
    for (int i = 0; i < 4; ++i) {
        // A field that still shows the document's value, rounded to the digits shown, keeps
        // the value itself: an edit of one field must not round the other three.
        if (edits[i]->text() == Number(m_Frame.Document(), pOptions[OPT_XMIN + i]))
            dValues[i] = pOptions[OPT_XMIN + i];
    }
    for (unsigned i = 0; i < 4; ++i)
        m_Frame.Document().SetOption(OPT_XMIN + i, dValues[i]);
    m_Frame.ShowStatus(QString());
}

void COptionsPage::GridEditChange()
{
    if (m_Frame.IsUpdating())
        return;
    double dValues[2];
    QLineEdit* const edits[2] = {GridXEdit, GridYEdit};
    const QString szError = ReadFields(edits, dValues, "Ung\u00FCltige Gitter-Angaben!");
    if (!szError.isEmpty()) {
        m_Frame.ShowStatus(szError);
        return;
    }
    m_Frame.Document().SetOption(OPT_XGRID, dValues[0]);
    m_Frame.Document().SetOption(OPT_YGRID, dValues[1]);
    m_Frame.ShowStatus(QString());
}

void COptionsPage::FlagChange()
{
    if (m_Frame.IsUpdating())
        return;
    CProject& project = m_Frame.Document();
    project.SetFlag(FLAG_XAUTO, XAutoBox->isChecked());
    project.SetFlag(FLAG_YAUTO, YAutoBox->isChecked());
    project.SetFlag(FLAG_XGRID, XGridBox->isChecked());
    project.SetFlag(FLAG_YGRID, YGridBox->isChecked());
    project.SetFlag(FLAG_SHOWAXIS, ShowAxisBox->isChecked());
    project.SetFlag(FLAG_TRANSFORMGRID, TransformGridBox->isChecked());
    project.SetFlag(FLAG_PROPORTIONAL, ProportionalBox->isChecked());
    project.SetFlag(FLAG_BREAKPOLES, PolesBox->isChecked());
    project.SetFlag(FLAG_RANGEMARGIN, MarginBox->isChecked());
    project.SetFlag(FLAG_FOLLOWVIEW, FollowViewBox->isChecked());
    project.SetFlag(FLAG_AUTOGRID, AutoGridBox->isChecked());
    project.SetFlag(FLAG_PILABELS, PiBox->isChecked());
    project.SetFlag(FLAG_LEGEND, LegendBox->isChecked());
    project.SetFlag(FLAG_DECIMALCOMMA, DecimalCommaBox->isChecked());
    FillOptionsPage();
}

void COptionsPage::TransformBoxChange()
{
    if (m_Frame.IsUpdating())
        return;
    m_Frame.Document().SetOption(OPT_TRMODE, TransformBox->currentIndex());
    TransformEdit->setEnabled(m_Frame.Document().m_dOptions[OPT_TRMODE] == TRMODE_USER);
}

void COptionsPage::TransformEditChange()
{
    if (m_Frame.IsUpdating())
        return;
    const std::string szAnsi = Ansi::FromQString(TransformEdit->text(), Ansi::FORMULA_REPLACEMENT);
    try {
        m_Frame.Document().SetTransform(szAnsi.c_str());
        const QString szHint = TransformHint(szAnsi);
        TransformEdit->setToolTip(szHint);
        m_Frame.ShowStatus(szHint.isEmpty() ? QString() : "Hinweis zum Transformationsterm: " + szHint);
    } catch (const EFuncError& error) {
        m_Frame.ShowStatus(Ansi::ToQString(error.m_pszMessage) +
                           " in Transformationsterm bei: " + Ansi::Excerpt(TransformEdit->text(), error.m_nPosition));
    }
}

void COptionsPage::BackgroundColorBoxMouseDown()
{
    const int nMenuBar = QApplication::style()->pixelMetric(QStyle::PM_TitleBarHeight);
    m_Frame.PopupStyleMenu(m_pBackgroundColorBox, m_pBackgroundColorBox->mapToGlobal(QPoint(4, nMenuBar)));
}
