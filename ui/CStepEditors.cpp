#include "ui/CStepEditors.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>
#include <limits>
#include <memory>
#include <tuple>

#include "project/CProject.h"
#include "project/CProjectLimits.h"
#include "project/CShownNumber.h"
#include "ui/CAnsi.h"
#include "ui/CEditGrid.h"
#include "ui/CFunctionsPage.h"
#include "ui/CGridDelegate.h"
#include "ui/CNumberField.h"
#include "ui/CPageFrame.h"
#include "ui/CToolIcons.h"
#include "ui/CUpDown.h"
#include "ui/CUpdateGuard.h"

namespace {
QString Number(const CProject& project, double dValue)
{
    return QString::fromStdString(CShownNumber::Format(project, dValue));
}

void ConfigureGrid(QTableWidget& grid, int nRowHeight)
{
    grid.horizontalHeader()->hide();
    grid.verticalHeader()->hide();
    grid.setShowGrid(false);
    grid.setSelectionMode(QAbstractItemView::SingleSelection);
    grid.setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                         QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    grid.setTabKeyNavigation(false);
    grid.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grid.verticalHeader()->setMinimumSectionSize(nRowHeight);
    grid.verticalHeader()->setDefaultSectionSize(nRowHeight);
    grid.horizontalHeader()->setMinimumSectionSize(1);
}

const char* const VARIABLE_NAMES[3] = {"x,t", "u", "v"};
const char* const VARIABLE_HEADINGS[4] = {"Min", "Max", "Schrittw.", "Anzahl"};

QString TooManySteps()
{
    return QString("Zu viele Animationsschritte (h\u00F6chstens %1)").arg(PROJECT_MAX_STEPS);
}

QString TooManySamples()
{
    return QString("Zu viele Werte (h\u00F6chstens %1 in allen Animationsschritten zusammen)").arg(PROJECT_MAX_SAMPLES);
}
} // namespace

