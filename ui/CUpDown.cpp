#include "ui/CUpDown.h"

#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

CUpDown::CUpDown(QLineEdit* pBuddy, int nMin, int nMax, int nIncrement, QWidget* pParent)
    : QWidget(pParent), m_pBuddy(pBuddy), m_nMin(nMin), m_nMax(nMax), m_nIncrement(nIncrement)
{
    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    for (const bool bUp : {true, false}) {
        auto* pButton = new QToolButton(this);
        pButton->setObjectName(bUp ? "Up" : "Down");
        pButton->setArrowType(bUp ? Qt::UpArrow : Qt::DownArrow);
        pButton->setAutoRepeat(true);
        pButton->setFocusPolicy(Qt::NoFocus);
        pButton->setFixedSize(16, std::max(10, pBuddy->sizeHint().height() / 2));
        connect(pButton, &QToolButton::clicked, this, [this, bUp] { StepBy(bUp ? 1 : -1); });
        pLayout->addWidget(pButton);
    }
}

void CUpDown::StepBy(int nSteps)
{
    bool bOk = false;
    long long nValue = m_pBuddy->text().trimmed().toLongLong(&bOk);
    if (!bOk)
        nValue = 0;
    nValue += static_cast<long long>(nSteps) * m_nIncrement;
    nValue = std::max<long long>(m_nMin, std::min<long long>(m_nMax, nValue));
    m_pBuddy->setText(QString::number(nValue));
}
