<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CAboutDialog</name>
    <message>
        <source>关于 TavixTool</source>
        <translation>About TavixTool</translation>
    </message>
    <message>
        <source>TavixTool 1.0 版</source>
        <translation>TavixTool version 1.0</translation>
    </message>
    <message>
        <source>摄像头测试工具</source>
        <translation>Camera test tool</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>CMainFrame</name>
    <message>
        <source>TAVIX飞思卡尔专营-摄像头测试工具</source>
        <translation>TAVIX Freescale dealer - Camera test tool</translation>
    </message>
    <message>
        <source>串口设置</source>
        <translation>Serial settings</translation>
    </message>
    <message>
        <source>就绪</source>
        <translation>Ready</translation>
    </message>
    <message>
        <source>大写</source>
        <translation>CAP</translation>
    </message>
    <message>
        <source>数字</source>
        <translation>NUM</translation>
    </message>
    <message>
        <source>滚动</source>
        <translation>SCRL</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>打开帮助文件 Help.chm</source>
        <translation>Open the help file Help.chm</translation>
    </message>
    <message>
        <source>摄像头工具</source>
        <translation>Camera tools</translation>
    </message>
    <message>
        <source>黑白数据</source>
        <translation>Grayscale data</translation>
    </message>
    <message>
        <source>彩色数据</source>
        <translation>Color data</translation>
    </message>
    <message>
        <source>输入设备路径…</source>
        <translation>Enter device path…</translation>
    </message>
    <message>
        <source>选一个不在 COM1–COM15 中的串口设备，如 /dev/ttyAMA0，或 /dev/serial/by-id/ 下的名字</source>
        <translation>Choose a serial device that is not among COM1–COM15, such as /dev/ttyAMA0 or a name under /dev/serial/by-id/</translation>
    </message>
    <message>
        <source> 帧头 </source>
        <translation> Header </translation>
    </message>
    <message>
        <source>每帧开头的帧头字节（0–255），两个页面共用；采集时不能改。保存在设置文件的 [Data] head 中。</source>
        <translation>The header byte that starts each frame (0–255), shared by both pages; it cannot change during a capture. Kept in the settings file under [Data] head.</translation>
    </message>
    <message>
        <source> 数据格式 </source>
        <translation> Stream format </translation>
    </message>
    <message>
        <source>自定义…</source>
        <translation>Custom…</translation>
    </message>
    <message>
        <source>摄像头板发来的数据是什么样的：帧怎样划分、像素怎样编码、要向板子发送什么。采集时改动会先停止采集。保存在设置文件的 [Stream] format 中。</source>
        <translation>What the camera board sends: how frames are divided, how pixels are encoded, what to send to the board. A change during a capture stops it first. Kept in the settings file under [Stream] format.</translation>
    </message>
    <message>
        <source>板子命令，如 01 FE 或 &quot;R&quot;</source>
        <translation>01 FE or &quot;R&quot;</translation>
    </message>
    <message>
        <source>发给摄像头板的字节：十六进制（如 01 FE）或带双引号的文字（如 &quot;R&quot;、&quot;AT\r\n&quot;）。按回车或“发送”发出；串口未打开时先打开它。</source>
        <translation>Bytes for the camera board: hex (such as 01 FE) or text in double quotes (such as &quot;R&quot;, &quot;AT\r\n&quot;). Enter or &quot;Send&quot; sends them; a closed port is opened first.</translation>
    </message>
    <message>
        <source>发送</source>
        <translation>Send</translation>
    </message>
    <message>
        <source>当前：%1</source>
        <translation>Current: %1</translation>
    </message>
    <message>
        <source>请输入要发送的内容：十六进制（如 01 FE）或带双引号的文字（如 &quot;R&quot;）。</source>
        <translation>Enter what to send: hex (such as 01 FE) or text in double quotes (such as &quot;R&quot;).</translation>
    </message>
    <message>
        <source>无法发送“%1”：%2</source>
        <translation>Cannot send &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>串口未打开：请先选择串口号。</source>
        <translation>The port is not open: choose a port first.</translation>
    </message>
    <message>
        <source>串口未打开</source>
        <translation>The port is not open</translation>
    </message>
    <message>
        <source>发送失败：%1 字节中只发出了 %2 字节（%3）。</source>
        <translation>Sending failed: only %2 of %1 bytes were sent (%3).</translation>
    </message>
    <message>
        <source>已发送 %1 字节：%2</source>
        <translation>Sent %1 bytes: %2</translation>
    </message>
    <message>
        <source>无法保存文件：%1</source>
        <translation>Cannot save file: %1</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>串口设备的路径（如 /dev/ttyAMA0，或 /dev/serial/by-id/ 下的名字；留空则不再提供）：</source>
        <translation>Path of the serial device (such as /dev/ttyAMA0, or a name under /dev/serial/by-id/; leave empty to offer none):</translation>
    </message>
    <message>
        <source>设备路径要以 / 开头，例如 /dev/ttyAMA0。</source>
        <translation>A device path starts with /, for example /dev/ttyAMA0.</translation>
    </message>
    <message>
        <source>注意：%1 同时被 %2 打开，它可能取走摄像头板发来的数据。</source>
        <translation>Note: %1 is also open in %2, which may take data the camera board sends.</translation>
    </message>
    <message>
        <source>可以让 ModemManager 不碰这个设备：给它加 udev 规则 ENV{ID_MM_DEVICE_IGNORE}=&quot;1&quot;，或者 sudo systemctl stop ModemManager。</source>
        <translation> ModemManager can be told to leave the device alone with the udev rule ENV{ID_MM_DEVICE_IGNORE}=&quot;1&quot;, or stopped with sudo systemctl stop ModemManager.</translation>
    </message>
    <message>
        <source>%1  丢帧（计数）%2</source>
        <translation>%1  lost frames (counted) %2</translation>
    </message>