CStepEditors::CStepEditors(CPageFrame& frame, QWidget* pParent) : QWidget(pParent), m_Frame(frame)
{
    const QFontMetrics metrics(font());

    auto* pBevel1 = new QFrame(this);
    pBevel1->setObjectName("Bevel1");
    pBevel1->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);

    m_pVariablesBox = new CEditGrid(4, 5, pBevel1);
    QTableWidget& vars = *m_pVariablesBox;
    vars.setObjectName("VariablesBox");
    const int nRowHeight = std::max(20, metrics.height() + 6);
    ConfigureGrid(vars, nRowHeight);
    vars.setFrameShape(QFrame::NoFrame);
    vars.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    vars.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    const int nNumber = metrics.horizontalAdvance("-1.2345678e-05") + 6;
    const int widths[5] = {std::max(20, metrics.horizontalAdvance("x,t") + 6), std::max(59, nNumber),
                           std::max(59, nNumber), std::max(58, nNumber),
                           std::max(63, metrics.horizontalAdvance("4294967295") + 6)};
    int nWidth = 0;
    for (int c = 0; c < 5; ++c) {
        vars.setColumnWidth(c, widths[c]);
        nWidth += widths[c];
    }
    vars.setFixedSize(nWidth, 4 * nRowHeight + 1);
    auto* pVarsDelegate = new CGridDelegate(frame, CGridDelegate::VariablesBox, &vars);
    pVarsDelegate->SetEditTextHandler(
        [this](int nRow, int nColumn, const QString& szText) { VariablesBoxSetEditText(nColumn, nRow, szText); });
    pVarsDelegate->SetCellErrorHandler([this](int nRow, int nColumn) { return CellError(nRow, nColumn); });
    // Escape takes back the cell's text, not what reached the step meanwhile: the row shows the
    // values in effect.
    connect(pVarsDelegate, &QAbstractItemDelegate::closeEditor, this,
            [this](QWidget*, QAbstractItemDelegate::EndEditHint hint) {
                const int nRow = m_pVariablesBox->currentRow();
                if (hint == QAbstractItemDelegate::RevertModelCache && nRow >= 1 && nRow <= 3 &&
                    m_Frame.CurrentStep()) {
                    const CUpdateGuard guard(m_Frame);
                    WriteRangeCells(nRow, 0);
                }
            });
    vars.setItemDelegate(pVarsDelegate);
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 5; ++c) {
            auto* pItem = new QTableWidgetItem;
            if (r == 0 || c == 0)
                pItem->setFlags(Qt::ItemIsEnabled);
            vars.setItem(r, c, pItem);
        }
    }

    SameRangeBox = new QCheckBox("Definitionsbereich wie vor", pBevel1);
    SameRangeBox->setObjectName("SameRangeBox");
    ConnectPointsBox = new QCheckBox("Punkte verbinden", pBevel1);
    ConnectPointsBox->setObjectName("ConnectPointsBox");
    SpeedEdit = new QLineEdit("0", pBevel1);
    SpeedEdit->setObjectName("SpeedEdit");
    SpeedUpDown = new CUpDown(SpeedEdit, 0, 1000, 10, pBevel1);
    SpeedUpDown->setObjectName("SpeedUpDown");
    WaitEdit = new QLineEdit("0", pBevel1);
    WaitEdit->setObjectName("WaitEdit");
    WaitUpDown = new CUpDown(WaitEdit, 0, 30, 1, pBevel1);
    WaitUpDown->setObjectName("WaitUpDown");
    const int nEditWidth = std::max(29, metrics.horizontalAdvance("10000") + 10);
    SpeedEdit->setFixedWidth(nEditWidth);
    WaitEdit->setFixedWidth(nEditWidth);

    auto* pFields = new QGridLayout;
    pFields->setContentsMargins(0, 0, 0, 0);
    pFields->setVerticalSpacing(2);
    pFields->addWidget(SameRangeBox, 0, 0, 1, 3);
    pFields->addWidget(ConnectPointsBox, 1, 0, 1, 3);
    pFields->addWidget(new QLabel("Geschwindigkeit", pBevel1), 2, 0);
    for (const auto& [pEdit, pUpDown, nRow] :
         {std::tuple{SpeedEdit, SpeedUpDown, 2}, std::tuple{WaitEdit, WaitUpDown, 3}}) {
        auto* pPair = new QHBoxLayout;
        pPair->setSpacing(0);
        pPair->addWidget(pEdit);
        pPair->addWidget(pUpDown);
        pPair->addStretch(1);
        pFields->addLayout(pPair, nRow, 1);
    }
    pFields->addWidget(new QLabel("Wartezeit", pBevel1), 3, 0);
    pFields->setColumnStretch(2, 1);
    pFields->setRowStretch(4, 1);

    auto* pBevel1Layout = new QHBoxLayout(pBevel1);
    pBevel1Layout->setContentsMargins(8, 5, 4, 5);
    pBevel1Layout->setSpacing(16);
    pBevel1Layout->addWidget(m_pVariablesBox, 0, Qt::AlignTop);
    pBevel1Layout->addLayout(pFields);

    auto* pBevel2 = new QFrame(this);
    pBevel2->setObjectName("Bevel2");
    pBevel2->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    m_pStepsBox = new CEditGrid(1, 1, pBevel2);
    QTableWidget& steps = *m_pStepsBox;
    steps.setObjectName("StepsBox");
    ConfigureGrid(steps, std::max(16, metrics.height() + 2));
    steps.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    steps.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    steps.horizontalHeader()->setStretchLastSection(true);
    auto* pStepsDelegate = new CGridDelegate(frame, CGridDelegate::StepsBox, &steps);
    pStepsDelegate->SetEditTextHandler(
        [this](int nRow, int, const QString& szText) { StepsBoxSetEditText(nRow, szText); });
    pStepsDelegate->SetEditDoneHandler([this](int nRow, int) {
        // Once editing ends the row shows the name as stored (cut to its 39 characters).
        if (QTableWidgetItem* pItem = m_pStepsBox->item(nRow, 0)) {
            const CUpdateGuard guard(m_Frame);
            pItem->setText(StepLabel(nRow));
        }
    });
    steps.setItemDelegate(pStepsDelegate);
    connect(&steps, &QTableWidget::currentCellChanged, this, [this] { StepsBoxClick(); });

    auto* pButtons = new QHBoxLayout;
    pButtons->setContentsMargins(0, 0, 0, 0);
    pButtons->setSpacing(1);
    InsertStepButton =
        AddStepButton(pBevel2, "InsertStepButton", "Animationsschritt einf\u00FCgen", CToolIcons::InsertStep);
    DeleteStepButton =
        AddStepButton(pBevel2, "DeleteStepButton", "Animationsschritt l\u00F6schen", CToolIcons::DeleteStep);
    MoveStepUpButton = AddStepButton(pBevel2, "MoveStepUpButton", "Schritt nach oben schieben", CToolIcons::MoveUp);
    MoveStepDownButton =
        AddStepButton(pBevel2, "MoveStepDownButton", "Schritt nach unten schieben", CToolIcons::MoveDown);
    RunButton = AddStepButton(pBevel2, "RunButton", "Animation starten", CToolIcons::Run);
    for (QToolButton* pButton : {InsertStepButton, DeleteStepButton, MoveStepUpButton, MoveStepDownButton, RunButton})
        pButtons->addWidget(pButton);
    pButtons->addStretch(1);
    connect(InsertStepButton, &QToolButton::clicked, this, &CStepEditors::InsertStepButtonClick);
    connect(DeleteStepButton, &QToolButton::clicked, this, &CStepEditors::DeleteStepButtonClick);
    connect(MoveStepUpButton, &QToolButton::clicked, this, &CStepEditors::MoveStepUpButtonClick);
    connect(MoveStepDownButton, &QToolButton::clicked, this, &CStepEditors::MoveStepDownButtonClick);

    auto* pBevel2Layout = new QVBoxLayout(pBevel2);
    pBevel2Layout->setContentsMargins(4, 2, 4, 2);
    pBevel2Layout->setSpacing(1);
    pBevel2Layout->addWidget(new QLabel("Animation:", pBevel2));
    pBevel2Layout->addWidget(m_pStepsBox, 1);
    pBevel2Layout->addLayout(pButtons);
    pBevel2->setMinimumWidth(131);

    auto* pLayout = new QHBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(3);
    pLayout->addWidget(pBevel1, 0);
    pLayout->addWidget(pBevel2, 1);
    setFixedHeight(std::max(104, pBevel1->sizeHint().height()));

    connect(SameRangeBox, &QCheckBox::clicked, this, &CStepEditors::SameRangeBoxClick);
    connect(ConnectPointsBox, &QCheckBox::clicked, this, &CStepEditors::ConnectPointsBoxClick);
    connect(SpeedEdit, &QLineEdit::textChanged, this, &CStepEditors::SpeedEditChange);
    connect(WaitEdit, &QLineEdit::textChanged, this, &CStepEditors::WaitEditChange);

    setTabOrder(m_pVariablesBox, ConnectPointsBox);
    setTabOrder(ConnectPointsBox, m_pStepsBox);
    setTabOrder(m_pStepsBox, SameRangeBox);
    setTabOrder(SameRangeBox, SpeedEdit);
    setTabOrder(SpeedEdit, WaitEdit);
}

