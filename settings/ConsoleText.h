// Text between a command-line tool and its console: the tools work in UTF-8.
// One source file per system (ConsoleTextPosix.cpp, ConsoleTextWin32.cpp).
#pragma once

// Makes the console show UTF-8 output (and take the progress line's
// terminal sequences) and points argv at the command line
// in UTF-8. On Linux both already are. On Windows argv is in the ANSI code
// page, which cannot hold most file names (Chinese ones on an English
// system): the arguments are taken from the wide command line instead, and
// stay valid for the program's life.
void UseUtf8Console(int& argc, char**& argv);
