<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>CHelpViewer</name>
    <message>
        <source>TavixTool 帮助</source>
        <translation>TavixTool Help</translation>
    </message>
    <message>
        <source>后退</source>
        <translation>Back</translation>
    </message>
    <message>
        <source>前进</source>
        <translation>Forward</translation>
    </message>
    <message>
        <source>主页</source>
        <translation>Home</translation>
    </message>
    <message>
        <source>无法打开帮助文件“%1”。请确认该文件存在并且可以读取。</source>
        <translation>Cannot open the help file &quot;%1&quot;. Check that it exists and can be read.</translation>
    </message>
    <message>
        <source>帮助文件中找不到主题“%1”。</source>
        <translation>The help file has no topic &quot;%1&quot;.</translation>
    </message>
</context>
</TS>
