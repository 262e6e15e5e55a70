#pragma once
// Why a picture shows no curve ("Nichts zu zeichnen!"), in the words the window shows: no
// function visible, a range set empty by hand, references in a circle, every value undefined, a
// transformation defined nowhere, or all points on one line of an automatic axis.
#include <string>

class CProject;
class CViewBox;

class CNothingToDraw {
public:
    enum class ECause {
        EmptyRange,     // an axis set by hand from a value to the same one
        NoFunction,     // no step shows a function with a formula
        Circle,         // every value undefined, and visible functions refer to each other in a circle
        AllUndefined,   // every value of every visible function undefined
        NoTransformed,  // points, but the transformation is defined at none of them
        SameCoordinate, // all points share their x (or y) on an automatic axis
    };
    // For a box of the project that cannot be mapped (a range determined, or the document's
    // own): the cause, and the text "Nichts zu zeichnen: ..." (Windows-1252) that says it and,
    // where the user can mend it, how.
    static ECause Cause(const CProject& project, const CViewBox& box, std::string& szText);
};
