#include "tools/capture/PlatformHelp.h"

#include "settings/Translation.h"

// Windows: the system's own COM port names; no replay.
namespace platformhelp {

const char* CaptureInput() {
    return tx::Tr("CaptureOptions",
                  "  COMn                Windows 的端口名：设备管理器“端口 (COM 和 LPT)”下的\n"
                  "                      COM3、COM10 ……；--settings 时先按设置文件的 Ports 一节\n"
                  "  设备                \\\\.\\COM10 之类的设备名\n"
                  "  录制文件            Windows 版不能重放录制文件（没有伪终端）：请用\n"
                  "                      tavix-diagnose 读它，或在 Linux 上重放\n"
                  "\n");
}

const char* CaptureExamples() {
    return tx::Tr(
        "CaptureOptions",
        "  tavix-capture COM3 --baud 921600 --rows 120 --columns 160 --out shot.png\n"
        "  tavix-capture COM3 --format jpeg --frames 100 --out f-%04d.jpg --json > frames.json\n"
        "  tavix-capture COM3 --frames 0 --seconds 60 --record capture.tavixrec\n");
}

const char* DiagnoseExamples() {
    return tx::Tr("tavix-diagnose",
                  "  tavix-diagnose COM3 --baud 115200 --rows 60 --columns 80\n"
                  "  tavix-diagnose capture.tavixrec\n"
                  "  tavix-diagnose dump.bin --rows 120 --columns 160\n");
}

}  // namespace platformhelp