QToolButton* CStepEditors::AddStepButton(QWidget* pParent, const char* pszName, const QString& szHint, int nIcon)
{
    auto* pButton = new QToolButton(pParent);
    pButton->setObjectName(pszName);
    pButton->setToolTip(szHint);
    pButton->setAccessibleName(szHint);
    pButton->setAutoRaise(true);
    pButton->setIcon(CToolIcons::Make(static_cast<CToolIcons::EIcon>(nIcon)));
    pButton->setIconSize(QSize(16, 16));
    pButton->setFixedSize(23, 22);
    return pButton;
}

void CStepEditors::WriteVariablesHeadings()
{
    for (int c = 1; c <= 4; ++c)
        m_pVariablesBox->item(0, c)->setText(VARIABLE_HEADINGS[c - 1]);
    for (int r = 1; r <= 3; ++r)
        m_pVariablesBox->item(r, 0)->setText(VARIABLE_NAMES[r - 1]);
}

void CStepEditors::FormResize()
{
    m_pStepsBox->setColumnWidth(0, std::max(1, m_pStepsBox->viewport()->width()));
}

QString CStepEditors::StepLabel(int nRow) const
{
    const CAnimationStep* pStep = m_Frame.Document().m_pFirstStep;
    for (int i = 0; pStep && i < nRow; ++i)
        pStep = pStep->m_pNext;
    return pStep && pStep->m_szName[0] ? Ansi::ToQString(pStep->m_szName) : DefaultLabel(nRow);
}

