<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CCaptureBase</name>
    <message>
        <source>Tavix工作室欢迎您使用TavixTool！</source>
        <translation>Welcome to TavixTool from Tavix Studio!</translation>
    </message>
    <message>
        <source>打开串口失败，请检查串口是否无效或者被占用</source>
        <translation>Cannot open the port. Check that it exists and is not in use</translation>
    </message>
    <message>
        <source>内存不足，无法分配图像缓冲区</source>
        <translation>Not enough memory for the picture buffer</translation>
    </message>
    <message>
        <source>正在找数据头，请稍等...</source>
        <translation>Looking for the header, please wait...</translation>
    </message>
    <message>
        <source>显示整幅图可能需要几十秒哦，请稍等...</source>
        <translation>Showing the whole picture may take tens of seconds, please wait...</translation>
    </message>
    <message>
        <source>未接收到串口数据</source>
        <translation>No data received from the port</translation>
    </message>
    <message>
        <source>出错啦！读串口数据失败</source>
        <translation>Error! Reading from the port failed</translation>
    </message>
    <message>
        <source>读串口数据失败</source>
        <translation>Reading from the port failed</translation>
    </message>
    <message>
        <source>读回滚数据失败</source>
        <translation>Reading the rollback data failed</translation>
    </message>
    <message>
        <source>数据流中的帧太大，已跳过</source>
        <translation>A frame in the stream was too large and was skipped</translation>
    </message>
</context>
<context>
    <name>CLinkHealth</name>
    <message>
        <source>%1 KB/秒（线路的 %2%）</source>
        <translation>%1 KB/s (%2% of line)</translation>
    </message>
    <message>
        <source>%1 KB/秒</source>
        <translation>%1 KB/s</translation>
    </message>
    <message>
        <source>链路：%1 帧/秒，显示 %2 帧/秒 · %3 · 共 %4 字节 %5 帧 · 跳过 %6 · 重同步 %7 · 可疑 %8 · 延迟 %9 ms</source>
        <translation>Link: %1 fps, shown %2 fps · %3 · total %4 bytes %5 frames · skipped %6 · resync %7 · suspect %8 · latency %9 ms</translation>
    </message>
    <message>
        <source>帧/秒：每秒收到的帧数（找到帧头的帧，以及为显示最新一帧而整帧跳过的帧），按最近约 2 秒内的帧计算，帧很慢时至少按最近两帧。
显示帧/秒：每秒完整画到屏幕上的帧数，算法同上。
KB/秒：最近约 2 秒每秒从串口读到的数据量；括号里是占线路最大能力（波特率 / 10 字节每秒）的比例。
共…字节…帧：本次采集开始以来收到的字节数和完整显示的帧数。
跳过：屏幕跟不上时为显示最新一帧而整帧跳过的帧，数据本身完好。
重同步：一帧之后的字节不是帧头的次数：丢了字节，或行数、列数、帧头设置不对。
可疑：因此可能已损坏的帧数。
延迟：最后一帧从收到最后一个字节到画完最后一行所用的时间。
颜色：绿色 = 每帧完整；黄色 = 有帧被跳过（屏幕跟不上，但数据完好）；红色 = 有重同步或可疑帧（数据丢失或设置不对）。</source>
        <translation>fps: frames received per second (frames whose header was found, and whole frames skipped to show the newest one), over about the last 2 seconds, at least the last two frames when frames are slow.
shown fps: frames drawn completely on the screen per second, counted the same way.
KB/s: data read from the port per second over about the last 2 seconds; in brackets, the share of the line&apos;s capacity (baud rate / 10 bytes per second).
total … bytes … frames: bytes received and frames shown completely since this capture started.
skipped: whole frames passed over to show the newest one when the screen cannot keep up; the data itself is intact.
resync: times the byte after a frame was not a header: bytes were lost, or the rows, columns or header setting is wrong.
suspect: frames that may be damaged because of that.
latency: time from the last byte of the last frame to its last row drawn.
Colors: green = every frame whole; yellow = frames skipped (the screen cannot keep up, the data is intact); red = resyncs or suspect frames (data lost or wrong settings).</translation>
    </message>
</context>
<context>
    <name>CRecordingReader</name>
    <message>
        <source>（读取出错：%1）</source>
        <translation> (read error: %1)</translation>
    </message>
