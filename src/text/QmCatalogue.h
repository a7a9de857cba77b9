#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <optional>

// The bytes of a .qm catalogue to hand to QTranslator, or nothing when QTranslator could read
// outside them: it trusts the lengths and offsets inside the file, so a damaged or hostile
// catalogue would otherwise crash the program at its first lookup. Catalogues that pull in other
// files are refused. The context table is left out, because QTranslator never finds the empty
// context of ID-based texts in it (lrelease -compress writes one).
std::optional<QByteArray> loadableQmCatalogue(QByteArrayView data);
