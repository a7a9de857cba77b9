#pragma once

#include <cerrno>

#include <QByteArray>
#include <QString>

#include <libxml/parser.h>

// How the XML service finds and opens the files it loads. Local files only: there is no network
// access. URIs are the style sheets' business; paths typed by users or given on the command line
// are plain paths, and a '#', '?' or '%' in them is part of the name.

// The file: URI of a local path (made absolute), with everything that could mean something in a
// URI escaped.
QByteArray FileUri(const QString& path);

// The local path a URI or path handed to the parser names: a file: URI unescaped; a path as it
// is when something exists there, unescaped otherwise (libxslt escapes the URIs it builds).
// Empty for any other scheme.
QByteArray LocalPathOf(const char* uri);

// A document opened for the parser, which takes the input over; or, without one, the system's
// error (an errno value) that kept it closed.
struct DocumentInput
{
    xmlParserInputPtr input = nullptr;
    int errorNumber = 0;
};

// Opens a document for the parser and notes the file in the current InputFiles. Only regular files
// are read: a pipe, device or socket could block the run or never end (ENOTREGULAR).
DocumentInput OpenDocumentInput(const char* uri, xmlParserCtxtPtr ctxt);

// The errorNumber of a path that names not a regular file, and the text for any errorNumber.
inline constexpr int ENOTREGULAR = ENODEV;
QString OpenErrorText(int errorNumber);

// A document() argument that names an existing file as a plain path, absolute or relative to the
// folder of base (a URI): the file: URI that loads exactly that file. Empty when it names none,
// and for arguments that are URIs with a scheme.
QByteArray PlainPathDocumentUri(const char* argument, const char* base);