</context>
<context>
    <name>CReplayPlayer</name>
    <message>
        <source>无法为回放创建虚拟串口：%1</source>
        <translation>Cannot create a virtual port for replay: %1</translation>
    </message>
</context>
<context>
    <name>CStreamDiagnosis</name>
    <message>
        <source>彩色</source>
        <translation>color</translation>
    </message>
    <message>
        <source>黑白</source>
        <translation>grayscale</translation>
    </message>
    <message>
        <source>%1 %2 行 × %3 列</source>
        <translation>%1 %2 rows × %3 columns</translation>
    </message>
    <message>
        <source>没有收到任何数据：检查接线、板子电源、串口号。</source>
        <translation>No data received: check the wiring, the board&apos;s power and the port.</translation>
    </message>
    <message>
        <source>别的字节值（%1）也每帧重复一次，页面的数据头也是，就按页面的</source>
        <translation>other byte values (%1) also recur once per frame, as does the page&apos;s header, so the page&apos;s is taken</translation>
    </message>
    <message>
        <source>、</source>
        <translation>, </translation>
    </message>
    <message>
        <source>数据也可以读成数据头 %1、周期 %2 字节，但证据不比页面的设置强</source>
        <translation>the data could also read as header %1 with a period of %2 bytes, but the evidence is no stronger than for the page&apos;s settings</translation>
    </message>
    <message>
        <source>只看到 %1 个完整的帧（至少要 %2 个）</source>
        <translation>only %1 whole frames seen (at least %2 are needed)</translation>
    </message>
    <message>
        <source>：一帧可能有 %1 字节，再收约 %2 字节就够了</source>
        <translation>: a frame may have %1 bytes; about %2 more bytes will do</translation>
    </message>
    <message>
        <source>：一帧可能有 %1 字节，分析的 %2 字节里容不下 %3 帧</source>
        <translation>: a frame may have %1 bytes; the %2 bytes analyzed cannot hold %3 frames</translation>
    </message>
    <message>
        <source>帧大小 %1 字节分不成 1～9999 行 × 1～9999 列</source>
        <translation>a frame size of %1 bytes does not split into 1-9999 rows × 1-9999 columns</translation>
    </message>
    <message>
        <source>从图像看不出列数（只有一行或一列）</source>
        <translation>the picture does not show the number of columns (only one row or column)</translation>
    </message>
    <message>
        <source>没有哪个列数让相邻两行明显相像（最好的 %1 分数 %2，高于 %3）</source>
        <translation>no column count makes neighboring rows clearly alike (best %1 scores %2, above %3)</translation>
    </message>
    <message>
        <source>最平滑的 %1 形状不像摄像头的图像（图像可能每隔几行重复）</source>
        <translation>the smoothest, %1, is not shaped like a camera picture (the picture may repeat every few rows)</translation>
    </message>
    <message>
        <source>%1（%2）和 %3（%4）的图像一样平滑</source>
        <translation>%1 (%2) and %3 (%4) are equally smooth</translation>
    </message>
    <message>
        <source>%1（%2）和 %3（%4）都很平滑：图像可能每隔几行重复</source>
        <translation>%1 (%2) and %3 (%4) are both smooth: the picture may repeat every few rows</translation>
    </message>
    <message>
        <source>%1（%2）并不比 %3（%4）明显平滑</source>
        <translation>%1 (%2) is not clearly smoother than %3 (%4)</translation>
    </message>
    <message>
        <source>每一行都相同：列数是 %1 的倍数时图像一样平滑；页面的 %2 与数据相符，就按它</source>
        <translation>every row is the same: any multiple of %1 columns is equally smooth; the page&apos;s %2 fits the data, so it is taken</translation>
    </message>
    <message>
        <source>串口报告了 %1 次帧错误、%2 次校验错误：波特率很可能不对</source>
        <translation>the port reported %1 framing errors and %2 parity errors: the baud rate is probably wrong</translation>
    </message>
    <message>
        <source>字节值几乎均匀分布、看不出结构：多半是波特率不对，改成板子程序里的波特率再试</source>
        <translation>byte values are almost evenly spread with no structure: the baud rate is most likely wrong; set the one in the board&apos;s program and try again</translation>
    </message>
    <message>
        <source>按页面的行列一帧有 %1 字节，收到的 %2 字节不到三帧：延长采集时间</source>
        <translation>with the page&apos;s rows and columns a frame has %1 bytes; the %2 bytes received are less than three frames: capture for longer</translation>
    </message>
    <message>
        <source>只收到 %1 字节，太少了：延长采集时间</source>
        <translation>only %1 bytes received, too few: capture for longer</translation>
    </message>
    <message>
        <source>检查数据头的值，以及板子是否按“数据头 + 像素”的格式连续发送</source>
        <translation>check the header value, and that the board keeps sending &quot;header + pixels&quot;</translation>
    </message>
    <message>
        <source>数据中找不到周期性的数据头。可能的原因：%1。</source>
        <translation>No recurring header found in the data. Possible causes: %1.</translation>
    </message>
    <message>
        <source>；</source>
        <translation>; </translation>
    </message>
    <message>
        <source>波特率不对：所选的 %1 波特每秒最多传 %2 字节，实际收到 %3 字节/秒（%4 倍）。板子用的波特率更高</source>
        <translation>Wrong baud rate: the chosen %1 baud carries at most %2 bytes per second, but %3 bytes/s arrived (%4 times). The board uses a higher baud rate</translation>
    </message>
    <message>
        <source>（至少 %1）</source>
        <translation> (at least %1)</translation>
    </message>
    <message>
        <source>；如果这是 USB 虚拟串口或伪终端，波特率不起作用。</source>
        <translation>; on a USB virtual serial port or a pseudo-terminal the baud rate has no effect.</translation>
    </message>
    <message>
        <source>板子比线路慢：只用了线路容量的 %1%，帧之间有空闲，这没有问题</source>
        <translation>the board is slower than the line: it uses only %1% of the line&apos;s capacity, with idle time between frames; this is fine</translation>
    </message>
    <message>
        <source>串口报告了 %1 次帧错误、%2 次校验错误：波特率很可能与板子不符</source>
        <translation>the port reported %1 framing errors and %2 parity errors: the baud rate probably does not match the board</translation>
    </message>
    <message>
        <source>串口报告了 %1 次溢出：主机没有及时读取，丢了数据</source>
        <translation>the port reported %1 overruns: the computer did not read in time and data was lost</translation>
    </message>
    <message>
        <source>线路上出现了 %1 次 break（断线、板子复位或波特率相差很大）</source>
        <translation>the line had %1 breaks (a disconnect, a board reset or a very different baud rate)</translation>
    </message>
    <message>
        <source>数据头的值 %1 在数据里很常见：占全部字节的 %2%，每帧约 %3 个像素也是这个值（图像饱和或有大片同值区域）；%4</source>
        <translation>the header value %1 is common in the data: %2% of all bytes, and about %3 pixels per frame have it too (a saturated picture or large even areas); %4</translation>
    </message>
    <message>
        <source>周期是从每帧恰好出现一次、与相邻像素不同的那个位置找到的</source>
        <translation>the period was found from the one position that occurs exactly once per frame and differs from its neighbors</translation>
    </message>
    <message>
        <source>帧的位置可能不准</source>
        <translation>the frame positions may be off</translation>
    </message>
    <message>
        <source>每帧里还有约 %1 个字节等于数据头的值（像素值与数据头相同）</source>
        <translation>about %1 more bytes per frame equal the header value (pixels with the header&apos;s value)</translation>
    </message>
    <message>
        <source>每帧之后、下一个数据头之前有 %1 个不属于图像的字节；TavixTool 会把这样的帧记为可疑并重新寻找数据头</source>
        <translation>after each frame, before the next header, come %1 bytes that are not part of the picture; TavixTool marks such frames as suspect and looks for the header again</translation>
    </message>
    <message>
        <source>%1 帧比周期短：线路上丢了字节</source>
        <translation>frames shorter than the period: %1 (bytes were lost on the line)</translation>
    </message>
    <message>
        <source>帧间距离不固定：%1 个中只有 %2 个等于 %3 字节</source>
        <translation>the distance between frames varies: only %2 of %1 are %3 bytes</translation>
    </message>
    <message>
        <source>数据头只在 %1% 的周期里重复出现</source>
        <translation>the header recurs in only %1% of the periods</translation>
    </message>
    <message>
        <source>别的字节值（%1）也像数据头一样每帧重复</source>
        <translation>other byte values (%1) also recur once per frame like a header</translation>
    </message>
    <message>
        <source>每个周期末尾的字节每帧都不同，分不清是图像还是帧间的多余字节</source>
        <translation>the bytes at the end of each period differ from frame to frame; cannot tell whether they are picture or extra bytes between frames</translation>
    </message>
    <message>
        <source>看不出是黑白还是彩色</source>
        <translation>cannot tell grayscale from color</translation>
    </message>
    <message>
        <source>确定：数据头 %1，每帧 %2 字节，%3。</source>
        <translation>Certain: header %1, %2 bytes per frame, %3.</translation>
    </message>
    <message>
        <source>数据头 %1 → %2</source>
        <translation>header %1 → %2</translation>
    </message>
    <message>
        <source>%1页面 → %2页面</source>
        <translation>%1 page → %2 page</translation>
    </message>
    <message>
        <source>行数 %1 → %2</source>
        <translation>rows %1 → %2</translation>
    </message>
    <message>
        <source>列数 %1 → %2</source>
        <translation>columns %1 → %2</translation>
    </message>
    <message>
        <source>页面上的设置与数据不符，请改：%1。</source>
        <translation>The page&apos;s settings do not match the data; change: %1.</translation>
    </message>
    <message>
        <source>，</source>
        <translation>, </translation>
    </message>
    <message>
        <source>不能确定：%1。</source>
        <translation>Not certain: %1.</translation>
    </message>
    <message>
        <source>数据头 %1，每帧 %2 字节；可能是：%3。</source>
        <translation>Header %1, %2 bytes per frame; it may be: %3.</translation>
    </message>
    <message>
        <source>确定：%1</source>
        <translation>Certain: %1</translation>
    </message>
    <message>
        <source>也可能是“%1”：%2</source>
        <translation>It could also be &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>串口数据诊断
