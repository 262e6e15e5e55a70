#include "render/CPictureExport.h"

#include <QDir>
#include <QImage>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSvgGenerator>
#include <cstdio>

#include "project/CProject.h"
#include "render/CQtCanvas.h"
#include "render/CRenderer.h"
#include "view/CFuncVars.h"
#include "view/CViewRange.h"

namespace {
bool EndsWith(const std::string& szText, const char* pszEnd)
{
    const std::string szEnd = pszEnd;
    if (szText.size() < szEnd.size())
        return false;
    for (size_t i = 0; i < szEnd.size(); ++i) {
        const char c = szText[szText.size() - szEnd.size() + i];
        if ((c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c) != szEnd[i])
            return false;
    }
    return true;
}
}  // namespace

CPictureExport::EFormat CPictureExport::FormatOf(const std::string& szPath)
{
    if (EndsWith(szPath, ".png"))
        return EFormat::Png;
    if (EndsWith(szPath, ".svg"))
        return EFormat::Svg;
    if (EndsWith(szPath, ".pdf"))
        return EFormat::Pdf;
    return EFormat::Unknown;
}

bool CPictureExport::NothingToDraw(const CProject& project)
{
    const double* pOptions = project.m_dOptions;
    return pOptions[OPT_XMIN] == pOptions[OPT_XMAX] || pOptions[OPT_YMIN] == pOptions[OPT_YMAX];
}

void CPictureExport::Paint(CProject& project, QPainter& painter, int32_t nWidth, int32_t nHeight,
                           bool bVector, const std::function<bool()>& onStepDone)
{
    CQtCanvas canvas(painter, bVector);
    CRenderer::DrawBackground(project, canvas, nWidth, nHeight);
    CFuncVars grid;
    grid.SetupView(&project, project.m_pFirstStep, nWidth, nHeight, 0, 0);
    CRenderer::DrawGrid(grid, canvas);
    if (NothingToDraw(project)) {
        // The page draws no curves then; the steps still pass, each leaving the same picture.
        for (CAnimationStep* pStep = project.m_pFirstStep; pStep; pStep = pStep->m_pNext) {
            canvas.Flush();
            if (onStepDone && !onStepDone())
                return;
        }
        return;
    }
    CFuncVars vars;
    vars.SetupView(&project, project.m_pFirstStep, nWidth, nHeight, 0, 0);
    for (;;) {
        const CAnimationStep* pStep = vars.m_pStep;
        const bool bMore = CRenderer::DrawSample(vars, canvas, 1);
        if (vars.m_pStep != pStep && onStepDone) {
            canvas.Flush();
            if (!onStepDone())
                return;
        }
        if (!bMore)
            break;
    }
}

bool CPictureExport::Export(CProject& project, const std::string& szPath, int32_t nWidth,
                            int32_t nHeight, bool& bNothingToDraw)
{
    CViewRange::DetermineRange(project);
    bNothingToDraw = NothingToDraw(project);
    const QString szFile = QString::fromLocal8Bit(szPath.c_str());
    switch (FormatOf(szPath)) {
    case EFormat::Png: {
        QImage image(nWidth, nHeight, QImage::Format_RGB32);
        if (image.isNull())
            return false;
        {
            QPainter painter(&image);
            Paint(project, painter, nWidth, nHeight, false, nullptr);
        }
        return image.save(szFile, "PNG");
    }
    case EFormat::Svg: {
        QSvgGenerator svg;
        svg.setFileName(szFile);
        svg.setSize(QSize(nWidth, nHeight));
        svg.setViewBox(QRect(0, 0, nWidth, nHeight));
        svg.setTitle("KURVIX");
        QPainter painter;
        if (!painter.begin(&svg))
            return false;
        Paint(project, painter, nWidth, nHeight, true, nullptr);
        return painter.end();
    }
    case EFormat::Pdf: {
        // One point per picture pixel, the page exactly the picture.
        QPdfWriter pdf(szFile);
        pdf.setResolution(72);
        pdf.setPageSize(QPageSize(QSizeF(nWidth, nHeight), QPageSize::Point));
        pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
        pdf.setCreator("KURVIX");
        QPainter painter;
        if (!painter.begin(&pdf))
            return false;
        Paint(project, painter, nWidth, nHeight, true, nullptr);
        return painter.end();
    }
    case EFormat::Unknown:
        break;
    }
    return false;
}

bool CPictureExport::ExportFrames(CProject& project, const std::string& szDir, int32_t nWidth,
                                  int32_t nHeight, bool& bNothingToDraw)
{
    CViewRange::DetermineRange(project);
    bNothingToDraw = NothingToDraw(project);
    const QString szFolder = QString::fromLocal8Bit(szDir.c_str());
    if (!QDir().mkpath(szFolder))
        return false;
    QImage image(nWidth, nHeight, QImage::Format_RGB32);
    if (image.isNull())
        return false;
    bool bOk = true;
    unsigned nFrame = 0;
    QPainter painter(&image);
    Paint(project, painter, nWidth, nHeight, false, [&] {
        char szName[32];
        std::snprintf(szName, sizeof szName, "frame-%04u.png", ++nFrame);
        // The painter keeps drawing on the same image; saving reads what it has painted so far.
        bOk = image.save(QDir(szFolder).filePath(szName), "PNG");
        return bOk;
    });
    return bOk;
}