</context>
<context>
    <name>CReplayBar</name>
    <message>
        <source>回放</source>
        <translation>Replay</translation>
    </message>
    <message>
        <source>暂停</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>单步</source>
        <translation>Step</translation>
    </message>
    <message>
        <source>暂停时再放一帧的数据</source>
        <translation>While paused, play one more frame of data</translation>
    </message>
    <message>
        <source>重新开始</source>
        <translation>Restart</translation>
    </message>
    <message>
        <source>最快</source>
        <translation>Fastest</translation>
    </message>
    <message>
        <source>不按录制时的节奏，页面能收多快就放多快</source>
        <translation>Play as fast as the page takes it, not at the recorded pace</translation>
    </message>
    <message>
        <source>结束回放</source>
        <translation>End replay</translation>
    </message>
    <message>
        <source>录制文件中的数据格式“%1”无法识别：%2</source>
        <translation>The stream format &quot;%1&quot; in the recording is not understood: %2</translation>
    </message>
    <message>
        <source>页面尚未创建，无法回放</source>
        <translation>The page is not created yet: cannot replay</translation>
    </message>
    <message>
        <source>页面无法开始采集：%1</source>
        <translation>The page cannot start a capture: %1</translation>
    </message>
    <message>
        <source>无法重新开始：%1</source>
        <translation>Cannot restart: %1</translation>
    </message>
    <message>
        <source>回放 %1：%2 / %3 秒（已放完）</source>
        <translation>Replay %1: %2 / %3 s (finished)</translation>
    </message>
    <message>
        <source>回放 %1：%2 / %3 秒（暂停）</source>
        <translation>Replay %1: %2 / %3 s (paused)</translation>
    </message>
    <message>
        <source>回放 %1：%2 / %3 秒</source>
        <translation>Replay %1: %2 / %3 s</translation>
    </message>
