<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>ProfileFile</name>
    <message>
        <source>文件是只读的</source>
        <translation>the file is read-only</translation>
    </message>
    <message>
        <source>没有写入权限</source>
        <translation>no permission to write</translation>
    </message>
    <message>
        <source>磁盘空间已满</source>
        <translation>the disk is full</translation>
    </message>
    <message>
        <source>该位置是一个文件夹</source>
        <translation>that path is a folder</translation>
    </message>
    <message>
        <source>路径中有一项不是文件夹</source>
        <translation>a part of the path is not a folder</translation>
    </message>
    <message>
        <source>文件夹不存在</source>
        <translation>the folder does not exist</translation>
    </message>
    <message>
        <source>文件系统是只读的</source>
        <translation>the file system is read-only</translation>
    </message>
    <message>
        <source>无法保存设置文件 %1：%2。本次运行中的设置仍然有效，下次保存成功时会一并写入。</source>
        <translation>Cannot save the settings file %1: %2. The settings stay in effect for this session and will be written the next time saving succeeds.</translation>
    </message>
</context>
</TS>
