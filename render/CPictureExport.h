#pragma once
// The complete picture of the "Grafik" page as a file, without a display: background, grid and
// every sample of every step, as the page shows it once the drawing has finished.
#include <cstdint>
#include <functional>
#include <string>

#include "project/ELoadSaveError.h"

class CAnalysisMarks;
class CPictureJob;
class CProject;
class QIODevice;
class QPainter;

class CPictureExport {
public:
    enum class EFormat { Png, Svg, Pdf, Unknown };

    // By the file name's extension, in any letter case.
    static EFormat FormatOf(const std::string& szPath);
    // Whether szPath ends in the lower-case extension pszEnd, in any case (".PNG" is a picture too).
    static bool HasExtension(const std::string& szPath, const char* pszEnd);

    // The range as entering the page determines it (the document is left as it is), then the
    // picture. bNothingToDraw: the range came out empty, so the file holds background and grid
    // only; *pszWhy then says why, as the "Grafik" page does ("Nichts zu zeichnen: ...",
    // Windows-1252). False, with the cause in *pCause, when the file could not be written; the
    // old file is then as it was.
    // pMarks: the analysis marks drawn over the curves, where the picture is to have them.
    static bool Export(CProject& project, const std::string& szPath, int32_t nWidth, int32_t nHeight,
                       bool& bNothingToDraw, EFileCause* pCause = nullptr, std::string* pszWhy = nullptr,
                       const CAnalysisMarks* pMarks = nullptr);
    // One PNG per step, DIR/frame-0001.png ..., each as the screen shows it after the step's last
    // sample: the earlier steps are still on it. The frames replace the old ones only once all
    // are written, and frames of an earlier run that are not replaced go: a signal waits until the
    // folder holds the new film only.
    static bool ExportFrames(CProject& project, const std::string& szDir, int32_t nWidth, int32_t nHeight,
                             bool& bNothingToDraw, EFileCause* pCause = nullptr, std::string* pszWhy = nullptr);

    // "frame-0001.png": four digits at least, more where the count of frames needs them, so that
    // the names sort as the frames follow each other.
    static std::string FrameName(size_t nFrame, size_t nFrames);

    // Paints the layers on the range of the job, which has walked; onStepDone runs after the
    // last sample of each step (false stops the drawing).
    static void Paint(CPictureJob& job, QPainter& painter, int32_t nWidth, int32_t nHeight, bool bVector,
                      const std::function<bool()>& onStepDone, const CAnalysisMarks* pMarks = nullptr);
    // The same on the range the document holds.
    static void Paint(CProject& project, QPainter& painter, int32_t nWidth, int32_t nHeight, bool bVector,
                      const std::function<bool()>& onStepDone);

private:
    static bool WritePicture(CProject& project, QIODevice& device, EFormat eFormat, int32_t nWidth, int32_t nHeight,
                             bool& bNothingToDraw, std::string* pszWhy, const CAnalysisMarks* pMarks);
    // Whether the walked job's range is empty, and why.
    static bool NothingToDraw(CPictureJob& job, std::string* pszWhy);
};
