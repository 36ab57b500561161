<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CBlackPage</name>
    <message>
        <source>拖动改变二值化阀值，最后一帧立刻按新阀值显示</source>
        <translation>Drag to change the threshold; the last frame is redrawn with it at once</translation>
    </message>
    <message>
        <source>按阈值显示二值化图像</source>
        <translation>Binarize the picture by threshold</translation>
    </message>
    <message>
        <source>请至少选择一项显示方式：“串口图像”或“二值化图像”</source>
        <translation>Choose at least one display: &quot;Camera picture&quot; or &quot;Binarized picture&quot;</translation>
    </message>
    <message>
        <source>请输入二值化阀值</source>
        <translation>Enter the threshold</translation>
    </message>
</context>
<context>
    <name>CCapturePage</name>
    <message>
        <source>请输入一个正整数。</source>
        <translation>Enter a positive whole number.</translation>
    </message>
    <message>
        <source>请输入一个介于 %1 和 %2 之间的整数。</source>
        <translation>Enter a whole number from %1 to %2.</translation>
    </message>
    <message>
        <source>请输入图像行数</source>
        <translation>Enter the number of rows</translation>
    </message>
    <message>
        <source>整幅图的显示行数必须大于0</source>
        <translation>The number of rows must be above 0</translation>
    </message>
    <message>
        <source>图像行数不能大于9999</source>
        <translation>The number of rows cannot be above 9999</translation>
    </message>
    <message>
        <source>请输入图像列数</source>
        <translation>Enter the number of columns</translation>
    </message>
    <message>
        <source>整幅图的显示列数必须大于0</source>
        <translation>The number of columns must be above 0</translation>
    </message>
    <message>
        <source>图像列数不能大于9999</source>
        <translation>The number of columns cannot be above 9999</translation>
    </message>
    <message>
        <source>请输入间隔列数</source>
        <translation>Enter the column spacing</translation>
    </message>
    <message>
        <source>间隔列数必须在0到1000之间</source>
        <translation>The column spacing must be from 0 to 1000</translation>
    </message>
    <message>
        <source>请输入间隔行数</source>
        <translation>Enter the row spacing</translation>
    </message>
    <message>
        <source>间隔行数必须在0到1000之间</source>
        <translation>The row spacing must be from 0 to 1000</translation>
    </message>
    <message>
        <source>采集未能启动，请稍后再试</source>
        <translation>The capture did not start; try again later</translation>
    </message>
    <message>
        <source>保存图片…</source>
        <translation>Save picture…</translation>
    </message>
    <message>
        <source>保存原始帧…</source>
        <translation>Save raw frame…</translation>
    </message>
    <message>
        <source>复制图片</source>
        <translation>Copy picture</translation>
    </message>
    <message>
        <source>打开图片…</source>
        <translation>Open picture…</translation>
    </message>
    <message>
        <source>保存每一帧…</source>
        <translation>Save every frame…</translation>
    </message>
    <message>
        <source>诊断串口数据…</source>
        <translation>Diagnose serial data…</translation>
    </message>
    <message>
        <source>看看串口上的数据是什么：帧头、帧长、行列数、波特率</source>
        <translation>Find out what the serial data is: header, frame length, rows and columns, baud rate</translation>
    </message>
    <message>
        <source>显示直方图</source>
        <translation>Show histogram</translation>
    </message>
    <message>
        <source>只显示完整帧</source>
        <translation>Whole frames only</translation>
    </message>
    <message>
        <source>整帧收齐后才画到图上，不再逐行显示正在接收的帧</source>
        <translation>Draw a frame only once it is complete, not row by row while it arrives</translation>
    </message>
    <message>
        <source>录制…</source>
        <translation>Record…</translation>
    </message>
    <message>
        <source>把串口收到的原始数据连同时间记录到文件，以后可以回放</source>
        <translation>Record the raw serial data with its timing to a file, to replay later</translation>
    </message>
    <message>
        <source>保存图片</source>
        <translation>Save picture</translation>
    </message>
    <message>
        <source>PNG 图片 (*.png)</source>
        <translation>PNG pictures (*.png)</translation>
    </message>
    <message>
        <source>无法保存文件 %1</source>
        <translation>Cannot save file %1</translation>
    </message>
    <message>
        <source>图片已保存到 %1</source>
        <translation>Picture saved to %1</translation>
    </message>
    <message>
        <source>还没有完整的一帧可以保存：请先采集。</source>
        <translation>There is no whole frame to save yet: capture first.</translation>
    </message>
    <message>
        <source>JPEG 文件 (*.jpg)（收到的字节原样保存）</source>
        <translation>JPEG files (*.jpg) (the bytes as received)</translation>
    </message>
    <message>
        <source>PGM 图像 (*.pgm)（同时保存原始数据 *.%1）</source>
        <translation>PGM pictures (*.pgm) (raw data also saved as *.%1)</translation>
    </message>
    <message>
        <source>PGM 图像 (*.pgm)</source>
        <translation>PGM pictures (*.pgm)</translation>
    </message>
    <message>
        <source>PPM 图像 (*.ppm)（同时保存原始 UYV 数据 *.uyv）</source>
        <translation>PPM pictures (*.ppm) (raw UYV data also saved as *.uyv)</translation>
    </message>
    <message>
        <source>PPM 图像 (*.ppm)（同时保存原始数据 *.%1）</source>
        <translation>PPM pictures (*.ppm) (raw data also saved as *.%1)</translation>
    </message>
    <message>
        <source>保存原始帧</source>
        <translation>Save raw frame</translation>
    </message>
    <message>
        <source>原始帧已保存到 %1</source>
        <translation>Raw frame saved to %1</translation>
    </message>
    <message>
        <source>原始帧已保存到 %1 和 %2</source>
        <translation>Raw frame saved to %1 and %2</translation>
    </message>
    <message>
        <source>图片已复制到剪贴板</source>
        <translation>Picture copied to the clipboard</translation>
    </message>
    <message>
        <source>打开图片</source>
        <translation>Open picture</translation>
    </message>
    <message>
        <source>图片 (*.pgm *.ppm *.png *.jpg *.jpeg)</source>
        <translation>Pictures (*.pgm *.ppm *.png *.jpg *.jpeg)</translation>
    </message>
    <message>
        <source>采集进行中，或内存不足：无法显示图片 %1</source>
        <translation>A capture is running, or memory is short: cannot show picture %1</translation>
    </message>
    <message>
        <source>已显示图片 %1（%2 行 × %3 列）</source>
        <translation>Showing picture %1 (%2 rows × %3 columns)</translation>
    </message>
    <message>
        <source>保存每一帧到文件夹</source>
        <translation>Save every frame to folder</translation>
    </message>
    <message>
        <source>尺寸来自数据流：%1 × %2</source>
        <translation>Size from the stream: %1 × %2</translation>
    </message>
    <message>
        <source>尺寸来自数据流</source>
        <translation>Size from the stream</translation>
    </message>
    <message>
        <source>请先开始采集，再录制。</source>
        <translation>Start a capture first, then record.</translation>
    </message>
    <message>
        <source>录制</source>
        <translation>Record</translation>
    </message>
    <message>
        <source>TavixTool 录制文件 (*.tavixrec)</source>
        <translation>TavixTool recordings (*.tavixrec)</translation>
    </message>
    <message>
        <source>录制已停止：%1