void CStepEditors::FillStepsBox()
{
    int nCount = 0;
    for (const CAnimationStep* pStep = m_Frame.Document().m_pFirstStep; pStep; pStep = pStep->m_pNext)
        ++nCount;
    m_Frame.SetCurrentStep(nullptr);
    m_bFillingSteps = true;
    {
        const CUpdateGuard guard(m_Frame);
        m_pStepsBox->setRowCount(nCount);
        for (int i = 0; i < nCount; ++i)
            m_pStepsBox->setItem(i, 0, new QTableWidgetItem(StepLabel(i)));
    }
    m_bFillingSteps = false;
}

void CStepEditors::SelectStep(int nPosition)
{
    CAnimationStep* pStep = m_Frame.Document().m_pFirstStep;
    for (int i = 0; pStep && i < nPosition; ++i)
        pStep = pStep->m_pNext;
    m_Frame.SetCurrentStep(pStep);
    if (!pStep)
        nPosition = 0;
    if (m_pStepsBox->currentRow() != nPosition) {
        m_bFillingSteps = true;
        m_pStepsBox->setCurrentCell(nPosition, 0);
        m_bFillingSteps = false;
    }
    FillStepEditors();
}

void CStepEditors::WriteRangeCells(int nRow, int nSkipColumn)
{
    const CAnimationStep* pStep = m_Frame.CurrentStep();
    const unsigned v = static_cast<unsigned>(nRow - 1);
    const CProject& project = m_Frame.Document();
    m_bCommaShown = CShownNumber::Comma(project);
    const QString texts[5] = {QString(), Number(project, pStep->m_dMin[v]), Number(project, pStep->GetMax(v)),
                              Number(project, pStep->m_dStep[v]), QString::number(pStep->m_nCount[v])};
    for (int c = 1; c <= 4; ++c) {
        if (c != nSkipColumn) {
            m_pVariablesBox->item(nRow, c)->setText(texts[c]);
            SetCellError(nRow, c, QString()); // it shows the value in effect
        }
    }
}

void CStepEditors::FollowDecimalSign()
{
    if (!m_Frame.CurrentStep() || CShownNumber::Comma(m_Frame.Document()) == m_bCommaShown)
        return;
    const CUpdateGuard guard(m_Frame);
    for (int r = 1; r <= 3; ++r)
        WriteRangeCells(r, 0);
}

void CStepEditors::FillStepEditors()
{
    const CAnimationStep* pStep = m_Frame.CurrentStep();
    if (!pStep) {
        for (QWidget* pWidget : {static_cast<QWidget*>(m_pVariablesBox), static_cast<QWidget*>(SameRangeBox),
                                 static_cast<QWidget*>(ConnectPointsBox), static_cast<QWidget*>(SpeedEdit),
                                 static_cast<QWidget*>(WaitEdit)})
            pWidget->setEnabled(false);
        return;
    }
    const CUpdateGuard guard(m_Frame);
    emit StepShown();
    m_pVariablesBox->setEnabled(!pStep->m_bSameRange);
    for (int r = 1; r <= 3; ++r)
        WriteRangeCells(r, 0);
    const bool bNotFirst = pStep != m_Frame.Document().m_pFirstStep;
    SameRangeBox->setEnabled(bNotFirst);
    SameRangeBox->setChecked(pStep->m_bSameRange && bNotFirst);
    ConnectPointsBox->setEnabled(true);
    ConnectPointsBox->setChecked(pStep->m_bConnect);
    CNumberField::Mark(*SpeedEdit, QString());
    CNumberField::Mark(*WaitEdit, QString());
    SpeedEdit->setEnabled(true);
    SpeedEdit->setText(QString::number(pStep->m_nSpeed));
    WaitEdit->setEnabled(true);
    WaitEdit->setText(QString::number(pStep->m_nWait));
}

