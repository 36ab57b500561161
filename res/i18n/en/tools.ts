<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CCaptureSession</name>
    <message>
        <source>%1 的文件夹 %2 不存在</source>
        <translation>%1: the folder %2 does not exist</translation>
    </message>
    <message>
        <source>设置文件 %1 不存在</source>
        <translation>Settings file %1 does not exist</translation>
    </message>
    <message>
        <source>设置文件 %1：%2</source>
        <translation>Settings file %1: %2</translation>
    </message>
    <message>
        <source>录制文件记下的数据格式读不懂：“%1”</source>
        <translation>Cannot read the stream format the recording holds: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>--out .jpg 只用于 JPEG 数据流（帧原样保存）；这个格式的帧请存为 .png、%1 或 .raw</source>
        <translation>--out .jpg is only for JPEG streams (frames saved as they are); save this format&apos;s frames as .png, %1 or .raw</translation>
    </message>
    <message>
        <source>--out .pgm 只用于黑白的帧；彩色的帧请存为 .ppm、.png 或 .raw</source>
        <translation>--out .pgm is only for grayscale frames; save color frames as .ppm, .png or .raw</translation>
    </message>
    <message>
        <source>线路上没有收到任何字节：板子在发送吗？请检查接线、电源和波特率</source>
        <translation>No bytes came in on the line: is the board sending? Check the wiring, power and baud rate</translation>
    </message>
    <message>
        <source>诊断（%1 字节）：%2</source>
        <translation>Diagnosis (%1 bytes): %2</translation>
    </message>
    <message>
        <source>已采到 %1 帧  %2 帧/秒  %3 KB/秒  占线路 %4%</source>
        <translation>Captured %1 frames  %2 frames/s  %3 KB/s  %4% of the line</translation>
    </message>
    <message>
        <source>采集线程没能启动</source>
        <translation>The capture thread could not start</translation>
    </message>
    <message>
        <source>采集中断：%1（设备被拔掉或出错？）</source>
        <translation>Capture interrupted: %1 (device unplugged or failing?)</translation>
    </message>
    <message>
        <source>写文件跟不上，%1 帧的文件没有写出</source>
        <translation>Writing files could not keep up; the files of %1 frames were not written</translation>
    </message>
    <message>
        <source>录制失败：%1</source>
        <translation>Recording failed: %1</translation>
    </message>
    <message>
        <source>在 %1 秒内没有采到完整的帧</source>
        <translation>No whole frame captured within %1 s</translation>
    </message>
    <message>
        <source>没有采到完整的帧</source>
        <translation>No whole frame captured</translation>
    </message>
    <message>
        <source>只采到 %1 帧，要 %2 帧（录制文件到头了）</source>
        <translation>Only %1 of %2 frames captured (end of the recording)</translation>
    </message>
    <message>
        <source>只采到 %1 帧，要 %2 帧（时限到了）</source>
        <translation>Only %1 of %2 frames captured (time limit reached)</translation>
    </message>
    <message>
        <source>只采到 %1 帧，要 %2 帧</source>
        <translation>Only %1 of %2 frames captured</translation>
    </message>
    <message>
        <source>画面在时限内没有稳定下来</source>
        <translation>The picture did not become stable within the time limit</translation>
    </message>
    <message>
        <source>%1 帧可疑、%2 帧丢失，多于容许的 %3 帧</source>
        <translation>%1 suspect and %2 lost frames, more than the %3 allowed</translation>
    </message>
    <message>
        <source>采到 %1 帧，用时 %2 秒；收到 %3 字节，跳过 %4 帧，可疑 %5 帧，丢失 %6 帧；写出 %7 个文件（被中断）</source>
        <translation>Captured %1 frames in %2 s; received %3 bytes, skipped %4 frames, %5 suspect, %6 lost; wrote %7 files (interrupted)</translation>
    </message>
    <message>
        <source>采到 %1 帧，用时 %2 秒；收到 %3 字节，跳过 %4 帧，可疑 %5 帧，丢失 %6 帧；写出 %7 个文件</source>
        <translation>Captured %1 frames in %2 s; received %3 bytes, skipped %4 frames, %5 suspect, %6 lost; wrote %7 files</translation>
    </message>
</context>
<context>
    <name>CaptureOptions</name>
    <message>
        <source>用法：tavix-capture 设备|COMn|录制文件 [选项]
不开窗口采集摄像头板子的帧：与 TavixTool 窗口同一个采集引擎、同样的统计、
同样的数据格式。给脚本、测试台和远程机器用。

