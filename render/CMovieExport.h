#pragma once
// The storyboard as a film, without a display: every step drawn on progressively at its speed,
// then its wait, as the "Grafik" page plays it, a picture taken at every frame's moment. GIF
// (lossless, looping), WebM (VP9) or MP4 (H.264) by the file name's extension. The frames go to
// the encoder one by one as they are drawn; the file replaces the target only once complete.
#include <cstdint>
#include <functional>
#include <string>

#include "project/ELoadSaveError.h"

class CProject;

class CMovieExport {
public:
    enum class EFormat { Gif, WebM, Mp4, Unknown };
    static constexpr uint32_t DEFAULT_FPS = 25;
    static constexpr uint32_t MAX_FPS = 50; // a GIF's frames last whole centiseconds, two at least

    // By the file name's extension, in any letter case.
    static EFormat FormatOf(const std::string& szPath);

    struct SResult {
        // The range came out empty: the film is one picture of background and grid; szWhy says
        // why, as the "Grafik" page does (Windows-1252).
        bool bNothingToDraw = false;
        std::string szWhy;
        // A GIF frame had more than 256 colours and was stored in a fixed palette.
        bool bApproximated = false;
        // Why the file could not be written (the old one is then as it was).
        EFileCause eCause = EFileCause::WriteError;
        // The encoder the libraries lack (the film was not begun), or "".
        std::string szMissingEncoder;
        bool bCancelled = false; // by onFrame
        uint64_t nFrames = 0;    // at the frame rate, identical ones included
    };

    // onFrame, where given, runs after every frame with the moment reached and the storyboard's
    // length (both in milliseconds; the length as Duration estimates it); false stops the export,
    // the target left as it was.
    static bool Export(CProject& project, const std::string& szPath, int32_t nWidth, int32_t nHeight, uint32_t nFps,
                       SResult& result, const std::function<bool(double dAt, double dLength)>& onFrame = nullptr);

    // How long the storyboard plays, in milliseconds, from the steps' samples, speeds and waits.
    static double Duration(const CProject& project);
};
