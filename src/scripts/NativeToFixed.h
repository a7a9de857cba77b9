#pragma once

class QJSEngine;

// Number.prototype.toFixed without the locale machinery the engine's own goes through, which is
// most of the cost of a script that formats numbers.
void installNativeToFixed(QJSEngine& engine);
