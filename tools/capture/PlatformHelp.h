// The parts of the tools' --help that differ by system: how a port is named
// and the examples. One source file per system (PlatformHelpPosix.cpp,
// PlatformHelpWin32.cpp); each text is translated.
#pragma once

namespace platformhelp {

// tavix-capture: the lines under "输入：".
const char* CaptureInput();
// tavix-capture: the lines under "例子：".
const char* CaptureExamples();
// tavix-diagnose: the lines under "例子：".
const char* DiagnoseExamples();

}  // namespace platformhelp
