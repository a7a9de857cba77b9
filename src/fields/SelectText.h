#pragma once

#include <QString>

// The value inside an apostrophe-quoted select text: "''" gives the empty text; a text that begins
// with an apostrophe gives what follows up to the next apostrophe that is not doubled (each doubled
// one standing for one); a text that does not begin with one, or whose value is empty, is returned
// unchanged.
QString DequoteSelect(const QString& text);