文件 %2 保留了到最后一个完整数据块为止的 %3 字节，可以回放。</source>
        <translation>Recording stopped: %1
File %2 keeps %3 bytes, up to the last whole block, and can be replayed.</translation>
    </message>
    <message>
        <source>录制已保存到 %1（%2 字节）</source>
        <translation>Recording saved to %1 (%2 bytes)</translation>
    </message>
    <message>
        <source>录制中：%1 KB</source>
        <translation>Recording: %1 KB</translation>
    </message>
    <message>
        <source>保存每一帧：已保存 %1 帧，来不及保存 %2 帧</source>
        <translation>Save every frame: %1 frames saved, %2 missed</translation>
    </message>
    <message>
        <source>保存每一帧：已保存 %1 帧</source>
        <translation>Save every frame: %1 frames saved</translation>
    </message>
    <message>
        <source>保存每一帧已停止（已保存 %1 帧）：%2</source>
        <translation>Save every frame stopped (%1 frames saved): %2</translation>
    </message>
    <message>
        <source>没有串口可以诊断。</source>
        <translation>There is no serial port to diagnose.</translation>
    </message>
    <message>
        <source>正在监听串口数据…</source>
        <translation>Listening to the serial data…</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>诊断串口数据：正在监听</source>
        <translation>Diagnose serial data: listening</translation>
    </message>
    <message>
        <source>数据还不够下结论，继续监听…</source>
        <translation>Not enough data for a conclusion yet, still listening…</translation>
    </message>
    <message>
        <source>已应用诊断建议：数据格式“%1”</source>
        <translation>Diagnosis applied: stream format &quot;%1&quot;</translation>
    </message>
    <message>
        <source>已应用诊断建议：帧头 %1，%2 行 × %3 列</source>
        <translation>Diagnosis applied: header %1, %2 rows × %3 columns</translation>
    </message>
    <message>
        <source>停止采集</source>
        <translation>Stop capture</translation>
    </message>
</context>
<context>
    <name>CColourPage</name>
    <message>
        <source>显示通道</source>
        <translation>Channel</translation>
    </message>
    <message>
        <source>彩色</source>
        <translation>Color</translation>
    </message>
    <message>
        <source>只显示 Y</source>
        <translation>Y only</translation>
    </message>
    <message>
        <source>只显示 U</source>
        <translation>U only</translation>
    </message>
    <message>
        <source>只显示 V</source>
        <translation>V only</translation>
    </message>
    <message>
        <source>只显示 %1 通道（灰度）</source>
        <translation>%1 channel only (gray)</translation>
    </message>
