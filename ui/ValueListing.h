// The value listing: a read-only text box of "0"/"1" characters, one line per
// displayed row, fed character by character from the engine's threads. The
// text lives in a locked store of its own, so an append costs a lock and a
// store; the box repaints later on the user-interface thread, coalesced, and
// paints only the lines and columns in view.
//
// Like a read-only edit box, the text can be selected with the mouse (drag,
// double-click for a line) and with Shift and the movement keys, selected
// whole with Ctrl+A and copied with Ctrl+C or Ctrl+Insert; a selection also
// goes to the primary selection where the system has one. The context menu
// copies, saves the text and copies the frame as a C array.
#pragma once

#include <QAbstractScrollArea>
#include <QPoint>
#include <QString>
#include <QTimer>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class QMenu;

class CValueListing : public QAbstractScrollArea {
    Q_OBJECT

public:
    // The listing's text. Every call may come from any thread and has taken
    // effect when it returns. Shared with the box, so a thread that holds it
    // may go on appending after the box has gone.
    class Content {
    public:
        Content();
        // The most characters the text takes; further ones are dropped, and
        // a text already longer is kept as it is. Unlimited by default.
        void SetCapacity(size_t chars);
        size_t Capacity() const;
        void Clear();
        // Adds one character ('\n' ends a line).
        void Append(char c);
        std::string Text() const;

    private:
        friend class CValueListing;
        // Asks the owner, if any, to repaint, unless a request is on its way.
        // Called with m_lock held.
        void RequestRepaint();

        mutable std::mutex m_lock;
        std::string m_text;
        std::vector<size_t> m_lineStarts;  // offset of each line; the first is 0
        size_t m_longestLine = 0;          // characters, '\n' excluded
        size_t m_capacity;
        uint64_t m_generation = 0;           // counts Clears: offsets of an older text are void
        CValueListing* m_owner = nullptr;    // the box, until it is destroyed
        std::atomic<bool> m_pending{false};  // a repaint request is posted
    };

    explicit CValueListing(QWidget* parent = nullptr);
    ~CValueListing() override;

    // The content calls, forwarded to SharedContent(); any thread.
    void SetCapacity(size_t chars) { m_content->SetCapacity(chars); }
    void Clear() { m_content->Clear(); }
    void Append(char c) { m_content->Append(c); }
    std::string Text() const { return m_content->Text(); }
    const std::shared_ptr<Content>& SharedContent() const { return m_content; }

    // The selection (user-interface thread). It is a range of offsets into
    // the text, which only grows until a Clear; a Clear drops it.
    bool HasSelection() const;
    std::string SelectedText() const;
    void SelectAll();
    // The selection to the clipboard; nothing without one.
    void Copy() const;
    // The whole text to the clipboard.
    void CopyAll() const;

    // The context menu for the listing as it is now; the caller owns it.
    QMenu* CreateContextMenu(QWidget* parent);

    // The raw pixel values of the pixels the listing shows, row by row, for
    // copying them as a C array; unset, or false: none to copy.
    std::function<bool(uint32_t& rows, uint32_t& columns, std::vector<uint8_t>& values)>
        m_rawValues;
    // Asks for the file to save the text in, given a proposed path; empty:
    // cancelled. Shows a failure. Both are dialogs by default.
    std::function<QString(const QString& proposed)> m_chooseSaveFile;
    std::function<void(const QString& text)> m_showWarning;

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    // Text length the last paint showed (user-interface thread).
    size_t PaintedLength() const { return m_paintedLength; }

private slots:
    // Takes in what changed since the last request: ranges, follow, repaint.
    void ApplyContent();

private:
    // Where Shift and a movement key take the caret.
    enum class Move { Left, Right, Up, Down, LineStart, LineEnd, PageUp, PageDown, Start, End };
    // Shift and a movement key (the platform's selection keys) and its move.
    static bool SelectionMove(const QKeyEvent* event, Move& move);

    void UpdateScrollBars();
    int VisibleLines() const;
    int LineHeight() const;
    qreal CharWidth() const;
    // With m_content->m_lock held: forgets a selection of a cleared text.
    void SyncSelectionLocked();
    // With m_content->m_lock held: the text offset nearest a viewport point.
    size_t OffsetAtLocked(const QPoint& point) const;
    // Moves the caret, keeping the anchor, and brings it into view.
    void ExtendSelection(Move move);
    void ExtendSelectionTo(const QPoint& point);
    void ScrollToCaret();
    void OnAutoScroll();
    // Repaints, and outside a drag hands the selection to the primary
    // selection.
    void SelectionChanged();
    void PublishSelection() const;
    void SaveText();
    void CopyListedArray() const;
    void CopyRawArray() const;
    bool RawValues(uint32_t& rows, uint32_t& columns, std::vector<uint8_t>& values) const;

    std::shared_ptr<Content> m_content;
    // The content's shape as of the last ApplyContent (user-interface thread).
    size_t m_lineCount = 1;
    size_t m_longestLine = 0;
    size_t m_paintedLength = 0;
    // Where the user scrolled to (line, pixel); kept through clears and new
    // text, which only narrow the bars' ranges for a while.
    int m_viewTop = 0;
    int m_viewLeft = 0;
    bool m_adjustingBars = false;  // the bars move for the text, not the user

    // The selection, from the anchor to the caret, in the text of
    // m_generation (user-interface thread).
    uint64_t m_generation = 0;
    size_t m_anchor = 0;
    size_t m_caret = 0;
    bool m_caretPlaced = false;  // by a click or a key; only then drawn
    bool m_dragging = false;     // the left button is down for a selection
    QPoint m_dragPoint;          // the mouse's last place in the viewport
    QTimer m_autoScroll;         // scrolls while a drag is past the edge
    QString m_saveFolder;        // where the last text was saved
};
