// TavixTool: a camera test tool for CMOS camera boards on a serial line.
#include "settings/SettingsPath.h"
#include "shell/TavixToolApp.h"

int main(int argc, char** argv) {
    CTavixToolApp app(argc, argv);
    // The settings file is worked out here, once, and handed down.
    if (!app.InitInstance(SettingsFilePath()))
        return 1;
    const int code = app.exec();
    app.ExitInstance();
    return code;
}
