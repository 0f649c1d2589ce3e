#pragma once
// Program start: paths, the application object, the windows in their order, and the
// commands that run without a window.

int RunProgram(int argc, char** argv);
