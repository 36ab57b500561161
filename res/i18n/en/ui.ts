<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CHistogramView</name>
    <message>
        <source>值 %1：%2 个像素</source>
        <translation>Value %1: %2 pixels</translation>
    </message>
    <message>
        <source>值 %1–%2：%3 个像素</source>
        <translation>Values %1–%2: %3 pixels</translation>
    </message>
    <message>
        <source>
高于阈值 %1：%2 个像素</source>
        <translation>
Above threshold %1: %2 pixels</translation>
    </message>
</context>
<context>
    <name>CPictureView</name>
    <message>
        <source>值 %1</source>
        <translation>value %1</translation>
    </message>
    <message>
        <source>行 %1  列 %2  %3</source>
        <translation>Row %1  column %2  %3</translation>
    </message>
</context>
<context>
    <name>CValueListing</name>
    <message>
        <source>文件夹不存在</source>
        <translation>the folder does not exist</translation>
    </message>
    <message>
        <source>写入失败，磁盘可能已满</source>
        <translation>writing failed, the disk may be full</translation>
    </message>
    <message>
        <source>无法替换原有的文件</source>
        <translation>the existing file cannot be replaced</translation>
    </message>
    <message>
        <source>无法在这里创建文件，可能没有写入权限</source>
        <translation>no file can be created here, perhaps no write permission</translation>
    </message>
    <message>
        <source>%1（系统信息：%2）</source>
        <translation>%1 (system: %2)</translation>
    </message>
    <message>
        <source>保存为文本</source>
        <translation>Save as text</translation>
    </message>
    <message>
        <source>文本文件 (*.txt);;所有文件 (*)</source>
        <translation>Text files (*.txt);;All files (*)</translation>
    </message>
    <message>
        <source>复制</source>
        <translation>Copy</translation>
    </message>
    <message>
        <source>全部复制</source>
        <translation>Copy all</translation>
    </message>
    <message>
        <source>保存为文本…</source>
        <translation>Save as text…</translation>
    </message>
    <message>
        <source>复制为 C 数组</source>
        <translation>Copy as C array</translation>
    </message>
    <message>
        <source>二值化值</source>
        <translation>Binarized values</translation>
    </message>
    <message>
        <source>原始像素值</source>
        <translation>Raw pixel values</translation>
    </message>
    <message>
        <source>无法保存文件 %1：%2</source>
        <translation>Cannot save file %1: %2</translation>
    </message>
</context>
</TS>