void CStepEditors::StepsBoxClick()
{
    if (m_bFillingSteps || m_pStepsBox->currentRow() < 0)
        return;
    SelectStep(m_pStepsBox->currentRow());
}

void CStepEditors::StepsBoxSetEditText(int nRow, const QString& szText)
{
    CAnimationStep* pStep = m_Frame.CurrentStep();
    if (m_Frame.IsUpdating() || !pStep || szText == DefaultLabel(nRow))
        return;
    const std::string szName = Ansi::FromQString(szText).substr(0, CAnimationStep::NAME_SIZE - 1);
    if (szName != pStep->m_szName) {
        m_Frame.Document().m_bModified = true;
        pStep->SetName(szName);
    }
}

void CStepEditors::InsertStepButtonClick()
{
    CAnimationStep* pStep = m_Frame.CurrentStep();
    if (!pStep)
        return;
    // A file with more steps or samples would not load again.
    CProject& project = m_Frame.Document();
    uint32_t nSteps = 0;
    for (const CAnimationStep* p = project.m_pFirstStep; p; p = p->m_pNext)
        ++nSteps;
    if (nSteps >= PROJECT_MAX_STEPS ||
        CProjectLimits::TotalSamples(project) + CProjectLimits::StepSamples(pStep->m_nCount) > PROJECT_MAX_SAMPLES) {
        m_Frame.ShowStatus(nSteps >= PROJECT_MAX_STEPS ? TooManySteps() : TooManySamples());
        return;
    }
    const int nRow = m_pStepsBox->currentRow();
    project.InsertStep(std::make_unique<CAnimationStep>(*pStep), pStep->m_pNext);
    FillStepsBox();
    SelectStep(nRow + 1);
}

void CStepEditors::DeleteStepButtonClick()
{
    CAnimationStep* pStep = m_Frame.CurrentStep();
    if (!pStep)
        return;
    const int nRow = m_pStepsBox->currentRow();
    CProject& project = m_Frame.Document();
    project.DeleteStep(pStep);
    m_Frame.SetCurrentStep(nullptr);
    if (!project.m_pFirstStep)
        project.InsertStep(std::make_unique<CAnimationStep>(), nullptr);
    FillStepsBox();
    SelectStep(nRow < m_pStepsBox->rowCount() ? nRow : nRow - 1);
}

void CStepEditors::MoveStepUpButtonClick()
{
    CAnimationStep* pStep = m_Frame.CurrentStep();
    if (!pStep || !pStep->m_pPrev)
        return;
    const int nRow = m_pStepsBox->currentRow();
    CAnimationStep* pPrev = pStep->m_pPrev;
    m_Frame.Document().MoveStep(pStep, pPrev);
    FillStepsBox();
    SelectStep(nRow - 1);
}

void CStepEditors::MoveStepDownButtonClick()
{
    CAnimationStep* pStep = m_Frame.CurrentStep();
    if (!pStep || !pStep->m_pNext)
        return;
    const int nRow = m_pStepsBox->currentRow();
    CAnimationStep* pAfter = pStep->m_pNext->m_pNext;
    m_Frame.Document().MoveStep(pStep, pAfter);
    FillStepsBox();
    SelectStep(nRow + 1);
}