输入：
</source>
        <translation>Usage: tavix-capture DEVICE|COMn|RECORDING [options]
Captures frames from a camera board without the window: the same capture
engine, statistics and stream formats as the TavixTool window. For scripts,
test rigs and remote machines.

Input:
</translation>
    </message>
    <message>
        <source>  设备                /dev/ttyUSB0 之类的串口设备文件
  COMn                端口号，与窗口的端口列表相同（COM1～COM15；
                      --settings 时按设置文件的 Ports 一节）
  录制文件            TavixTool 录制文件（.tavixrec）：按它记下的格式和
                      设置重放一遍

</source>
        <translation>  DEVICE              a serial device file such as /dev/ttyUSB0
  COMn                a port number, as in the window&apos;s port list (COM1 to
                      COM15; with --settings, from the settings file&apos;s Ports
                      section)
  RECORDING           a TavixTool recording (.tavixrec): replayed once with
                      the format and settings it recorded

</translation>
    </message>
    <message>
        <source>数据格式：
  --baud N            波特率（默认 115200；录制文件用它记下的）
  --format FORMAT     预设名（design、jpeg、arduino ……）或 custom,...，
                      与 tavix-camsim --format 相同（默认 design）
  --rows R --columns C  每帧的行数和列数（默认 60 × 80，或预设的常用尺寸；
                      尺寸来自数据流的格式不需要）
  --colour            单字节帧头格式的 U,Y,V 彩色数据
  --header N          单字节帧头的值，0～255（默认 255）
  --settings[=FILE]   读窗口的设置文件 DevSet.ini（或 FILE）：Ports 一节、
                      数据头、数据格式和黑白页面的行列；命令行给的优先。
                      设置文件从不写入

采集多少：
  --frames N          采集 N 个完整的帧后结束（默认 1；0 表示不限）
  --seconds S         采集 S 秒后结束（不给 --frames 时帧数不限）
  --until-stable K    相邻两帧不同的像素少于 K 个时结束（画面稳定了）
  --timeout S         S 秒没有新的完整帧就结束（默认 10）
  --max-suspect K     容许 K 个可疑或丢失的帧（默认 0）
  --paced             录制文件按记下的速度重放（默认尽快）

写出什么：
  --out PATTERN       每帧一个文件，如 frame-%04d.png；按后缀：.png、
                      .pgm（黑白）/.ppm（彩色）、.jpg（JPEG 数据流的帧，
                      原样）、.raw（收到的字节）。没有 %d 时只写最后一帧
  --record FILE       把收到的每个字节录成 TavixTool 录制文件
  --listing FILE      0/1 二值化列表（与窗口的黑白数据列表相同）；
                      有 %d 时每帧一个，否则最后一帧
  --threshold T       二值化阈值，0～255（默认 128）：大于 T 为 1
  --json              标准输出每帧一行 JSON（序号、时间、字节、延迟），
                      最后一行是链路统计
  --help              显示本说明

标准错误是终端时显示进度（帧数、帧/秒、KB/秒、占线路的比例）。
Ctrl+C 或 SIGTERM 结束采集，已采到的照样写出，退出码按已采到的算。

退出码：
  0  要的帧都完整地采到了
  1  命令行参数不对
  2  串口打不开（原因与窗口的提示相同：权限、被谁占用、不存在、波特率），
     或采集中设备不见了；录制文件读不出来；文件写不进去
  3  时限内没有采到（足够的）完整帧，或画面没有稳定；附一行诊断提示
  4  采到了帧，但可疑或丢失的帧多于 --max-suspect

例子：
</source>
        <translation>Stream format:
  --baud N            baud rate (default 115200; a recording uses its own)
  --format FORMAT     a preset name (design, jpeg, arduino ...) or custom,...,
                      as in tavix-camsim --format (default design)
  --rows R --columns C  rows and columns per frame (default 60 x 80, or the
                      preset&apos;s usual size; not needed when the stream
                      carries the size)
  --color             U,Y,V color data in the header byte format
  --header N          the header byte&apos;s value, 0 to 255 (default 255)
  --settings[=FILE]   read the window&apos;s settings file DevSet.ini (or FILE):
                      the Ports section, header, stream format and the
                      grayscale page&apos;s rows and columns; the command line
                      wins. The settings file is never written

