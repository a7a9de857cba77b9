#pragma once

#include <QString>

#include <libxml/tree.h>

#include <optional>

// What the original service refuses to write: a result with more than one root element when the
// output is declared standalone. Nothing when the result may be written.
std::optional<QString> resultProblem(const xmlDoc* result, bool standalone);