</source>
        <translation>Serial data diagnosis
</translation>
    </message>
    <message>
        <source>数据：%1 字节</source>
        <translation>Data: %1 bytes</translation>
    </message>
    <message>
        <source>（分析了前 %1 字节）</source>
        <translation> (first %1 bytes analyzed)</translation>
    </message>
    <message>
        <source>，%1 秒，%2 字节/秒</source>
        <translation>, %1 s, %2 bytes/s</translation>
    </message>
    <message>
        <source>波特率：%1（每秒最多 %2 字节）</source>
        <translation>Baud rate: %1 (at most %2 bytes per second)</translation>
    </message>
    <message>
        <source>，实际速率是它的 %1 倍</source>
        <translation>, actual rate %1 times that</translation>
    </message>
    <message>
        <source>波特率：未知
</source>
        <translation>Baud rate: unknown
</translation>
    </message>
    <message>
        <source>串口错误计数：帧错误 %1，校验错误 %2，溢出 %3，break %4
</source>
        <translation>Port error counts: framing %1, parity %2, overrun %3, break %4
</translation>
    </message>
    <message>
        <source>串口错误计数：无（伪终端、录制文件或驱动不支持）
</source>
        <translation>Port error counts: none (pseudo-terminal, recording, or not supported by the driver)
