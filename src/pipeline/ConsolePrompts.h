#pragma once

#include "platform/UserInteraction.h"

#include <QString>
#include <QTextStream>

#include <optional>

// Prompts of a run without a display: the question goes to err, one line of in answers it.
// An empty line takes the default; end of input cancels. An answer that fails the checks of the
// value prompt dialog prints the dialog's message and asks again when interactive (in is a
// terminal), and cancels otherwise.

// The value prompt: numbers checked against their limits and returned as typed; a menu answered
// by an item's number or text and returned as the item is listed.
std::optional<QString> askValueOnConsole(const ValueQuestion& q, QTextStream& in, QTextStream& err, bool interactive);

// The file-open question of a FILENAME field: no default (an empty line cancels), a relative name
// is taken from the current folder, and the file must exist (the default extension is tried when
// the name has none). The answer is the full path.
std::optional<QString> askOpenFileOnConsole(const OpenFileRequest& request, QTextStream& in, QTextStream& err,
                                            bool interactive);
