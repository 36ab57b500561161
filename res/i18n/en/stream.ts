<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CJpegDecoder</name>
    <message>
        <source>JPEG 库未给出原因</source>
        <translation>the JPEG library gave no reason</translation>
    </message>
    <message>
        <source>JPEG 解码器无法初始化：%1</source>
        <translation>Cannot start the JPEG decoder: %1</translation>
    </message>
    <message>
        <source>没有 JPEG 数据</source>
        <translation>No JPEG data</translation>
    </message>
    <message>
        <source>JPEG 图片尺寸 %1 × %2 超过上限（%3 像素）</source>
        <translation>JPEG picture size %1 × %2 is over the limit (%3 pixels)</translation>
    </message>
</context>
<context>
    <name>FormatRecogniser</name>
    <message>
        <source>只看到 %1 个完整帧，至少要 %2 个才能确定</source>
        <translation>only %1 whole frames seen; at least %2 are needed to be sure</translation>
    </message>
    <message>
        <source>有 JPEG 起始标记 FF D8 FF，但没有一帧完整的 JPEG</source>
        <translation>JPEG start marker FF D8 FF found, but no whole JPEG frame</translation>
    </message>
    <message>
        <source>没有完整的 JPEG 帧（FF D8 … FF D9）</source>
        <translation>no whole JPEG frame (FF D8 … FF D9)</translation>
    </message>
    <message>
        <source>%1 帧完整的 JPEG（FF D8 … FF D9），SOF 给出 %2，单分量（灰度）</source>
        <translation>%1 whole JPEG frames (FF D8 … FF D9), SOF gives %2, one component (grayscale)</translation>
    </message>
    <message>
        <source>%1 帧完整的 JPEG（FF D8 … FF D9），SOF 给出 %2，三分量（彩色）</source>
        <translation>%1 whole JPEG frames (FF D8 … FF D9), SOF gives %2, three components (color)</translation>
    </message>
    <message>
        <source>，帧间共有 %1 字节其他数据（文字或长度行）</source>
        <translation>, with %1 bytes of other data between frames (text or length lines)</translation>
    </message>
    <message>
        <source>JPEG 帧解不开</source>
        <translation>the JPEG frames cannot be decoded</translation>
    </message>
    <message>
        <source>%1 帧的尺寸或分量数与第一帧不同</source>
        <translation>%1 frames differ from the first in size or components</translation>
    </message>
    <message>
        <source>%1 帧自描述帧头 D5 AA 96 5A，头中写明 %2、%3</source>
        <translation>%1 frames with self-describing header D5 AA 96 5A, which states %2, %3</translation>
    </message>
    <message>
        <source>，帧计数跳了 %1 次</source>
        <translation>, frame counter skipped %1 times</translation>
    </message>
    <message>
        <source>%1 帧的尺寸或编码与第一帧不同</source>
        <translation>%1 frames differ from the first in size or encoding</translation>
    </message>
    <message>
        <source>%1 帧数据包（00 长度 命令 … 异或），命令 11 写明 %2、%3</source>
        <translation>%1 frames of packets (00 length command … XOR), command 11 states %2, %3</translation>
    </message>
    <message>
        <source>，%1 帧有损</source>
        <translation>, %1 frames damaged</translation>
    </message>
    <message>
        <source>起始标记 %1</source>
        <translation>start marker %1</translation>
    </message>
    <message>
        <source>起始标记 %1 与结束标记 %2</source>
        <translation>start marker %1 and end marker %2</translation>
    </message>
    <message>
        <source>只见到 %1 处%2，还看不出帧长</source>
        <translation>only %1 of %2 seen; the frame length is not clear yet</translation>
    </message>
    <message>
        <source>帧太少，看不出帧长</source>
        <translation>too few frames to tell the frame length</translation>
    </message>
    <message>
        <source>%1 帧%2，每帧 %3 字节像素；%4</source>
        <translation>%1 frames with %2, %3 pixel bytes each; %4</translation>
    </message>
    <message>
        <source>帧头字节 %1 与画面中的饱和像素连在一起（%2 处），找不准帧头位置</source>
        <translation>header byte %1 runs into saturated pixels of the picture (%2 places); the header position is unclear</translation>
    </message>
    <message>
        <source>每帧有 %1 处都是 %2，找不准帧头位置</source>
        <translation>each frame has %1 places with %2; the header position is unclear</translation>
    </message>
    <message>
        <source>每 %1 字节出现一次帧头字节 %2（%3 帧）；%4</source>
        <translation>header byte %2 every %1 bytes (%3 frames); %4</translation>
    </message>
    <message>
        <source>按停顿分成 %1 段，</source>
        <translation>split at pauses into %1 parts, </translation>
    </message>
    <message>
        <source>帧与帧在 %1 字节处比在 %2 字节处更相似，帧长不确定（帧间也许有帧头）</source>
        <translation>frames are more alike %1 bytes apart than %2 bytes apart; the frame length is uncertain (maybe a header between frames)</translation>
    </message>
    <message>
        <source>看不出帧从哪个字节开始（帧首行与上一帧末行差别不明显）</source>
        <translation>cannot tell which byte a frame starts at (its first row looks like the last row of the frame before)</translation>
    </message>
    <message>
        <source>数据每 %1 字节与自身相似，</source>
        <translation>the data repeats itself every %1 bytes, </translation>
    </message>
    <message>
        <source>帧起点错开 %1 字节时读作%2也一样平滑，没有停顿可依，分不清</source>
        <translation>with the frame start moved by %1 bytes it reads just as smoothly as %2; no pauses to go by, so it cannot be told</translation>
    </message>
    <message>
        <source>无帧头的数据看不出板子是否要等请求才发帧</source>
        <translation>headerless data does not show whether the board waits for a request before each frame</translation>
    </message>
    <message>
        <source>采集时发送过请求，看不出板子是否要等请求才发帧</source>
        <translation>requests were sent during the capture; cannot tell whether the board waits for them</translation>
    </message>
    <message>
        <source>%1%2 帧各 %3 字节；%4</source>
        <translation>%1frames: %2 of %3 bytes each; %4</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>没有数据</source>
        <translation>No data</translation>
    </message>
    <message>
        <source>（只在这 %1 字节里帧头位置不变，其余处也许丢了字节）</source>
        <translation> (the header stays in place only in these %1 bytes; bytes may have been lost elsewhere)</translation>
    </message>
    <message>
        <source>不是能识别的数据格式</source>
        <translation>Not a stream format that can be recognized</translation>
    </message>
    <message>
        <source>数据格式是 %1</source>
        <translation>The stream format is %1</translation>
    </message>
    <message>
        <source>也可能是 %1（%2）</source>
        <translation>it could also be %1 (%2)</translation>
    </message>
    <message>
        <source>再收约 %1 字节才能确定</source>
        <translation>about %1 more bytes are needed to be sure</translation>
    </message>
    <message>
        <source>可能是 %1，但不能确定</source>
        <translation>Probably %1, but not certain</translation>
    </message>
