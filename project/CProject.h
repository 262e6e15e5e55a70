#pragma once
// The project document: functions, transformation, options, flags, steps, notes and palette.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "expr/CFuncResolver.h"
#include "expr/CFuncTerm.h"
#include "expr/FuncLimits.h"
#include "project/CAnimationStep.h"

// Indexes of m_dOptions; the names are the keys of the project file.
enum EOption : unsigned {
    OPT_XMIN,
    OPT_XMAX,
    OPT_YMIN,
    OPT_YMAX,
    OPT_XGRID,
    OPT_YGRID,
    OPT_BGCOLOR,
    OPT_TRMODE,
    OPT_COUNT
};
inline constexpr const char* g_OptionKeys[OPT_COUNT] = {"xmin",  "xmax",  "ymin",    "ymax",
                                                        "xgrid", "ygrid", "bgcolor", "trmode"};

// Bits of m_nFlags. FLAG_BREAKPOLES and the bits after it came later: older programs keep them as
// read and ignore them. The loader leaves them off, so that a file draws as it always did; a
// document begun in the window gets NEW_DOCUMENT_FLAGS.
// The values of the option trmode (a double: a value between two modes is read truncated, one
// outside them is no mode; "active" is any value above TRMODE_NONE).
enum ETransformMode : int { TRMODE_UNKNOWN = -1, TRMODE_NONE = 0, TRMODE_USER = 1, TRMODE_POLAR = 2 };

enum EFlag : unsigned {
    FLAG_XAUTO,
    FLAG_YAUTO,
    FLAG_XGRID,
    FLAG_YGRID,
    FLAG_SHOWAXIS,
    FLAG_PROPORTIONAL,
    FLAG_TRANSFORMGRID,
    FLAG_BREAKPOLES,
    FLAG_LEGEND,      // "Legende": the visible functions named in a corner of the picture
    FLAG_AUTOGRID,    // "Gitterweite automatisch": grid and labels 1, 2, 5 x 10^k, placed to be read
    FLAG_PILABELS,    // "Vielfache von π": the x axis labelled in multiples of pi
    FLAG_RANGEMARGIN, // an automatic range keeps 5 % of its span free on either side
    FLAG_FOLLOWVIEW,  // "Kurven folgen der Ansicht": explicit curves are drawn across the visible x range
    FLAG_DECIMALCOMMA // "Dezimalkomma": numbers shown to people are written 1,5 (CShownNumber)
};
inline constexpr uint32_t NEW_DOCUMENT_FLAGS = (1u << FLAG_LEGEND) | (1u << FLAG_AUTOGRID) | (1u << FLAG_RANGEMARGIN) |
                                               (1u << FLAG_FOLLOWVIEW) | (1u << FLAG_DECIMALCOMMA);

class CProject : public CFuncResolver {
public:
    static constexpr int PALETTE_SIZE = 16;

    CProject();
    ~CProject() override;
    CProject(const CProject&) = delete;
    CProject& operator=(const CProject&) = delete;

    CFuncTerm* GetFunction(unsigned nIndex) const override;
    void SetFunction(unsigned nIndex, const char* pszText); // may throw EFuncError
    void SetTransform(const char* pszText);                 // may throw EFuncError
    void SetOption(unsigned nIndex, double dValue);
    void SetFlag(unsigned nBit, bool bOn);
    // The step list. The document owns the steps in it; a step is handed in and out as a
    // unique_ptr. pBefore null: at the end.
    CAnimationStep* InsertStep(std::unique_ptr<CAnimationStep> pNewStep, CAnimationStep* pBefore);
    [[nodiscard]] std::unique_ptr<CAnimationStep> RemoveStep(CAnimationStep* pStep);
    void DeleteStep(CAnimationStep* pStep);
    void MoveStep(CAnimationStep* pStep, CAnimationStep* pBefore);

    // A document begun in the window (at start, "Neu") draws with the newer options; it is still
    // unmodified afterwards.
    void UseNewDocumentFlags();
    // A formula just typed into an empty slot nIndex (1 ... 50) is shown in the step at once:
    // visible, width 1, in the first colour of a fixed order (strong colours first) that no other
    // function shown in the step uses and that is neither the background's nor white.
    void ShowNewFunction(CAnimationStep& step, unsigned nIndex);
    uint32_t NextFreeColor(const CAnimationStep& step, unsigned nIndex) const;

    // Throws ELoadSaveError{0} and leaves the file and m_bModified as they were when it fails.
    void Save(const char* pszFileName);
    // On a fresh document only. Throws ELoadSaveError{line} (0: not opened) or ELoadFuncError.
    void Load(const char* pszFileName);

    const uint32_t* m_pPalette; // fixed; 0x00BBGGRR
    int32_t m_nPaletteSize = PALETTE_SIZE;
    std::optional<std::string> m_pszNotes;
    CAnimationStep* m_pFirstStep = nullptr;
    CAnimationStep* m_pLastStep = nullptr;
    std::unique_ptr<CFuncTerm> m_pFunctions[MAX_FUNCTIONS]; // slot n at n - 1; changed by SetFunction only
    std::unique_ptr<CFuncTerm> m_pTransform;
    double m_dOptions[OPT_COUNT] = {};
    uint32_t m_nFlags = 0;
    bool m_bModified = false;
    double m_dRawBounds[4] = {}; // x min, x max, y min, y max of the untransformed points
};