</translation>
    </message>
    <message>
        <source>数据头：%1（0x%2），周期 %3 字节，在 %4% 的周期里重复
</source>
        <translation>Header: %1 (0x%2), period %3 bytes, recurs in %4% of the periods
</translation>
    </message>
    <message>
        <source>帧：%1 个完整周期；%2 个帧间距离中 %3 个等于周期</source>
        <translation>Frames: %1 whole periods; %3 of %2 distances between frames equal the period</translation>
    </message>
    <message>
        <source>；约 %1 帧/秒</source>
        <translation>; about %1 fps</translation>
    </message>
    <message>
        <source>帧之间的多余字节：%1
</source>
        <translation>Extra bytes between frames: %1
</translation>
    </message>
    <message>
        <source>每帧中等于数据头的像素：约 %1 个（数据头的值占全部字节的 %2%）
</source>
        <translation>Pixels per frame equal to the header: about %1 (the header value is %2% of all bytes)
</translation>
    </message>
    <message>
        <source>也有周期的字节值：%1，周期 %2，每周期 %3 次
</source>
        <translation>Another recurring byte value: %1, period %2, %3 times per period
</translation>
    </message>
    <message>
        <source>帧大小：%1 字节；黑白%2</source>
        <translation>Frame size: %1 bytes; grayscale %2</translation>
    </message>
    <message>
        <source>可以</source>
        <translation>fits</translation>
    </message>
    <message>
        <source>不行</source>
        <translation>does not fit</translation>
    </message>
    <message>
        <source>，彩色%1</source>
        <translation>, color %1</translation>
    </message>
    <message>
        <source>；数据看起来是黑白</source>
        <translation>; the data looks grayscale</translation>
    </message>
    <message>
        <source>；数据看起来是彩色（U,Y,V）</source>
        <translation>; the data looks color (U,Y,V)</translation>
    </message>
    <message>
        <source>；看不出格式</source>
        <translation>; cannot tell the format</translation>
    </message>
    <message>
        <source>行 × 列（分数越低，上下两行越相像）：
