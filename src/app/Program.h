#pragma once

// Runs the program as started with these arguments; returns the process exit status.
int RunProgram(int& argc, char** argv);
