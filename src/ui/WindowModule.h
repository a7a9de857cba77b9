#pragma once

#include "session/CommandLineRun.h"

/**
 * The entry point of the window module: the window code with Qt Widgets and Qt Gui, loaded only
 * when there is a display, so that a console run loads none of it. Runs the program in `argc` and
 * `argv` (which must outlive the call, as QApplication's do) with the window, as the command line
 * asks; `usage` is shown for a wrong argument count. Returns the exit status.
 */
using RunWindowFunction = int (*)(int& argc, char** argv, const CommandLine& commandLine, const QString& usage);

inline constexpr char WindowModuleName[] = "tabulon_window";
inline constexpr char RunWindowSymbol[] = "tabulonRunWindow";
