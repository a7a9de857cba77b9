#pragma once

#include <QString>

// libxml2's and libxslt's reports of the limits they keep, reworded to say which limit was hit
// without suggesting options of their own command-line tools, which this program does not have.
// Other text is returned unchanged.
QString ExplainLimits(const QString& report);
