// TavixTool: a camera test tool for CMOS camera boards on a serial line.
#include <cstdio>
#include <cstring>

#include <unistd.h>

#include "settings/SettingsPath.h"
#include "settings/Translation.h"
#include "shell/TavixToolApp.h"

#ifndef TAVIX_VERSION
#define TAVIX_VERSION "0.1"
#endif

int main(int argc, char** argv) {
    // The settings file is worked out here, once, and handed down.
    const std::string settings = SettingsFilePath();
    // --help and --version speak the terminal's language; the window's
    // language comes from the settings file.
    tx::SetLanguage(tx::LanguageFromEnvironment());
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs(
                tx::Format(tx::Tr("main",
                                  "TavixTool %1\n摄像头测试工具：经串口接收摄像头板的原始图像帧"
                                  "并显示。\n设置文件：%2\n帮助文件：%3Help.chm\n"),
                           TAVIX_VERSION, settings, ProgramDataDirectory())
                    .c_str(),
                stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--help") == 0) {
            std::fputs(
                tx::Tr(
                    "main",
                    "用法：TavixTool [文件]\n"
                    "摄像头测试工具：经串口接收摄像头板的原始图像帧（一个帧头字节，然后是\n"
                    "行 × 列个像素字节，黑白或 U,Y,V 彩色），边收边画，可以单幅或连续采集。\n"
                    "\n"
                    "  文件          回放这个录制文件（.tavixrec）；不能回放时说明原因\n"
                    "  --version     显示版本、设置文件和帮助文件的位置\n"
                    "  --help        显示这段说明\n"
                    "\n"
                    "环境变量 TAVIX_DEBUG=1：在终端显示采集线程结束时的调试行（供开发者使用）。\n"
                    "最近打开的文件记在 ~/.config/TavixTool/TavixTool.conf 中。\n"
                    "\n"
                    "打开串口需要访问串口设备的权限：sudo usermod -aG dialout "
                    "$USER，然后重新登录。\n"
                    "设置保存在程序旁的 DevSet.ini 中（那里可以写入时），否则保存在\n"
                    "~/.config/TavixTool/DevSet.ini 中；--version 显示正在使用的文件。\n"),
                stdout);
            return 0;
        }
    }
    // The window's language is the settings file's (InitInstance).
    CTavixToolApp app(argc, argv);
    if (!app.InitInstance(settings))
        return 1;
    const int code = app.exec();
    app.ExitInstance();
    // A language change: the program starts again with the same arguments,
    // once this one has saved everything.
    if (app.RestartRequested() && code == 0) {
        execv("/proc/self/exe", argv);
        std::perror("TavixTool");
    }
    return code;
}
