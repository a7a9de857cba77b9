#pragma once

#include <QJSEngine>
#include <QJSValue>

class ScriptDom;

// An engine that knows the document model its scripts see, so that native functions, which get
// only the engine, reach it.
class DomEngine : public QJSEngine
{
public:
    ScriptDom* dom = nullptr;
};

// An object with ScriptDom's members, under their names, as native functions of the engine: a
// call costs a fraction of a call through the QObject bridge.
QJSValue newNativeBridge(DomEngine& engine);