</context>
<context>
    <name>CStreamFormatDialog</name>
    <message>
        <source>十六进制（如 01 FE）或带双引号的文字（如 &quot;*RDY*&quot;、&quot;R&quot;）</source>
        <translation>hex (such as 01 FE) or text in double quotes (such as &quot;*RDY*&quot;, &quot;R&quot;)</translation>
    </message>
    <message>
        <source>自定义数据格式</source>
        <translation>Custom stream format</translation>
    </message>
    <message>
        <source>不发送</source>
        <translation>Nothing sent</translation>
    </message>
    <message>
        <source>如 01 FE</source>
        <translation>e.g. 01 FE</translation>
    </message>
    <message>
        <source>没有结束标记</source>
        <translation>No end marker</translation>
    </message>
    <message>
        <source>无帧头的数据：线路静默这么久之后开始新的一帧</source>
        <translation>Data without a header: a new frame starts after the line is silent this long</translation>
    </message>
    <message>
        <source>帧的划分：</source>
        <translation>Framing:</translation>
    </message>
    <message>
        <source>像素编码：</source>
        <translation>Pixel encoding:</translation>
    </message>
    <message>
        <source>起始标记：</source>
        <translation>Start marker:</translation>
    </message>
    <message>
        <source>结束标记：</source>
        <translation>End marker:</translation>
    </message>
    <message>
        <source>帧间静默：</source>
        <translation>Gap between frames:</translation>
    </message>
    <message>
        <source>开始时发送：</source>
        <translation>Send at start:</translation>
    </message>
    <message>
        <source>每帧后发送：</source>
        <translation>Send after each frame:</translation>
    </message>
    <message>
        <source>停止时发送：</source>
        <translation>Send at stop:</translation>
    </message>
    <message>
        <source>字节的写法：%1。</source>
        <translation>Bytes are written as %1.</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>起始标记</source>
        <translation>Start marker</translation>
    </message>
    <message>
        <source>结束标记</source>
        <translation>End marker</translation>
    </message>
    <message>
        <source>开始时发送</source>
        <translation>Send at start</translation>
    </message>
    <message>
        <source>每帧后发送</source>
        <translation>Send after each frame</translation>
    </message>
    <message>
        <source>停止时发送</source>
        <translation>Send at stop</translation>
    </message>
    <message>
        <source>%1：%2</source>
        <translation>%1: %2</translation>
    </message>
</context>
<context>
    <name>CTavixToolApp</name>
    <message>
        <source>无法把 %1 移到 %2：%3</source>
        <translation>Cannot move %1 to %2: %3</translation>
    </message>
    <message>
        <source>TavixTool 录制文件 (*.tavixrec);;所有文件 (*)</source>
        <translation>TavixTool recordings (*.tavixrec);;All files (*)</translation>
    </message>
    <message>
        <source>无法回放这个文件：
%1</source>
        <translation>Cannot replay this file:
%1</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>main</name>
    <message>
        <source>TavixTool %1
摄像头测试工具：经串口接收摄像头板的原始图像帧并显示。
设置文件：%2
帮助文件：%3Help.chm
</source>
        <translation>TavixTool %1
Camera test tool: receives a camera board's raw picture frames over a serial port and shows them.
Settings file: %2
Help file: %3Help.chm
</translation>
    </message>
    <message>
        <source>用法：TavixTool [文件]
摄像头测试工具：经串口接收摄像头板的原始图像帧（一个帧头字节，然后是
行 × 列个像素字节，黑白或 U,Y,V 彩色），边收边画，可以单幅或连续采集。

  文件          回放这个录制文件（.tavixrec）；不能回放时说明原因
  --version     显示版本、设置文件和帮助文件的位置
  --help        显示这段说明

环境变量 TAVIX_DEBUG=1：在终端显示采集线程结束时的调试行（供开发者使用）。
最近打开的文件记在 ~/.config/TavixTool/TavixTool.conf 中。

打开串口需要访问串口设备的权限：sudo usermod -aG dialout $USER，然后重新登录。
设置保存在程序旁的 DevSet.ini 中（那里可以写入时），否则保存在
~/.config/TavixTool/DevSet.ini 中；--version 显示正在使用的文件。
</source>
        <translation>Usage: TavixTool [FILE]
Camera test tool: receives raw picture frames from a camera board over a
serial port (one header byte, then rows x columns pixel bytes, grayscale or
U,Y,V color) and draws them as they come, one at a time or continuously.

  FILE          replay this recording (.tavixrec); says why if it cannot
  --version     show the version and where the settings and help files are
  --help        show this text

Environment variable TAVIX_DEBUG=1: print debug lines when the capture thread
ends (for developers).
Recently opened files are kept in ~/.config/TavixTool/TavixTool.conf.

Ports need permission: sudo usermod -aG dialout $USER, then log in again.
Settings are kept in DevSet.ini beside the program (where it can be written),
else in ~/.config/TavixTool/DevSet.ini; --version shows the file in use.
</translation>
    </message>
</context>
</TS>
