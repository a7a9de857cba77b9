#pragma once

#include "pipeline/GenerateOperation.h"

#include <QString>

class InputFiles;
class TempFileGuard;
class XmlDocument;

// The output extension declared by the style sheet's first "fileExt" variable; "txt" without one.
// Throws UnexpectedFailure for a fileExt variable that has no select attribute.
QString GetOutputExtension(const XmlDocument& styleSheet);

/**
 * Takes over the temporary output file: copies it to the command-line output name, or to the file
 * the user picks in the save dialog, then reports success or opens the file. The temporary file
 * is gone afterwards whatever happens. A destination that is not a file (a name ending in a
 * separator, a folder, a pipe or a device) is refused with a message, and so, in command-line
 * mode, is one of the files the run read. Throws UnexpectedFailure when the destination cannot
 * be written; an existing destination is then left as it was.
 */
GenerateOutcome SaveOutputFile(GenerateForm& form, UserInteraction& ui, Shell& shell, const QString& defaultName,
                               const QString& extension, TempFileGuard& tempFile, const InputFiles& inputs);

// Refuses, before any question is asked, a command-line output name that is already final (it
// has its extension, or ends in a separator) and that SaveOutputFile would refuse: true then.
bool RefuseOutputFileNameEarly(const GenerateForm& form, const InputFiles& inputs, UserInteraction& ui);

// Copies a file so that the destination is either the complete new content or left untouched.
// Throws UnexpectedFailure with the system's reason.
void CopyFileReplacing(const QString& from, const QString& to);
