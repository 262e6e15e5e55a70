#pragma once
// A table, picture or range walk ended because too many of its values ran out of work.
#include <string>

struct EWorkBudget {
    unsigned m_nFunction; // 1 ... 50; 0: the transformation term

    // The German message for the status line and the command line (plain ASCII).
    std::string Message() const
    {
        const std::string szWho = m_nFunction ? "f" + std::to_string(m_nFunction) : std::string("die Transformation");
        return "Abgebrochen: " + szWho + " ist an zu vielen Stellen zu aufwendig zu berechnen";
    }
};
