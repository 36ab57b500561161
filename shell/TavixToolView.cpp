#include "shell/TavixToolView.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QStyle>

#include "pages/BlackPage.h"
#include "pages/ColourPage.h"
#include "settings/Translation.h"

// The scroll area's content, the pages' parent: 2000 x 2000 pixels while it
// paints the start picture at its top-left corner, until a page has been
// shown; then the window's room, or the shown page's least size where the
// window is smaller. It paints nothing else.
class CTavixToolView::Canvas : public QWidget {
public:
    explicit Canvas(CTavixToolView* view) : m_view(view) {}

protected:
    void paintEvent(QPaintEvent* event) override {
        if (m_view->m_bPageShown || m_view->m_bmpStart.isNull())
            return;
        QPainter p(this);
        p.drawImage(event->rect().topLeft(), m_view->m_bmpStart, event->rect());
    }

private:
    CTavixToolView* m_view;
};

namespace {

// Creates a page as a hidden child at the top-left corner of `canvas`, unless
// `page` holds one already.
template <typename Page>
void CreatePage(Page*& page, const std::string& settingsPath, QWidget* canvas) {
    if (page != nullptr)
        return;
    page = new Page(settingsPath);
    page->Create(canvas);
    page->move(0, 0);
    page->hide();
}

}  // namespace

CTavixToolView::CTavixToolView(std::string settingsPath, QWidget* parent)
    : QScrollArea(parent), m_strSettingsPath(std::move(settingsPath)), m_canvas(new Canvas(this)) {
    setWidget(m_canvas);
    setWidgetResizable(false);
}

CTavixToolView::~CTavixToolView() {
    delete m_pBlackPage;
    m_pBlackPage = nullptr;
    delete m_pColourPage;
    m_pColourPage = nullptr;
}

void CTavixToolView::OnInitialUpdate() {
    if (!m_bPageShown)
        m_canvas->resize(2000, 2000);
    ApplySteps();
    // The start picture's texts are drawn in; English has its own picture.
    if (m_bmpStart.isNull())
        m_bmpStart.load(tx::CurrentLanguage() == tx::Language::English
                            ? QStringLiteral(":/pictures/start-en.png")
                            : QStringLiteral(":/pictures/start.png"));
    // Created once: a repeated initial update keeps the pages it has.
    CreatePage(m_pBlackPage, m_strSettingsPath, m_canvas);
    CreatePage(m_pColourPage, m_strSettingsPath, m_canvas);
}

void CTavixToolView::ApplySteps() {
    for (QScrollBar* bar : {horizontalScrollBar(), verticalScrollBar()}) {
        bar->setSingleStep(20);
        bar->setPageStep(200);
    }
}

// The scroll area sets its page steps to the viewport size; ours stay fixed.
void CTavixToolView::resizeEvent(QResizeEvent* event) {
    QScrollArea::resizeEvent(event);
    FitPage();
    ApplySteps();
}

void CTavixToolView::showEvent(QShowEvent* event) {
    QScrollArea::showEvent(event);
    FitPage();
    ApplySteps();
}

void CTavixToolView::FitPage() {
    if (!m_bPageShown)
        return;
    CCapturePage* page = nullptr;
    if (m_pBlackPage != nullptr && m_pBlackPage->isVisibleTo(m_canvas))
        page = m_pBlackPage;
    else if (m_pColourPage != nullptr && m_pColourPage->isVisibleTo(m_canvas))
        page = m_pColourPage;
    // The page takes the room the window has; where that is less than the
    // page needs, the view scrolls, and a scroll bar takes room from the
    // other direction.
    QSize room = maximumViewportSize();
    const QSize least = page != nullptr ? page->MinimumPageSize() : QSize();
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const bool wide = least.width() > room.width(), tall = least.height() > room.height();
    if (wide && !tall)
        room.rheight() -= bar;
    if (tall && !wide)
        room.rwidth() -= bar;
    const QSize size = room.expandedTo(least);
    if (page != nullptr)
        page->FitTo(size);
    m_canvas->resize(size);
}

int CTavixToolView::ShowPage(int id) {
    m_bPageShown = true;
    ShowChild(m_pBlackPage, false);
    ShowChild(m_pColourPage, false);
    if (id == kBlackPageId)
        ShowChild(m_pBlackPage, true);
    else if (id == kColourPageId)
        ShowChild(m_pColourPage, true);
    FitPage();
    // The start picture beside the page goes now, not at the next repaint.
    m_canvas->update();
    return 1;
}

void CTavixToolView::ShowChild(QWidget* page, bool show) {
    if (page == nullptr)
        return;
    page->setEnabled(show);
    page->setVisible(show);
    if (show)
        page->raise();
}

void CTavixToolView::OnFilePrint() {
    QPrinter printer;
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted)
        OnPrint(&printer);
}

void CTavixToolView::OnFilePrintDirect() {
    QPrinter printer;
    OnPrint(&printer);
}

void CTavixToolView::OnFilePrintPreview() {
    QPrintPreviewDialog preview(this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter* printer) { OnPrint(printer); });
    preview.exec();
}

bool CTavixToolView::OnPrint(QPrinter* printer) {
    QPainter painter;
    if (!painter.begin(printer))
        return false;
    OnDraw(&painter);
    return painter.end();
}

void CTavixToolView::OnDraw(QPainter*) {}

std::vector<CCapturePage*> CTavixToolView::CapturePages() const {
    std::vector<CCapturePage*> pages;
    if (m_pBlackPage != nullptr)
        pages.push_back(m_pBlackPage);
    if (m_pColourPage != nullptr)
        pages.push_back(m_pColourPage);
    return pages;
}
