// The capture pages' dialog templates and their control ids, as the files
// res/templates/102.dlg and 103.dlg number them. Ids that both templates use
// for the same control have one name; the colour page's own have IDC_COLOUR_.
#pragma once

constexpr int IDD_BLACK_PAGE = 102;   // the grayscale page
constexpr int IDD_COLOUR_PAGE = 103;  // the colour page

// Both pages.
constexpr int IDC_PICTURE = 1001;      // the picture area (m_wndPicture)
constexpr int IDC_CAPTURE_ONE = 1002;  // "采集一幅图" / "停止采集", the default button
constexpr int IDC_ROWS = 1007;
constexpr int IDC_COLUMNS = 1008;
constexpr int IDC_ROW_GAP = 1009;
constexpr int IDC_COLUMN_GAP = 1013;
constexpr int IDC_STATUS = 1016;  // the status line

// The grayscale page (template 102).
constexpr int IDC_VALUES = 1000;     // the binarized value listing (m_editValues)
constexpr int IDC_THRESHOLD = 1004;  // m_nThreshold
constexpr int IDC_SHOW_BINARY = 1010;
constexpr int IDC_SHOW_IMAGE = 1011;
constexpr int IDC_ONE_TO_ONE = 1017;
constexpr int IDC_SCALE_TO_AREA = 1018;
constexpr int IDC_CAPTURE_CONTINUOUS = 1019;  // "连续采集" / "停止采集"
constexpr int IDC_PRODUCT1 = 1027;            // m_linkProduct1
constexpr int IDC_PRODUCT2 = 1028;            // m_linkProduct2
constexpr int IDC_ABOUT = 1029;               // m_linkAbout

// The colour page (template 103).
constexpr int IDC_COLOUR_SCALE_TO_AREA = 1021;       // m_bScaleRequest
constexpr int IDC_COLOUR_CAPTURE_CONTINUOUS = 1022;  // "连续采集" / "停止采集"
constexpr int IDC_COLOUR_PRODUCT1 = 1023;            // m_linkProduct1
constexpr int IDC_COLOUR_PRODUCT2 = 1024;            // m_linkProduct2
constexpr int IDC_COLOUR_ABOUT = 1025;               // m_linkAbout

// Every named control of a template with the kind and caption its file gives
// it (checked against the files by a test).
struct ControlName {
    int id;
    const char* name;
    const char* kind;     // as written in the template file
    const char* caption;  // UTF-8; "" for none
};

#define TAVIX_CONTROL(id, kind, caption) \
    ControlName {                        \
        id, #id, kind, caption           \
    }

inline constexpr ControlName kBlackPageControls[] = {
    TAVIX_CONTROL(IDC_VALUES, "edit", ""),
    TAVIX_CONTROL(IDC_PICTURE, "frame", ""),
    TAVIX_CONTROL(IDC_CAPTURE_ONE, "defpushbutton", "采集一幅图"),
    TAVIX_CONTROL(IDC_THRESHOLD, "edit", ""),
    TAVIX_CONTROL(IDC_ROWS, "edit", ""),
    TAVIX_CONTROL(IDC_COLUMNS, "edit", ""),
    TAVIX_CONTROL(IDC_ROW_GAP, "edit", ""),
    TAVIX_CONTROL(IDC_SHOW_BINARY, "checkbox", "显示二值化图"),
    TAVIX_CONTROL(IDC_SHOW_IMAGE, "checkbox", "显示摄像头图像"),
    TAVIX_CONTROL(IDC_COLUMN_GAP, "edit", ""),
    TAVIX_CONTROL(IDC_STATUS, "label", ""),
    TAVIX_CONTROL(IDC_ONE_TO_ONE, "radiobutton", "1:1显示像素点"),
    TAVIX_CONTROL(IDC_SCALE_TO_AREA, "radiobutton", "根据界面尺寸放大像素"),
    TAVIX_CONTROL(IDC_CAPTURE_CONTINUOUS, "pushbutton", "连续采集"),
    TAVIX_CONTROL(IDC_PRODUCT1, "link", "产品一：摄像头模块"),
    TAVIX_CONTROL(IDC_PRODUCT2, "link", "产品二：开发板"),
    TAVIX_CONTROL(IDC_ABOUT, "link", "关于我们"),
};

inline constexpr ControlName kColourPageControls[] = {
    TAVIX_CONTROL(IDC_PICTURE, "frame", ""),
    TAVIX_CONTROL(IDC_CAPTURE_ONE, "defpushbutton", "采集一幅图"),
    TAVIX_CONTROL(IDC_ROWS, "edit", ""),
    TAVIX_CONTROL(IDC_COLUMNS, "edit", ""),
    TAVIX_CONTROL(IDC_ROW_GAP, "edit", ""),
    TAVIX_CONTROL(IDC_COLUMN_GAP, "edit", ""),
    TAVIX_CONTROL(IDC_STATUS, "label", ""),
    TAVIX_CONTROL(IDC_COLOUR_SCALE_TO_AREA, "checkbox", "根据界面尺寸放大像素"),
    TAVIX_CONTROL(IDC_COLOUR_CAPTURE_CONTINUOUS, "pushbutton", "连续采集"),
    TAVIX_CONTROL(IDC_COLOUR_PRODUCT1, "link", "产品一：摄像头模块"),
    TAVIX_CONTROL(IDC_COLOUR_PRODUCT2, "link", "产品二：开发板"),
    TAVIX_CONTROL(IDC_COLOUR_ABOUT, "link", "关于我们"),
};

#undef TAVIX_CONTROL
