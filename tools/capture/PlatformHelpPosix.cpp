#include "tools/capture/PlatformHelp.h"

#include "settings/Translation.h"

// Linux: device files and the window's port numbers.
namespace platformhelp {

const char* CaptureInput() {
    return tx::Tr("CaptureOptions",
                  "  设备                /dev/ttyUSB0 之类的串口设备文件\n"
                  "  COMn                端口号，与窗口的端口列表相同（COM1～COM15；\n"
                  "                      --settings 时按设置文件的 Ports 一节）\n"
                  "  录制文件            TavixTool 录制文件（.tavixrec）：按它记下的格式和\n"
                  "                      设置重放一遍\n"
                  "\n");
}

const char* CaptureExamples() {
    return tx::Tr(
        "CaptureOptions",
        "  tavix-capture /dev/ttyUSB0 --baud 921600 --rows 120 --columns 160 --out shot.png\n"
        "  tavix-capture COM5 --format jpeg --frames 100 --out f-%04d.jpg --json > frames.json\n"
        "  tavix-capture capture.tavixrec --frames 0 --listing last.txt --threshold 100\n");
}

const char* DiagnoseExamples() {
    return tx::Tr("tavix-diagnose",
                  "  tavix-diagnose /dev/ttyUSB0 --baud 115200 --rows 60 --columns 80\n"
                  "  tavix-diagnose capture.tavixrec\n"
                  "  tavix-diagnose dump.bin --rows 120 --columns 160\n");
}

}  // namespace platformhelp
