// The right-hand pane: a scroll view that hosts the two capture pages and
// shows the start picture until a page is chosen. It scrolls over 2000 x 2000
// pixels with the start picture; a page fills the window's room, and the view
// scrolls only where the window is smaller than the page needs.
#pragma once

#include <QImage>
#include <QPoint>
#include <QScrollArea>
#include <string>
#include <vector>

class CBlackPage;
class CCapturePage;
class CColourPage;
class QPainter;
class QPrinter;

class CTavixToolView : public QScrollArea {
    Q_OBJECT

public:
    static constexpr int kBlackPageId = 61447;   // "黑白数据"
    static constexpr int kColourPageId = 61448;  // "彩色数据"

    // The pages it creates use the settings file `settingsPath`.
    explicit CTavixToolView(std::string settingsPath, QWidget* parent = nullptr);
    // Deletes the grayscale page, then the colour page.
    ~CTavixToolView() override;

    // Sets the scroll sizes, loads the start picture and creates both pages
    // hidden. A repeated call reuses the pages and the picture it has.
    void OnInitialUpdate();
    // Shows the page of a navigation item id and hides the other; 1.
    int ShowPage(int id);
    // Enables and shows (raised), or disables and hides, a page window.
    void ShowChild(QWidget* page, bool show);

    // Printing: the view draws nothing, so printed and previewed pages are
    // blank. OnFilePrint asks for a printer first; OnFilePrintDirect prints
    // on the default printer; OnFilePrintPreview shows the preview window.
    void OnFilePrint();
    void OnFilePrintDirect();
    void OnFilePrintPreview();
    // Prints the document on `printer`: one page, with what OnDraw draws.
    bool OnPrint(QPrinter* printer);
    // The view's drawing for printing: nothing.
    void OnDraw(QPainter* painter);

    // The pages created so far, grayscale first.
    std::vector<CCapturePage*> CapturePages() const;

    CBlackPage* m_pBlackPage = nullptr;
    CColourPage* m_pColourPage = nullptr;
    QImage m_bmpStart;
    QPoint m_ptOrigin;
    bool m_bPageShown = false;
    // The settings file the pages use.
    const std::string m_strSettingsPath;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Line 20 pixels, page 200 pixels, whatever the window size.
    void ApplySteps();
    // Lays the shown page out over the window's room (see above).
    void FitPage();

    class Canvas;
    Canvas* m_canvas;
};
