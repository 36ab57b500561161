<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CPortOwner</name>
    <message>
        <source>没有权限打开 %1：请把当前用户加入 dialout 组（sudo usermod -aG dialout $USER），然后重新登录。</source>
        <translation>No permission to open %1: add the current user to the dialout group (sudo usermod -aG dialout $USER), then log in again.</translation>
    </message>
    <message>
        <source>%1 正被另一个程序占用。</source>
        <translation>%1 is in use by another program.</translation>
    </message>
    <message>
        <source>%1 正被另一个程序占用：%2。</source>
        <translation>%1 is in use by another program: %2.</translation>
    </message>
    <message>
        <source>该串口号没有对应的设备。</source>
        <translation>No device exists for this port number.</translation>
    </message>
    <message>
        <source>设备 %1 不存在：摄像头板没有连接，或已被拔出。</source>
        <translation>Device %1 does not exist: the camera board is not connected or was unplugged.</translation>
    </message>
    <message>
        <source>波特率 %1 无效。</source>
        <translation>Baud rate %1 is not valid.</translation>
    </message>
    <message>
        <source>%1 不是串口设备。</source>
        <translation>%1 is not a serial device.</translation>
    </message>
    <message>
        <source>%1：%2。</source>
        <translation>%1: %2.</translation>
    </message>
    <message>
        <source>请选择波特率!</source>
        <translation>Select a baud rate!</translation>
    </message>
    <message>
        <source>请选择串口号!</source>
        <translation>Select a port!</translation>
    </message>
    <message>
        <source>打开串口失败!串口号 %1 ，波特率 %2 
%3</source>
        <translation>Cannot open the port! Port number %1, baud rate %2
%3</translation>
    </message>
    <message>
        <source>打开串口失败!串口 %1 ，波特率 %2 
%3</source>
        <translation>Cannot open the port! Port %1, baud rate %2
%3</translation>
    </message>
</context>
<context>
    <name>CPseudoTerminal</name>
    <message>
        <source>Windows 没有伪终端，这一版不能回放录制文件：请用 tavix-diagnose 读取录制文件，或在 Linux 上回放。</source>
        <translation>Windows has no pseudo-terminals, so this version cannot replay a recording: read the recording with tavix-diagnose, or replay it on Linux.</translation>
    </message>
</context>
<context>
    <name>DeviceHolders</name>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>%1（进程号 %2）</source>
        <translation>%1 (process %2)</translation>
    </message>
</context>
<context>
    <name>PortSelection</name>
    <message>
        <source>请选择串口</source>
        <translation>Select port</translation>
    </message>
    <message>
        <source>请选择波特率</source>
        <translation>Select baud rate</translation>
    </message>
    <message>
        <source>%1（无权限）</source>
        <translation>%1 (no permission)</translation>
    </message>
    <message>
        <source>%1（被占用）</source>
        <translation>%1 (in use)</translation>
    </message>
    <message>
        <source>%1（未连接）</source>
        <translation>%1 (not connected)</translation>
    </message>
    <message>
        <source>%1（不是串口）</source>
        <translation>%1 (not a serial port)</translation>
    </message>
    <message>
        <source>（没有对应的设备）</source>
        <translation>(no device)</translation>
    </message>
    <message>
        <source>%1
当前用户没有权限打开它。
请把当前用户加入 dialout 组（sudo usermod -aG dialout $USER），然后重新登录。</source>
        <translation>%1
The current user has no permission to open it.
Add the current user to the dialout group (sudo usermod -aG dialout $USER), then log in again.</translation>
    </message>
    <message>
        <source>%1
正被另一个程序占用。</source>
        <translation>%1
In use by another program.</translation>
    </message>
    <message>
        <source>%1
正被另一个程序占用：%2。</source>
        <translation>%1
In use by another program: %2.</translation>
    </message>
    <message>
        <source>%1
设备不存在：摄像头板没有连接，或已被拔出。</source>
        <translation>%1
The device does not exist: the camera board is not connected or was unplugged.</translation>
    </message>
    <message>
        <source>%1
不是串口设备。</source>
        <translation>%1
Not a serial device.</translation>
    </message>
</context>
</TS>
