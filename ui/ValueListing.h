// The value listing: a read-only text box of "0"/"1" characters, one line per
// displayed row, fed character by character from the engine's threads. The
// text lives in a locked store of its own, so an append costs a lock and a
// store; the box repaints later on the user-interface thread, coalesced, and
// paints only the lines and columns in view.
#pragma once

#include <QAbstractScrollArea>
#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

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
        // Adds one character ('\n' ends a line) and has the box follow the
        // newest line.
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
        bool m_follow = false;               // appended since the box last looked
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

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    // Text length the last paint showed (user-interface thread).
    size_t PaintedLength() const { return m_paintedLength; }

private slots:
    // Takes in what changed since the last request: ranges, follow, repaint.
    void ApplyContent();

private:
    void UpdateScrollBars();
    int VisibleLines() const;

    std::shared_ptr<Content> m_content;
    // The content's shape as of the last ApplyContent (user-interface thread).
    size_t m_lineCount = 1;
    size_t m_longestLine = 0;
    size_t m_paintedLength = 0;
};