</source>
        <translation>Rows × columns (the lower the score, the more alike neighboring rows are):
</translation>
    </message>
    <message>
        <source>  常见尺寸</source>
        <translation>  common size</translation>
    </message>
    <message>
        <source>  ……另有 %1 种
</source>
        <translation>  … %1 more
</translation>
    </message>
    <message>
        <source>注意：%1
</source>
        <translation>Note: %1
</translation>
    </message>
    <message>
        <source>数据格式：
</source>
        <translation>Stream format:
</translation>
    </message>
    <message>
        <source>  %1  %2 行 × %3 列  %4</source>
        <translation>  %1  %2 rows × %3 columns  %4</translation>
    </message>
    <message>
        <source>（不能确定）
</source>
        <translation> (not certain)
</translation>
    </message>
    <message>
        <source>结论：%1
</source>
        <translation>Conclusion: %1
</translation>
    </message>
    <message>
        <source>建议：数据格式“%1”</source>
        <translation>Suggestion: stream format &quot;%1&quot;</translation>
    </message>
    <message>
        <source>，%1 行 × %2 列%3</source>
        <translation>, %1 rows × %2 columns%3</translation>
    </message>
    <message>
        <source>（尺寸来自数据流）</source>
        <translation> (size from the stream)</translation>
    </message>
    <message>
        <source>模拟这块板子：%1
</source>
        <translation>Simulate this board: %1
</translation>
    </message>
    <message>
        <source>数据格式：%1
</source>
        <translation>Stream format: %1
</translation>
    </message>
    <message>
        <source>还需要：约 %1 字节才能确定，请接收更长时间
</source>
        <translation>Still needed: about %1 bytes to be sure; receive for longer
</translation>
    </message>
    <message>
        <source>建议：数据头 %1</source>
        <translation>Suggestion: header %1</translation>
    </message>
    <message>
        <source>，%1，%2 行 × %3 列</source>
        <translation>, %1, %2 rows × %3 columns</translation>
    </message>
    <message>
        <source>，波特率 %1</source>
        <translation>, baud rate %1</translation>
    </message>
    <message>
        <source>（没有把握）
</source>
        <translation> (not sure)
</translation>
    </message>
    <message>
        <source>建议：波特率 %1
</source>
        <translation>Suggestion: baud rate %1
</translation>
    </message>
    <message>
        <source>%1%2</source>
        <translation>%1 %2</translation>
    </message>
</context>
<context>
    <name>FrameFiles</name>
    <message>
        <source>无法保存文件 %1：%2</source>
        <translation>Cannot save file %1: %2</translation>
    </message>
    <message>
        <source>只有 JPEG 数据流的帧能存为 .jpg，这一帧请存为 PNG、PPM/PGM 或原始数据</source>
        <translation>only frames of a JPEG stream can be saved as .jpg; save this frame as PNG, PPM/PGM or raw data</translation>
    </message>
    <message>
        <source>不认识的文件类型（可以用 .png、.pgm、.ppm、.jpg、.raw）</source>
        <translation>unknown file type (use .png, .pgm, .ppm, .jpg or .raw)</translation>
    </message>
    <message>
        <source>彩色帧请保存为 PPM、PNG 或原始数据</source>
        <translation>save a color frame as PPM, PNG or raw data</translation>
    </message>
    <message>
        <source>这一帧的数据不完整</source>
        <translation>this frame&apos;s data is incomplete</translation>
    </message>
    <message>
        <source>图像太大</source>
        <translation>the picture is too large</translation>
    </message>
    <message>
        <source>文件夹 %1 不存在</source>
        <translation>folder %1 does not exist</translation>
    </message>
    <message>
        <source>只写入了部分数据（磁盘已满？）</source>
        <translation>only part of the data was written (disk full?)</translation>
    </message>
