#pragma once

#include "pipeline/GenerateOperation.h"

#include <QString>

#include <optional>

class InputFiles;
class TempOutputFile;
class XmlDocument;

// The output extension declared by the style sheet's first "fileExt" variable; "txt" without one.
// Throws UnexpectedFailure for a fileExt variable that has no select attribute.
QString GetOutputExtension(const XmlDocument& styleSheet);

/**
 * A file the output may be written to. The only way to get one is `accept`, so a destination
 * carried as this value has passed the rules and the copy need not look at the name again.
 */
class OutputDestination
{
public:
    /**
     * The destination of that name, or nothing after the user was told why not: a name that is
     * not a file (ending in a separator, a folder, a pipe or a device) is refused, and so, in
     * command-line mode, is one of the files the run reads.
     */
    static std::optional<OutputDestination> accept(const QString& path, const InputFiles& inputs, bool commandLine,
                                                   UserInteraction& ui);

    const QString& path() const { return m_path; }

private:
    explicit OutputDestination(QString path)
        : m_path(std::move(path))
    {}

    QString m_path;
};

// Whether the command line's output name is final as given (it has its extension, or ends in a
// separator), so that it can be refused before any question is asked.
bool IsFinalOutputFileName(const QString& name);

/**
 * Takes over the temporary output file: copies it to the command-line output name, or to the file
 * the user picks in the save dialog, then reports success or opens the file. The destination is
 * accepted here against every file the run read, those the transformation opened included. The
 * temporary file is gone afterwards whatever happens. Throws UnexpectedFailure when the
 * destination cannot be written; an existing destination is then left as it was.
 */
GenerateOutcome SaveOutputFile(GenerateForm& form, UserInteraction& ui, Shell& shell, const QString& defaultName,
                               const QString& extension, TempOutputFile& tempFile, const InputFiles& inputs);

// Copies a file so that the destination is either the complete new content or left untouched.
// Throws UnexpectedFailure with the system's reason.
void CopyFileReplacing(const QString& from, const QString& to);

// Puts the finished output at `to` on the terms of CopyFileReplacing: linked into place where it
// lies on the destination's file system, copied elsewhere. Throws UnexpectedFailure.
void PlaceOutputFile(const TempOutputFile& output, const QString& to);

// Fills the empty output with a copy of a file. Throws UnexpectedFailure.
void FillOutputFile(const TempOutputFile& output, const QString& from);
