#pragma once

#include "inputmode.h"

#include <QString>

// What the setup form collects; fixed once "Ok" has hidden the form. Text is kept exactly as
// typed: no trimming and no check of content, empty allowed.
struct SetupRecord
{
    QString SubjectName;
    QString Variable;  // the first (or only) rated variable
    QString Variable2; // empty whenever Variable2Enabled is false
    QString DateText;  // never parsed as a date
    bool Variable2Enabled = false;
    QString FileFullPath; // empty when the operator cancelled the file dialog twice
    // Not on the form: the study, the command line or dialtrace.conf chooses it.
    InputMode Input = InputMode::Steps;
};