How much to capture:
  --frames N          stop after N whole frames (default 1; 0: no limit)
  --seconds S         stop after S seconds (no frame limit unless --frames
                      is given)
  --until-stable K    stop when fewer than K pixels differ between two
                      frames in a row (the picture is stable)
  --timeout S         stop when no new whole frame comes for S seconds
                      (default 10)
  --max-suspect K     allow K suspect or lost frames (default 0)
  --paced             replay a recording at its recorded pace (default: as
                      fast as possible)

What to write:
  --out PATTERN       one file per frame, e.g. frame-%04d.png; by extension:
                      .png, .pgm (grayscale) / .ppm (color), .jpg (frames of
                      a JPEG stream, as they are), .raw (the bytes received).
                      Without %d only the last frame is written
  --record FILE       record every byte received as a TavixTool recording
  --listing FILE      the 0/1 binarized listing (as in the window&apos;s grayscale
                      data list); one per frame with %d, else the last frame
  --threshold T       binarization threshold, 0 to 255 (default 128): above
                      T is 1
  --json              one JSON line per frame on standard output (index,
                      time, bytes, latency); the last line is the link
                      statistics
  --help              show this text

Progress (frames, frames/s, KB/s, share of the line) is shown when standard
error is a terminal. Ctrl+C or SIGTERM ends the capture; what was captured
is still written, and the exit code counts what was captured.

Exit codes:
  0  all the frames asked for were captured whole
  1  wrong command-line arguments
  2  the port cannot be opened (the same reasons as in the window:
     permission, in use, missing, baud rate), or the device went away while
     capturing; the recording cannot be read; a file cannot be written
  3  no (or not enough) whole frames within the time limit, or the picture
     did not become stable; a diagnosis hint follows
  4  frames were captured, but more were suspect or lost than --max-suspect

Examples:
</translation>
    </message>
    <message>
        <source>  tavix-capture /dev/ttyUSB0 --baud 921600 --rows 120 --columns 160 --out shot.png
  tavix-capture COM5 --format jpeg --frames 100 --out f-%04d.jpg --json &gt; frames.json
  tavix-capture capture.tavixrec --frames 0 --listing last.txt --threshold 100
</source>
        <translation>  tavix-capture /dev/ttyUSB0 --baud 921600 --rows 120 --columns 160 --out shot.png
  tavix-capture COM5 --format jpeg --frames 100 --out f-%04d.jpg --json &gt; frames.json
  tavix-capture capture.tavixrec --frames 0 --listing last.txt --threshold 100
</translation>
    </message>
    <message>
        <source>  COMn                Windows 的端口名：设备管理器“端口 (COM 和 LPT)”下的
                      COM3、COM10 ……；--settings 时先按设置文件的 Ports 一节
  设备                \\.\COM10 之类的设备名
  录制文件            Windows 版不能重放录制文件（没有伪终端）：请用
                      tavix-diagnose 读它，或在 Linux 上重放

</source>
        <translation>  COMn                a Windows port name: COM3, COM10 ... as Device Manager
                      lists them under Ports (COM &amp; LPT); with --settings,
                      the settings file&apos;s Ports section first
  DEVICE              a device name such as \\.\COM10
  RECORDING           the Windows version cannot replay recordings (it has
                      no pseudo-terminals): read one with tavix-diagnose,
                      or replay it on Linux

</translation>
    </message>
    <message>
        <source>  tavix-capture COM3 --baud 921600 --rows 120 --columns 160 --out shot.png
  tavix-capture COM3 --format jpeg --frames 100 --out f-%04d.jpg --json &gt; frames.json
  tavix-capture COM3 --frames 0 --seconds 60 --record capture.tavixrec
</source>
        <translation>  tavix-capture COM3 --baud 921600 --rows 120 --columns 160 --out shot.png
  tavix-capture COM3 --format jpeg --frames 100 --out f-%04d.jpg --json &gt; frames.json
  tavix-capture COM3 --frames 0 --seconds 60 --record capture.tavixrec
