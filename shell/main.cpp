// TavixTool: a camera test tool for CMOS camera boards on a serial line.
#include "shell/TavixToolApp.h"

int main(int argc, char** argv) {
    CTavixToolApp app(argc, argv);
    if (!app.InitInstance())
        return 1;
    const int code = app.exec();
    app.ExitInstance();
    return code;
}
