#pragma once

#include "platform/UserInteraction.h"

#include <QString>
#include <QTextStream>

#include <optional>

// The value prompt of a run without a display: the question goes to err, one line of in answers
// it. An empty line takes the default; end of input cancels. An answer that fails the checks of
// the value prompt dialog prints the dialog's message and asks again when interactive (in is a
// terminal), and cancels otherwise. Numbers are returned as typed; a menu is answered by an
// item's number or text and returns the item as listed.
std::optional<QString> askValueOnConsole(const ValueQuestion& q, QTextStream& in, QTextStream& err, bool interactive);

// Says, after a prompt, that the run is cancelled because the input ended without an answer.
void reportNoAnswer(QTextStream& err);
