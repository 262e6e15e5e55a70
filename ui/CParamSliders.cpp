#include "ui/CParamSliders.h"

#include <QGridLayout>
#include <QLabel>
#include <QSlider>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <algorithm>
#include <string>

#include "project/CAnimationStep.h"
#include "project/CShownNumber.h"
#include "render/CPictureJob.h"
#include "view/CSweepPlan.h"

namespace {
const char* const g_pszNames[3] = {"x", "u", "v"};
// A slider's range is an int: a sweep of more members shows the first ones.
constexpr uint32_t MAX_POSITIONS = 1u << 30;
} // namespace

CParamSliders::CParamSliders(QWidget* pParent) : QWidget(pParent)
{
    setObjectName("ParamSliders");
    auto* pGrid = new QGridLayout(this);
    pGrid->setContentsMargins(6, 2, 6, 2);
    pGrid->setVerticalSpacing(2);
    for (unsigned v = 1; v <= 2; ++v) {
        auto* pPlay = new QToolButton(this);
        pPlay->setObjectName(v == 1 ? "UPlayButton" : "VPlayButton");
        pPlay->setCheckable(true);
        pPlay->setAutoRaise(true);
        pPlay->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
        pPlay->setToolTip(QString("%1 durchlaufen (Esc h\u00E4lt an)").arg(g_pszNames[v]));
        auto* pSlider = new QSlider(Qt::Horizontal, this);
        pSlider->setObjectName(v == 1 ? "USlider" : "VSlider");
        pSlider->setMinimum(0);
        pSlider->setPageStep(1);
        pSlider->setToolTip(
            QString("Ganz links: alle Kurven der Schar; sonst nur die zu einem Wert von %1").arg(g_pszNames[v]));
        auto* pLabel = new QLabel(this);
        pLabel->setObjectName(v == 1 ? "ULabel" : "VLabel");
        pLabel->setMinimumWidth(fontMetrics().horizontalAdvance("u = -0.00000000e-000"));
        const int nRow = static_cast<int>(v) - 1;
        pGrid->addWidget(pPlay, nRow, 0);
        pGrid->addWidget(pSlider, nRow, 1);
        pGrid->addWidget(pLabel, nRow, 2);
        connect(pSlider, &QSlider::valueChanged, this, [this, v] { SliderChange(v); });
        connect(pPlay, &QToolButton::clicked, this, [this, v] { PlayClick(v); });
        (v == 1 ? USlider : VSlider) = pSlider;
        (v == 1 ? UPlayButton : VPlayButton) = pPlay;
        (v == 1 ? ULabel : VLabel) = pLabel;
    }
    pGrid->setColumnStretch(1, 1);
    PlayTimer = new QTimer(this);
    PlayTimer->setObjectName("PlayTimer");
    connect(PlayTimer, &QTimer::timeout, this, &CParamSliders::PlayTick);
    Refresh();
}

void CParamSliders::SetStep(const CAnimationStep* pStep, bool bDecimalComma)
{
    m_bComma = bDecimalComma;
    const bool bSame =
        pStep == m_pStep && pStep && pStep->m_nCount[1] == m_nCount[1] && pStep->m_nCount[2] == m_nCount[2];
    m_pStep = pStep;
    if (!bSame) {
        Stop();
        const QSignalBlocker blockU(USlider);
        const QSignalBlocker blockV(VSlider);
        USlider->setValue(0);
        VSlider->setValue(0);
    }
    for (unsigned i = 0; i < 3; ++i) {
        m_nCount[i] = pStep ? pStep->m_nCount[i] : 0;
        m_dMin[i] = pStep ? pStep->m_dMin[i] : 0.0;
        m_dStep[i] = pStep ? pStep->m_dStep[i] : 0.0;
    }
    m_nSpeed = pStep ? pStep->m_nSpeed : 0;
    Refresh();
}

void CParamSliders::Refresh()
{
    bool bAny = false;
    for (unsigned v = 1; v <= 2; ++v) {
        const bool bShown = m_nCount[v] > 0;
        bAny = bAny || bShown;
        QSlider* pSlider = Slider(v);
        {
            const QSignalBlocker block(pSlider);
            // Position 0 is "alle", position k + 1 member k.
            pSlider->setMaximum(bShown ? static_cast<int>(std::min(m_nCount[v], MAX_POSITIONS - 1) + 1) : 0);
        }
        pSlider->setVisible(bShown);
        (v == 1 ? UPlayButton : VPlayButton)->setVisible(bShown);
        QLabel* pLabel = v == 1 ? ULabel : VLabel;
        pLabel->setVisible(bShown);
        const int64_t nMember = Member(v);
        const std::string szValue =
            nMember == ALL
                ? std::string()
                : CShownNumber::Format(CSweepPlan::MemberValue(m_dMin[v], m_dStep[v], static_cast<uint32_t>(nMember)),
                                       m_bComma);
        pLabel->setText(nMember == ALL ? QString("%1: alle").arg(g_pszNames[v])
                                       : QString("%1 = %2").arg(g_pszNames[v], QString::fromStdString(szValue)));
    }
    setVisible(bAny);
}

int64_t CParamSliders::Member(unsigned nVariable) const
{
    if (!m_pStep || nVariable < 1 || nVariable > 2 || m_nCount[nVariable] == 0)
        return ALL;
    const int nPosition = Slider(nVariable)->value();
    return nPosition <= 0 ? ALL : int64_t{nPosition} - 1;
}

void CParamSliders::SelectMembers(CPictureJob& job) const
{
    if (!m_pStep)
        return;
    for (unsigned v = 1; v <= 2; ++v) {
        if (Member(v) != ALL)
            job.SelectMember(*m_pStep, v, static_cast<uint32_t>(Member(v)));
    }
}

void CParamSliders::SliderChange(unsigned nVariable)
{
    (void)nVariable;
    Refresh();
    emit Changed();
}

int CParamSliders::Interval(uint32_t nSpeed, uint32_t nCountX)
{
    const double dMember = double(nSpeed) * (double(nCountX) + 1.0);
    return static_cast<int>(std::clamp(dMember, double(MIN_INTERVAL), double(INT32_MAX)));
}

void CParamSliders::PlayClick(unsigned nVariable)
{
    if (m_nPlaying == nVariable || !m_pStep) {
        Stop();
        return;
    }
    Stop();
    m_nPlaying = nVariable;
    (nVariable == 1 ? UPlayButton : VPlayButton)->setChecked(true);
    (nVariable == 1 ? UPlayButton : VPlayButton)->setIcon(style()->standardIcon(QStyle::SP_MediaPause));
    PlayTick(); // the next member at once
    PlayTimer->start();
}

void CParamSliders::PlayTick()
{
    if (!m_nPlaying || m_nCount[m_nPlaying] == 0) {
        Stop();
        return;
    }
    PlayTimer->setInterval(Interval(m_nSpeed, m_nCount[0])); // the pace may have been changed
    QSlider* pSlider = Slider(m_nPlaying);
    // Through the members and round again; "alle" is left out.
    pSlider->setValue(pSlider->value() >= pSlider->maximum() ? 1 : pSlider->value() + 1);
}

void CParamSliders::Stop()
{
    PlayTimer->stop();
    m_nPlaying = 0;
    for (QToolButton* pButton : {UPlayButton, VPlayButton}) {
        pButton->setChecked(false);
        pButton->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    }
}

bool CParamSliders::Playing() const
{
    return m_nPlaying != 0;
}
