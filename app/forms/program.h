// The program entry: the application object, the single-instance test, the
// warning dialog, the main window and its message loop.
#pragma once

// Returns the exit code.
int RunLyra(int argc, char **argv);