</translation>
    </message>
    <message>
        <source>%1 需要 %2～%3 的整数，而不是“%4”</source>
        <translation>%1 needs a whole number from %2 to %3, not &quot;%4&quot;</translation>
    </message>
    <message>
        <source>%1 需要大于 0、不超过 86400 的秒数，而不是“%2”</source>
        <translation>%1 needs a number of seconds above 0 and at most 86400, not &quot;%2&quot;</translation>
    </message>
    <message>
        <source>文件名“%1”里只能有一个 %d（可带宽度，如 %04d），百分号写成 %%</source>
        <translation>File name &quot;%1&quot; may hold only one %d (a width is allowed, e.g. %04d); write a percent sign as %%</translation>
    </message>
    <message>
        <source>%1 后面缺少数值</source>
        <translation>%1 needs a value</translation>
    </message>
    <message>
        <source>--format 不认识“%1”（预设名见 tavix-camsim --help）</source>
        <translation>--format: unknown format &quot;%1&quot; (for the preset names see tavix-camsim --help)</translation>
    </message>
    <message>
        <source>--format 不认识“%1”：%2（预设名见 tavix-camsim --help）</source>
        <translation>--format: unknown format &quot;%1&quot;: %2 (for the preset names see tavix-camsim --help)</translation>
    </message>
    <message>
        <source>%1 需要文件名</source>
        <translation>%1 needs a file name</translation>
    </message>
    <message>
        <source>--settings= 后面缺少文件名</source>
        <translation>--settings= needs a file name</translation>
    </message>
    <message>
        <source>不认识的选项“%1”（见 tavix-capture --help）</source>
        <translation>Unknown option &quot;%1&quot; (see tavix-capture --help)</translation>
    </message>
    <message>
        <source>只能给一个设备或录制文件，多出了“%1”</source>
        <translation>Give only one device or recording; &quot;%1&quot; is one too many</translation>
    </message>
    <message>
        <source>缺少设备、COMn 或录制文件（见 tavix-capture --help）</source>
        <translation>No device, COMn or recording given (see tavix-capture --help)</translation>
    </message>
    <message>
        <source>--rows 和 --columns 要一起给</source>
        <translation>Give --rows and --columns together</translation>
    </message>
    <message>
        <source>--colour 只用于单字节帧头格式；其他格式的颜色由格式里的编码决定</source>
        <translation>--color is only for the header byte format; in other formats the encoding decides the color</translation>
    </message>
    <message>
        <source>--out 的文件名要以 .png、.pgm、.ppm、.jpg 或 .raw 结尾：“%1”</source>
        <translation>--out needs a file name ending in .png, .pgm, .ppm, .jpg or .raw: &quot;%1&quot;</translation>
    </message>
</context>
<context>
    <name>tavix-diagnose</name>
    <message>
        <source>用法：tavix-diagnose 设备或文件 [选项]
读取串口设备几秒钟的数据（或者一个 TavixTool 录制文件、一个原始数据文件），
说明数据是什么：
数据头的值和周期、每帧字节数、黑白还是彩色（U,Y,V）、可能的行数和列数、
数据速率与波特率是否相符、串口的错误计数，并给出页面应该怎样设置。

选项：
  --baud N            打开设备用的波特率（默认 115200）；对录制文件，
                      代替文件里记下的波特率
  --seconds S         读取设备的秒数（默认 3；数据不够下结论时最多再听到
                      10 秒）；对录制文件，只看前 S 秒
  --rows R            页面现在的行数（只在几种可能一样好时用来取舍）
  --columns C         页面现在的列数
  --colour            页面现在是彩色页面
  --header N          页面现在的数据头，0～255
  --help              显示本说明

录制文件以 TAVIXREC 开头，它记下的波特率、数据头、行列和格式就是页面设置。
其他文件都当作原始数据（例如 cat /dev/ttyUSB0 &gt; dump.bin 或终端程序存下的
字节），只看前 4 MiB；原始数据没有时间，速率无从得知。
输入读不出来时退出码为 2，否则为 0。

例子：
</source>
        <translation>Usage: tavix-diagnose DEVICE-OR-FILE [options]
Reads a few seconds of data from a serial device (or a TavixTool recording,
or a file of raw data) and says what the data is:
the header&apos;s value and period, bytes per frame, grayscale or color (U,Y,V),
the likely rows and columns, whether the data rate fits the baud rate, the
port&apos;s error counts, and how the page should be set.

Options:
  --baud N            baud rate to open the device with (default 115200);
                      for a recording, instead of the one it recorded
  --seconds S         seconds to read the device (default 3; up to 10 more
                      while the data is too little for a verdict); for a
                      recording, only its first S seconds
  --rows R            the page&apos;s rows now (only to choose between equally
                      good answers)
  --columns C         the page&apos;s columns now
  --color             the page is a color page now
  --header N          the page&apos;s header now, 0 to 255
  --help              show this text

A recording starts with TAVIXREC; the baud rate, header, rows, columns and
format it recorded are the page settings. Any other file is raw data (e.g.
cat /dev/ttyUSB0 &gt; dump.bin, or bytes saved by a terminal program); only its
first 4 MiB are read. Raw data has no timing, so its rate is unknown.
Exit code 2 when the input cannot be read, else 0.