</context>
<context>
    <name>PixelClassifier</name>
    <message>
        <source>帧长 %1 字节排不成任何像素编码的画面</source>
        <translation>a frame of %1 bytes makes no picture in any pixel encoding</translation>
    </message>
    <message>
        <source>每像素 3 字节，但分不清是 U,Y,V 还是 R,G,B</source>
        <translation>3 bytes per pixel, but cannot tell U,Y,V from R,G,B</translation>
    </message>
    <message>
        <source>YUV 4:2:2 中 U 与 V 的先后无法从数据分辨（YUYV 或 YVYU）</source>
        <translation>the data does not show the order of U and V in YUV 4:2:2 (YUYV or YVYU)</translation>
    </message>
    <message>
        <source>YUV 4:2:2 中 Y 字节的位置与 U、V 的先后都无法确定</source>
        <translation>neither the position of the Y bytes nor the order of U and V in YUV 4:2:2 can be told</translation>
    </message>
    <message>
        <source>按%1读，相邻像素之差是远处像素之差的 %2</source>
        <translation>read as %1, neighboring pixels differ %2 as much as distant ones</translation>
    </message>
    <message>
        <source>（其次%1：%2）</source>
        <translation> (next: %1: %2)</translation>
    </message>
    <message>
        <source>画面几乎没有变化（平坦），看不出行宽和编码</source>
        <translation>the picture hardly changes (flat); cannot tell the row width or encoding</translation>
    </message>
    <message>
        <source>任何排法都不像相机画面（相邻像素并不比远处像素更接近）</source>
        <translation>no layout looks like a camera picture (neighboring pixels are no closer than distant ones)</translation>
    </message>
    <message>
        <source>；%1 一样平滑，取页面所设的行列数</source>
        <translation>; %1 is just as smooth, so the page&apos;s rows and columns are taken</translation>
    </message>
    <message>
        <source>两种排法几乎一样平滑：%1 与 %2</source>
        <translation>two layouts are about equally smooth: %1 and %2</translation>
    </message>
    <message>
        <source>画面在重复，行宽可能是 %1 也可能是 %2</source>
        <translation>the picture repeats; the row width may be %1 or %2</translation>
    </message>
    <message>
        <source>%1×%2 的长宽比不像相机画面</source>
        <translation>the aspect ratio of %1×%2 does not look like a camera picture</translation>
    </message>
