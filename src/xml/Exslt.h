#pragma once

#include <QString>

#include <optional>

struct _xmlDoc;

// libexslt brings libgcrypt and libgpg-error with it, a third of a short run's library loading:
// it is loaded, and its extensions registered, only once a style sheet module declares one of
// its namespaces. Call before compiling each module. Why the extensions it needs are missing,
// when they are.
std::optional<QString> RegisterExsltFor(const _xmlDoc* styleSheetModule);
