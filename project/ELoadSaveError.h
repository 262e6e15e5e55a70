#pragma once
// A failed load or save: the number of the line being read (0 when the file could not be opened
// or created, or a save could not be completed) and why.
#include <cstdint>

enum class EFileCause : uint8_t {
    Line,           // a line the reader does not understand; with line 0: the file is missing
    NotFound,       // the file does not exist
    FolderNotFound, // the folder to save in does not exist
    NotRegular,     // a folder, a device, a pipe
    AccessDenied,
    ReadError,
    TooLarge,         // the file exceeds PROJECT_MAX_FILE
    NotesTooLarge,    // the notes exceed PROJECT_MAX_NOTES
    UnknownExtension, // neither .kvx nor .kvo
    TooManySteps,     // more than PROJECT_MAX_STEPS
    TooManySamples,   // more than PROJECT_MAX_SAMPLES
    NoSpace,          // disk full or quota exhausted
    WriteError,
    NameTooLong, // longer than the folder takes
    NotAFolder,  // frames go into a folder, and the name is something else
    NotKvx,      // the current format is saved under .kvx names only
    OutOfMemory,
    NulInNotes, // a NUL byte, which no file may hold
};

struct ELoadSaveError {
    uint32_t m_nLine;
    EFileCause m_eCause = EFileCause::Line;
};