</context>
<context>
    <name>CDiagnosisDialog</name>
    <message>
        <source>诊断串口数据</source>
        <translation>Diagnose serial data</translation>
    </message>
    <message>
        <source>应用建议</source>
        <translation>Apply suggestion</translation>
    </message>
    <message>
        <source>重新诊断</source>
        <translation>Diagnose again</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>应用建议：数据格式“%1”，%2 行 × %3 列。</source>
        <translation>Apply suggestion: stream format &quot;%1&quot;, %2 rows × %3 columns.</translation>
    </message>
    <message>
        <source>应用建议：数据格式“%1”。</source>
        <translation>Apply suggestion: stream format &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>应用建议：帧头 %1，%2 行 × %3 列。</source>
        <translation>Apply suggestion: header %1, %2 rows × %3 columns.</translation>
    </message>
    <message>
        <source>数据是 U,Y,V 彩色帧：请在“彩色数据”页面采集。</source>
        <translation>The data are U,Y,V color frames: capture on the &quot;Color data&quot; page.</translation>
    </message>
    <message>
        <source>数据是黑白帧：请在“黑白数据”页面采集。</source>
        <translation>The data are grayscale frames: capture on the &quot;Grayscale data&quot; page.</translation>
    </message>
    <message>
        <source>结论不确定，没有可以直接应用的建议。</source>
        <translation>The result is uncertain: there is no suggestion to apply.</translation>
    </message>
    <message>
        <source> 请在串口设置栏把波特率改为 %1。</source>
        <translation> Set the baud rate to %1 in the serial settings bar.</translation>
    </message>
</context>
<context>
    <name>CFrameSaver</name>
    <message>
        <source>无法在文件夹 %1 中保存帧：%2</source>
        <translation>Cannot save frames in folder %1: %2</translation>
    </message>
    <message>
        <source>文件夹不存在</source>
        <translation>the folder does not exist</translation>
    </message>
</context>
<context>
    <name>DialogTemplate</name>
    <message>
        <source>采集一幅图</source>
        <translation>Capture one</translation>
    </message>
    <message>
        <source>连续采集</source>
        <translation>Capture continuously</translation>
    </message>
    <message>
        <source>显示摄像头图像</source>
        <translation>Camera picture</translation>
    </message>
    <message>
        <source>1:1显示像素点</source>
        <translation>Pixels 1:1</translation>
    </message>
    <message>
        <source>根据界面尺寸放大像素</source>
        <translation>Scale pixels to fit</translation>
    </message>
    <message>
        <source>显示二值化图</source>
        <translation>Binarized picture</translation>
    </message>
    <message>
        <source>关于我们</source>
        <translation>About us</translation>
    </message>
    <message>
        <source>产品一：摄像头模块</source>
        <translation>Product 1: camera module</translation>
    </message>
    <message>
        <source>产品二：开发板</source>
        <translation>Product 2: development board</translation>
    </message>
    <message>
        <source>二值化阀值:</source>
        <translation>Threshold:</translation>
    </message>
    <message>
        <source>图像大小:</source>
        <translation>Picture size:</translation>
    </message>
    <message>
        <source>显示:</source>
        <translation>Show:</translation>
    </message>
    <message>
        <source>行  *</source>
        <translation>rows</translation>
    </message>
    <message>
        <source>列</source>
        <translation>cols</translation>
    </message>
    <message>
        <source>行显示（0为整行显示）</source>
        <translation>Rows shown (0 = all)</translation>
    </message>
    <message>
        <source>列显示（0为整列显示）</source>
        <translation>Columns shown (0 = all)</translation>
    </message>
    <message>
        <source>隔</source>
        <translation>skip</translation>
    </message>
    <message>
        <source>显示模式</source>
        <translation>Display mode</translation>
    </message>
    <message>
        <source>新品先体验</source>
        <translation>Try new products</translation>
    </message>
</context>
<context>
    <name>FrameImage</name>
    <message>
        <source>无法保存文件 %1：%2</source>
        <translation>Cannot save file %1: %2</translation>
    </message>
    <message>
        <source>只写入了 %1 字节中的 %2 字节（磁盘已满？）</source>
        <translation>only %2 of %1 bytes were written (disk full?)</translation>
    </message>
    <message>
        <source>这一帧的数据不完整</source>
        <translation>this frame is incomplete</translation>
    </message>
    <message>
        <source>无法读取图片 %1：%2</source>
        <translation>Cannot read picture %1: %2</translation>
    </message>
    <message>
        <source>图片 %1 太大：%2 × %3，行数和列数都不能大于9999</source>
        <translation>Picture %1 is too large: %2 × %3; rows and columns cannot be above 9999</translation>
    </message>
</context>
</TS>