</context>
<context>
    <name>PixelEncoding</name>
    <message>
        <source>随页面（灰度页 8 位灰度，彩色页 U,Y,V）</source>
        <translation>By page (grayscale page 8-bit gray, color page U,Y,V)</translation>
    </message>
    <message>
        <source>8 位灰度</source>
        <translation>8-bit gray</translation>
    </message>
    <message>
        <source>U,Y,V（每像素 3 字节）</source>
        <translation>U,Y,V (3 bytes per pixel)</translation>
    </message>
    <message>
        <source>RGB565 高字节在前</source>
        <translation>RGB565 high byte first</translation>
    </message>
    <message>
        <source>RGB565 低字节在前</source>
        <translation>RGB565 low byte first</translation>
    </message>
    <message>
        <source>YUV 4:2:2（YUYV）</source>
        <translation>YUV 4:2:2 (YUYV)</translation>
    </message>
    <message>
        <source>YUV 4:2:2（UYVY）</source>
        <translation>YUV 4:2:2 (UYVY)</translation>
    </message>
    <message>
        <source>YUV 4:2:2（YVYU）</source>
        <translation>YUV 4:2:2 (YVYU)</translation>
    </message>
    <message>
        <source>YUYV/YVYU 的 Y（灰度）</source>
        <translation>Y of YUYV/YVYU (gray)</translation>
    </message>
    <message>
        <source>UYVY 的 Y（灰度）</source>
        <translation>Y of UYVY (gray)</translation>
    </message>
    <message>
        <source>1 位二值图（高位在左，1 为黑）</source>
        <translation>1-bit binary (high bit left, 1 = black)</translation>
    </message>
    <message>
        <source>JPEG（灰度显示）</source>
        <translation>JPEG (shown gray)</translation>
    </message>
    <message>
        <source>位 1（黑）</source>
        <translation>bit 1 (black)</translation>
    </message>
    <message>
        <source>位 0（白）</source>
        <translation>bit 0 (white)</translation>
    </message>
    <message>
        <source>灰度 %1</source>
        <translation>gray %1</translation>
    </message>
