// A static text that acts as a web link: coloured by state, underlined while
// the pointer is over it (by default), and opening its address when clicked.
#pragma once

#include <QColor>
#include <QFont>
#include <QLabel>
#include <QPoint>
#include <QString>

class CHyperLink : public QLabel {
    Q_OBJECT

public:
    explicit CHyperLink(QWidget* parent = nullptr);
    ~CHyperLink() override;

    // Turns the label, placed over its caption, into a link: takes the caption
    // as the address (or the address as the caption), builds the fonts, fits
    // the label to its text and sets the hand cursor and the tooltip. Only the
    // first call has an effect.
    void Attach();
    bool IsAttached() const { return m_bAttached; }

    void SetTarget(const QString& address);
    QString GetTarget() const { return m_strTarget; }

    void MarkVisited(bool visited = true);
    bool IsVisited() const { return m_bOpened; }

    // 1: always underlined; -1: underlined while the pointer is inside;
    // anything else: never underlined.
    void SetUnderlineMode(int mode);
    int GetUnderlineMode() const { return m_nUnderlineMode; }

    bool IsPointerInside() const { return m_bPointerInside; }

    // Resizes the label to its text measured in the underlined font, keeping
    // the edge or centre its alignment names.
    void FitToText();

    // --- Opening, usable on its own -----------------------------------------
    // The part of a handler's command line before its first placeholder:
    // "%u" style (quoted) first, then a bare %u %U %f %F; unchanged when none.
    static QString CutAtPlaceholder(const QString& command);
    // The Exec line of the desktop's default handler for text/html, or an
    // empty string when none is registered.
    static QString HtmlHandlerCommand();
    // Starts the handler command, cut at its placeholder, with the address as
    // one extra argument, without a shell. Returns 33 when started; 2 when
    // the program is missing, 3 when its directory is, 5 when it may not be
    // run, 8 when the command line would not fit 520 bytes, 0 when the start
    // failed otherwise.
    static int StartWithAddress(const QString& command, const QString& address);

protected:
    // Opens the address: the platform's opener first, then the registered
    // web-page handler. Returns a code greater than 32 on success.
    virtual int OpenTarget(const QString& address, int showCommand);
    // The platform's opener alone: 33 when it succeeded, else 31.
    virtual int PlatformOpen(const QString& address);
    // The global pointer position the hover poll tests.
    virtual QPoint PointerPos() const;
    // Shows the open-failure text for the code.
    void ShowOpenError(int code);
    // The modal warning box ShowOpenError uses.
    virtual void ShowMessage(const QString& caption, const QString& text);

    // One hover poll: ends the hover state once the pointer is outside.
    void CheckPointer();
    // Follows the link, as a left click inside the label does.
    void OnClicked();
    void LoadHandCursor();

    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

    QColor m_clrLink{0, 0, 238};
    QColor m_clrVisited{85, 26, 139};
    QColor m_clrHover{255, 0, 0};
    bool m_bPointerInside = false;
    bool m_bOpened = false;
    int m_nUnderlineMode = -1;
    QString m_strTarget;
    QFont m_fontUnderlined;
    QFont m_fontPlain;
    int m_nHoverTimer = 0;  // id of the 100 ms hover poll, 0 when stopped
    bool m_bAttached = false;

private:
    void StopHoverTimer();
};