void CStepEditors::VariablesBoxSetEditText(int nColumn, int nRow, const QString& szText)
{
    CAnimationStep* pStep = m_Frame.CurrentStep();
    if (!pStep || nColumn < 1 || nColumn > 4 || nRow < 1 || nRow > 3 || m_Frame.IsUpdating())
        return;
    const unsigned v = static_cast<unsigned>(nRow - 1);
    const QString szCell = QString(" (") + VARIABLE_NAMES[v] + ", " + VARIABLE_HEADINGS[nColumn - 1] + ")";
    // Refused text stays in the cell, red, and the step keeps its value.
    const auto Refuse = [&](const QString& szMessage) {
        SetCellError(nRow, nColumn, szMessage);
        m_Frame.ShowStatus(szMessage);
    };
    if (nColumn == 4) {
        // A count must fit its unsigned 32-bit field.
        int64_t nCount;
        if (!CNumberField::ReadWhole(szText, 0, std::numeric_limits<uint32_t>::max(), nCount))
            return Refuse(CNumberField::NotWhole(QString("Anzahl von ") + VARIABLE_NAMES[v], 0,
                                                 std::numeric_limits<uint32_t>::max(), szText));
        if (CProjectLimits::TotalSamplesWith(m_Frame.Document(), pStep, v, static_cast<uint32_t>(nCount)) >
            PROJECT_MAX_SAMPLES)
            return Refuse(TooManySamples());
        pStep->SetCount(v, static_cast<uint32_t>(nCount));
    } else {
        double x;
        if (!CNumberField::Read(szText, x))
            return Refuse(CNumberField::NotANumber(szText) + szCell);
        switch (nColumn) {
        case 1: pStep->SetMin(v, x); break;
        case 2: pStep->SetMax(v, x); break;
        case 3: pStep->SetStep(v, x); break;
        }
    }
    SetCellError(nRow, nColumn, QString());
    m_Frame.ShowStatus(QString());
    const CUpdateGuard guard(m_Frame);
    WriteRangeCells(nRow, nColumn);
}

void CStepEditors::SetCellError(int nRow, int nColumn, const QString& szMessage)
{
    QString& szError = m_CellErrors[nRow - 1][nColumn - 1];
    if (szError == szMessage)
        return;
    szError = szMessage;
    m_pVariablesBox->viewport()->update();
}

QString CStepEditors::CellError(int nRow, int nColumn) const
{
    if (nRow < 1 || nRow > 3 || nColumn < 1 || nColumn > 4)
        return QString();
    return m_CellErrors[nRow - 1][nColumn - 1];
}

void CStepEditors::SameRangeBoxClick()
{
    if (m_Frame.IsUpdating() || !m_Frame.CurrentStep())
        return;
    m_Frame.CurrentStep()->SetSameRange(SameRangeBox->isChecked());
    FillStepEditors();
}

void CStepEditors::ConnectPointsBoxClick()
{
    if (m_Frame.IsUpdating() || !m_Frame.CurrentStep())
        return;
    m_Frame.CurrentStep()->m_bConnect = ConnectPointsBox->isChecked();
    m_Frame.Document().m_bModified = true;
}

void CStepEditors::PacingEditChange(QLineEdit& edit, const CUpDown& upDown, const QString& szField,
                                    uint32_t CAnimationStep::*pField)
{
    CAnimationStep* pStep = m_Frame.CurrentStep();
    if (!pStep || m_Frame.IsUpdating())
        return;
    int64_t nValue;
    if (!CNumberField::ReadWhole(edit.text(), upDown.Minimum(), upDown.Maximum(), nValue)) {
        const QString szMessage = CNumberField::NotWhole(szField, upDown.Minimum(), upDown.Maximum(), edit.text());
        CNumberField::Mark(edit, szMessage);
        m_Frame.ShowStatus(szMessage);
        return;
    }
    CNumberField::Mark(edit, QString());
    m_Frame.ShowStatus(QString());
    if (static_cast<uint32_t>(nValue) != pStep->*pField) {
        pStep->*pField = static_cast<uint32_t>(nValue);
        m_Frame.Document().m_bModified = true;
    }
}

void CStepEditors::SpeedEditChange()
{
    PacingEditChange(*SpeedEdit, *SpeedUpDown, "Geschwindigkeit", &CAnimationStep::m_nSpeed);
}

void CStepEditors::WaitEditChange()
{
    PacingEditChange(*WaitEdit, *WaitUpDown, "Wartezeit", &CAnimationStep::m_nWait);
}