</context>
<context>
    <name>StreamFormat</name>
    <message>
        <source>自定义</source>
        <translation>Custom</translation>
    </message>
    <message>
        <source>单字节帧头</source>
        <translation>One-byte header</translation>
    </message>
    <message>
        <source>起始标记（+ 结束标记）</source>
        <translation>Start marker (+ end marker)</translation>
    </message>
    <message>
        <source>自描述帧头（D5 AA 96 5A）</source>
        <translation>Self-describing header (D5 AA 96 5A)</translation>
    </message>
    <message>
        <source>数据包（LiveOV7670）</source>
        <translation>Packets (LiveOV7670)</translation>
    </message>
    <message>
        <source>JPEG 标记</source>
        <translation>JPEG markers</translation>
    </message>
    <message>
        <source>无帧头</source>
        <translation>No header</translation>
    </message>
    <message>
        <source>单字节帧头（默认）</source>
        <translation>One-byte header (default)</translation>
    </message>
    <message>
        <source>00 FF 01 01 + 灰度</source>
        <translation>00 FF 01 01 + gray</translation>
    </message>
    <message>
        <source>01 FE … FE 01（1 位二值图）</source>
        <translation>01 FE … FE 01 (1-bit binary)</translation>
    </message>
    <message>
        <source>01 FE … FE 01（0/255 灰度）</source>
        <translation>01 FE … FE 01 (0/255 gray)</translation>
    </message>
    <message>
        <source>Arduino 相机串口流</source>
        <translation>Arduino camera serial stream</translation>
    </message>
    <message>
        <source>LiveOV7670 数据包</source>
        <translation>LiveOV7670 packets</translation>
    </message>
    <message>
        <source>JPEG（FF D8 … FF D9）</source>
        <translation>JPEG (FF D8 … FF D9)</translation>
    </message>
    <message>
        <source>JPEG 灰度（FF D8 … FF D9）</source>
        <translation>JPEG gray (FF D8 … FF D9)</translation>
    </message>
    <message>
        <source>RGB565 无帧头 320×240</source>
        <translation>RGB565 no header 320×240</translation>
    </message>
    <message>
        <source>*RDY* + 灰度 320×240</source>
        <translation>*RDY* + gray 320×240</translation>
    </message>
    <message>
        <source>请求一帧（01）+ RGB565</source>
        <translation>Request (01) + RGB565</translation>
    </message>
    <message>
        <source>引号没有配对</source>
        <translation>unmatched quote</translation>
    </message>
    <message>
        <source>未知的帧格式</source>
        <translation>unknown framing</translation>
    </message>
    <message>
        <source>未知的像素编码</source>
        <translation>unknown pixel encoding</translation>
    </message>
    <message>
        <source>起始标记须为 1 到 8 个字节</source>
        <translation>the start marker must be 1 to 8 bytes</translation>
    </message>
    <message>
        <source>结束标记最多 8 个字节</source>
        <translation>the end marker can be at most 8 bytes</translation>
    </message>
    <message>
        <source>帧间静默时间须在 1 到 10000 毫秒之间</source>
        <translation>the gap between frames must be 1 to 10000 ms</translation>
    </message>
    <message>
        <source>发送给板子的字节每项最多 64 个</source>
        <translation>at most 64 bytes can be sent to the board in each item</translation>
    </message>
    <message>
        <source>JPEG 编码只能与 JPEG 标记帧格式一起使用</source>
        <translation>JPEG encoding works only with JPEG marker framing</translation>
    </message>
    <message>
        <source>JPEG 标记帧格式只能使用 JPEG 编码</source>
        <translation>JPEG marker framing works only with JPEG encoding</translation>
    </message>
    <message>
        <source>“随页面”编码只能与单字节帧头一起使用</source>
        <translation>the &quot;by page&quot; encoding works only with a one-byte header</translation>
    </message>
    <message>
        <source>“\x”后面须跟十六进制数字</source>
        <translation>&quot;\x&quot; must be followed by hex digits</translation>
    </message>
    <message>
        <source>不认识的转义“\%1”</source>
        <translation>unknown escape &quot;\%1&quot;</translation>
    </message>
    <message>
        <source>十六进制字节须两位一组：“%1”</source>
        <translation>hex bytes must be pairs of digits: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>无法识别的字节：“%1”（应为十六进制字节如 00 FF，或带引号的文字如 &quot;R&quot;）</source>
        <translation>bytes not recognized: &quot;%1&quot; (use hex bytes like 00 FF, or quoted text like &quot;R&quot;)</translation>
    </message>
    <message>
        <source>数据格式为空</source>
        <translation>the stream format is empty</translation>
    </message>
    <message>
        <source>没有名为“%1”的预设格式</source>
        <translation>no preset named &quot;%1&quot;</translation>
    </message>
    <message>
        <source>自定义格式须以“custom,”开头，而不是“%1”</source>
        <translation>a custom format must begin with &quot;custom,&quot;, not &quot;%1&quot;</translation>
    </message>
    <message>
        <source>缺少“=”：“%1”</source>
        <translation>missing &quot;=&quot;: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>“%1”出现了不止一次</source>
        <translation>&quot;%1&quot; appears more than once</translation>
    </message>
    <message>
        <source>未知的帧格式“%1”</source>
        <translation>unknown framing &quot;%1&quot;</translation>
    </message>
    <message>
        <source>未知的像素编码“%1”</source>
        <translation>unknown pixel encoding &quot;%1&quot;</translation>
    </message>
    <message>
        <source>帧间静默时间不是数字：“%1”</source>
        <translation>the gap between frames is not a number: &quot;%1&quot;</translation>
    </message>
    <message>
        <source>“%1”的值有误：%2</source>
        <translation>bad value of &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>未知的项“%1”</source>
        <translation>unknown item &quot;%1&quot;</translation>
    </message>
</context>
<context>
    <name>StreamSettings</name>
    <message>
        <source>设置文件中的数据格式“%1”无法识别（%2），已使用默认格式</source>
        <translation>The stream format &quot;%1&quot; in the settings file is not recognized (%2); the default format is used</translation>
    </message>
</context>
</TS>
