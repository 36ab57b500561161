#include "pages/TemplateTexts.h"

#include <QtGlobal>

// Every caption of 102.dlg (the grayscale page) and 103.dlg (the colour page),
// each once. tests/DialogTemplateTest checks that the list and the templates
// agree, so a caption added to a template without a translation is caught.
const char* const kTemplateTexts[] = {
    QT_TRANSLATE_NOOP("DialogTemplate", "采集一幅图"),
    QT_TRANSLATE_NOOP("DialogTemplate", "连续采集"),
    QT_TRANSLATE_NOOP("DialogTemplate", "显示摄像头图像"),
    QT_TRANSLATE_NOOP("DialogTemplate", "1:1显示像素点"),
    QT_TRANSLATE_NOOP("DialogTemplate", "根据界面尺寸放大像素"),
    QT_TRANSLATE_NOOP("DialogTemplate", "显示二值化图"),
    QT_TRANSLATE_NOOP("DialogTemplate", "关于我们"),
    QT_TRANSLATE_NOOP("DialogTemplate", "产品一：摄像头模块"),
    QT_TRANSLATE_NOOP("DialogTemplate", "产品二：开发板"),
    QT_TRANSLATE_NOOP("DialogTemplate", "二值化阀值:"),
    QT_TRANSLATE_NOOP("DialogTemplate", "图像大小:"),
    QT_TRANSLATE_NOOP("DialogTemplate", "显示:"),
    QT_TRANSLATE_NOOP("DialogTemplate", "行  *"),
    QT_TRANSLATE_NOOP("DialogTemplate", "列"),
    QT_TRANSLATE_NOOP("DialogTemplate", "行显示（0为整行显示）"),
    QT_TRANSLATE_NOOP("DialogTemplate", "列显示（0为整列显示）"),
    QT_TRANSLATE_NOOP("DialogTemplate", "隔"),
    QT_TRANSLATE_NOOP("DialogTemplate", "显示模式"),
    QT_TRANSLATE_NOOP("DialogTemplate", "新品先体验"),
};

const std::size_t kTemplateTextCount = sizeof kTemplateTexts / sizeof kTemplateTexts[0];