Examples:
</translation>
    </message>
    <message>
        <source>  tavix-diagnose /dev/ttyUSB0 --baud 115200 --rows 60 --columns 80
  tavix-diagnose capture.tavixrec
  tavix-diagnose dump.bin --rows 120 --columns 160
</source>
        <translation>  tavix-diagnose /dev/ttyUSB0 --baud 115200 --rows 60 --columns 80
  tavix-diagnose capture.tavixrec
  tavix-diagnose dump.bin --rows 120 --columns 160
</translation>
    </message>
    <message>
        <source>  tavix-diagnose COM3 --baud 115200 --rows 60 --columns 80
  tavix-diagnose capture.tavixrec
  tavix-diagnose dump.bin --rows 120 --columns 160
</source>
        <translation>  tavix-diagnose COM3 --baud 115200 --rows 60 --columns 80
  tavix-diagnose capture.tavixrec
  tavix-diagnose dump.bin --rows 120 --columns 160
</translation>
    </message>
    <message>
        <source>%1 需要 %2～%3 的整数，而不是“%4”</source>
        <translation>%1 needs a whole number from %2 to %3, not &quot;%4&quot;</translation>
    </message>
    <message>
        <source>%1 后面缺少数值</source>
        <translation>%1 needs a value</translation>
    </message>
    <message>
        <source>--seconds 需要大于 0、不超过 3600 的秒数，而不是“%1”</source>
        <translation>--seconds needs a number of seconds above 0 and at most 3600, not &quot;%1&quot;</translation>
    </message>
    <message>
        <source>不认识的选项“%1”</source>
        <translation>Unknown option &quot;%1&quot;</translation>
    </message>
    <message>
        <source>只能给一个设备或录制文件</source>
        <translation>Give only one device or recording</translation>
    </message>
    <message>
        <source>缺少设备或录制文件</source>
        <translation>No device or recording given</translation>
    </message>
    <message>
        <source>--rows 和 --columns 要一起给</source>
        <translation>Give --rows and --columns together</translation>
    </message>
    <message>
        <source>录制文件 %1：%2 波特，数据头 %3，彩色 %4 行 × %5 列，%6 秒</source>
        <translation>Recording %1: %2 baud, header %3, color, %4 rows × %5 columns, %6 s</translation>
    </message>
    <message>
        <source>录制文件 %1：%2 波特，数据头 %3，黑白 %4 行 × %5 列，%6 秒</source>
        <translation>Recording %1: %2 baud, header %3, grayscale, %4 rows × %5 columns, %6 s</translation>
    </message>
    <message>
        <source>打不开 %1：%2</source>
        <translation>Cannot open %1: %2</translation>
    </message>
    <message>
        <source>读取 %1 出错</source>
        <translation>Error reading %1</translation>
    </message>
    <message>
        <source>%1 是空文件，没有数据可以诊断</source>
        <translation>%1 is empty: no data to diagnose</translation>
    </message>
    <message>
        <source>原始数据文件 %1：%2 字节（没有时间信息，速率无从得知）</source>
        <translation>Raw data file %1: %2 bytes (no timing, so the rate is unknown)</translation>
    </message>
    <message>
        <source>正在读取：%1 秒，%2 字节</source>
        <translation>Reading: %1 s, %2 bytes</translation>
    </message>
    <message>
        <source>设备 %1：%2 波特，读取 %3 秒</source>
        <translation>Device %1: %2 baud, reading for %3 s</translation>
    </message>
    <message>
        <source>数据还不够下结论（还需要约 %1 字节），继续读取…</source>
        <translation>Not enough data for a verdict yet (about %1 more bytes needed), reading on…</translation>
    </message>
    <message>
        <source>读取 %1 失败（设备被拔掉或出错）</source>
        <translation>Reading %1 failed (device unplugged or failing)</translation>
    </message>
    <message>
        <source>读取在 %1 秒时中断（设备被拔掉或出错），只分析此前收到的数据</source>
        <translation>Reading stopped at %1 s (device unplugged or failing); only the data received before is analyzed</translation>
    </message>
    <message>
        <source>%1（见 --help）</source>
        <translation>%1 (see --help)</translation>
    </message>
    <message>
        <source>文件里的数据不够下结论：还需要约 %1 字节。</source>
        <translation>Not enough data in the file for a verdict: about %1 more bytes needed.</translation>
    </message>
</context>
</TS>
