#pragma once
// The toolbar's and the step buttons' icons, drawn as vectors so they stay sharp at any scale.
#include <QIcon>

class CToolIcons {
public:
    enum EIcon {
        New,
        Open,
        Save,
        Print,
        Copy,
        Paste,
        Font,
        Graphics,
        Pause,
        Skip,
        ZoomIn,
        ZoomOut,
        InsertStep,
        DeleteStep,
        MoveUp,
        MoveDown,
        Run,
        Undo,
        Redo,
        Export,
        Trace,
        GraphBeside
    };
    static QIcon Make(EIcon icon);
};