</context>
<context>
    <name>RecordingFormat</name>
    <message>
        <source>磁盘已满</source>
        <translation>the disk is full</translation>
    </message>
    <message>
        <source>文件已超过允许的最大大小</source>
        <translation>the file is over the largest allowed size</translation>
    </message>
    <message>
        <source>已超出磁盘配额</source>
        <translation>the disk quota is exceeded</translation>
    </message>
    <message>
        <source>没有权限</source>
        <translation>no permission</translation>
    </message>
    <message>
        <source>文件或文件夹不存在</source>
        <translation>the file or folder does not exist</translation>
    </message>
    <message>
        <source>路径中有一项不是文件夹</source>
        <translation>a part of the path is not a folder</translation>
    </message>
    <message>
        <source>这是一个文件夹</source>
        <translation>this is a folder</translation>
    </message>
    <message>
        <source>文件系统是只读的</source>
        <translation>the file system is read-only</translation>
    </message>
    <message>
        <source>文件名太长</source>
        <translation>the file name is too long</translation>
    </message>
    <message>
        <source>输入/输出错误</source>
        <translation>input/output error</translation>
    </message>
    <message>
        <source>打开的文件太多</source>
        <translation>too many open files</translation>
    </message>
    <message>
        <source>%1（错误号 %2）</source>
        <translation>%1 (error %2)</translation>
    </message>
    <message>
        <source>无法创建录制文件 %1：%2</source>
        <translation>Cannot create recording %1: %2</translation>
    </message>
    <message>
        <source>录制文件 %1 写入失败：%2</source>
        <translation>Writing recording %1 failed: %2</translation>
    </message>
    <message>
        <source>无法读取录制文件 %1：%2</source>
        <translation>Cannot read recording %1: %2</translation>
    </message>
    <message>
        <source>录制文件 %1 是空的（0 字节），里面没有任何录制内容</source>
        <translation>Recording %1 is empty (0 bytes) and holds nothing recorded</translation>
    </message>
    <message>
        <source>%1 不是 TavixTool 的录制文件（文件开头不是 TAVIXREC）</source>
        <translation>%1 is not a TavixTool recording (it does not begin with TAVIXREC)</translation>
    </message>
    <message>
        <source>录制文件 %1 的文件头不完整：只有 %2 字节，应有 %3 字节</source>
        <translation>The header of recording %1 is incomplete: only %2 bytes, %3 expected</translation>
    </message>
    <message>
        <source>录制文件 %1 的格式版本是 %2，本程序只能读取版本 %3 的录制文件，请使用更新的 TavixTool</source>
        <translation>Recording %1 has format version %2; this program reads only version %3 recordings. Use a newer TavixTool</translation>
    </message>
    <message>
        <source>录制文件 %1 的文件头不合理：%2为 %3（应为 %4）</source>
        <translation>The header of recording %1 is not valid: %2 is %3 (should be %4)</translation>
    </message>
    <message>
        <source>录制文件 %1 在第 %2 字节处被截断（或已损坏），已回放到最后一个完整的数据块</source>
        <translation>Recording %1 is cut off (or damaged) at byte %2; replayed up to the last whole block</translation>
    </message>
    <message>
        <source>格式版本</source>
        <translation>format version</translation>
    </message>
    <message>
        <source>文件头长度</source>
        <translation>header length</translation>
    </message>
    <message>
        <source>至少 %1 字节</source>
        <translation>at least %1 bytes</translation>
    </message>
    <message>
        <source>行数</source>
        <translation>rows</translation>
    </message>
    <message>
        <source>列数</source>
        <translation>columns</translation>
    </message>
    <message>
        <source>像素格式</source>
        <translation>pixel format</translation>
    </message>
    <message>
        <source>0（灰度）或 1（U,Y,V 彩色）</source>
        <translation>0 (grayscale) or 1 (U,Y,V color)</translation>
    </message>
    <message>
        <source>数据格式长度</source>
        <translation>stream format length</translation>
    </message>
    <message>
        <source>1–%1 字节，且在文件头内</source>
        <translation>1–%1 bytes, within the header</translation>
    </message>
    <message>
        <source>0 或 1</source>
        <translation>0 or 1</translation>
    </message>
    <message>
        <source>至多 %1 字节</source>
        <translation>at most %1 bytes</translation>
    </message>
</context>
</TS>
