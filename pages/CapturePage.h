// What both capture pages are: a child dialog built from a template and, at
// the same time, an acquisition engine. This class holds all they share: the
// template and picture view, the channel to the user-interface thread, the
// link labels, the settings file, the status and picture operations, the
// capture buttons and the shutdown sequence. A page adds its template's
// layout, its data exchange, its settings section and its checks.
#pragma once

#include <QDialog>
#include <QFont>
#include <QImage>
#include <QSize>
#include <QString>
#include <QTimer>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "capture/CaptureBase.h"
#include "pages/DialogTemplate.h"
#include "pages/FrameSaver.h"
#include "ui/UiInvoker.h"

class CHistogramView;
class CHyperLink;
class CPictureView;
class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

class CCapturePage : public QDialog, public CCaptureBase {
    Q_OBJECT

public:
    // A page's destructor calls Shutdown() first: the engine's threads call
    // the page's operations, and the settings are saved through its own
    // exchange.
    ~CCapturePage() override;

    // "停止采集" in the language shown: the caption of a button whose capture
    // runs (a click stops it).
    static QString StopText() { return tr("停止采集"); }

    // Creates the page's window from its template as a hidden child of
    // `parent` and initialises it (settings, font, links, welcome text).
    bool Create(QWidget* parent);

    // The engine's operations carried to the user-interface thread; any thread.
    void ShowStatus(std::string text) override;
    void OnCaptureBegin() override;
    void OnCaptureEnd() override;
    void ClearPicture() override;

    // The capture buttons' handlers.
    void OnCaptureOne();
    void OnCaptureContinuous();
    // A capture of this page runs (a capture button shows "停止采集").
    bool CaptureRunning() const;
    // Stops a running capture as its button would, and returns once the
    // page has its buttons back (events other than the user's are handled
    // meanwhile, at most 3 s).
    void StopCapture();

    // --- The stream format ---------------------------------------------------
    // Sets the size boxes to `rows` x `columns` and saves the page's
    // settings, as the page does at exit.
    void SetFrameSize(uint32_t rows, uint32_t columns);
    // Beside the size boxes, for a format whose frames carry their size:
    // "尺寸来自数据流：W × H" once a frame has told it; hidden otherwise.
    // The boxes are left as they are.
    void UpdateWireGeometry();
    QLabel* m_wndWireGeometry = nullptr;

    virtual void LoadSettings() = 0;
    virtual void SaveSettings() = 0;
    virtual bool ValidateParameters(std::string& message) = 0;
    // Towards the controls (false) or from them (true); from the controls it
    // stops at the first box that fails and returns false.
    virtual bool DoDataExchange(bool saveAndValidate) = 0;

    // The control with this id (after Create).
    QWidget* Control(int id) const;

    // The least size the page is laid out for, and the page laid out over
    // `area` (at least that size): a page with a listing gives it the room
    // below its controls. After Create.
    virtual QSize MinimumPageSize() const { return m_templateSize; }
    virtual void FitTo(const QSize& area) { resize(area.expandedTo(MinimumPageSize())); }

    // The settings file, handed down by whoever creates the page.
    std::string m_strSettingsPath;
    // Shows the exchange's warnings: a message box unless replaced (tests).
    std::function<void(const QString&)> m_showWarning;

    CHyperLink* m_linkAbout = nullptr;
    CHyperLink* m_linkProduct1 = nullptr;
    CHyperLink* m_linkProduct2 = nullptr;
    QFont m_fontLabels;

    // --- Keeping what the camera sent ---------------------------------------
    // The picture area's context menu: save the picture, save the last
    // frame, copy the picture, open a picture file, save every frame.
    QMenu* PictureMenu() const { return m_pictureMenu; }
    // The picture as drawn: the part of the picture area the last frame
    // covers (the whole area before the first frame).
    QImage DrawnPicture() const;
    void OnSavePicture();
    void OnSaveFrame();
    void OnCopyPicture();
    void OnOpenPicture();
    // On: asks for a folder and saves every frame drawn whole into it.
    void OnSaveEveryFrame(bool on);
    // On, while a capture runs: asks for a file and records every byte the
    // port delivers into it until it is turned off or the capture ends.
    void OnRecord(bool on);
    // The text over the picture's corner while frames are being saved.
    QString CaptureInfoText() const;
    // "诊断串口数据…": what the line carries, from the running capture's last
    // bytes or from listening to the chosen port for a few seconds, in a
    // report whose suggestion can be applied to the page.
    void OnDiagnose();
    // How long the diagnosis listens (tests shorten it).
    int m_nListenMs = 3000;
    // The longest it listens while the bytes are too few frames (tests too).
    int m_nMostListenMs = 10000;
    // A quiet line this long before bytes marks where a burst starts.
    static constexpr int kPauseMs = 15;
    // Applies a stream format the diagnosis found, with the size it read
    // (0 x 0: the format's own); set by the main window.
    std::function<void(const stream::CStreamFormat&, const std::string& preset, uint32_t rows,
                       uint32_t columns)>
        m_applyStreamFormat;
    // Called with the report's dialog before it is shown (tests).
    std::function<void(class CDiagnosisDialog&)> m_onDiagnosisShown;

    // Draws the last frame again with the page's display choices, while no
    // capture runs (a capture draws its next frame with them anyway).
    void RedrawLastFrame();

    // Where file names come from: dialogs unless replaced (tests). A save
    // chooser gets a title, a proposed path and a filter; empty: cancelled.
    std::function<QString(const QString&, const QString&, const QString&)> m_chooseSaveFile;
    std::function<QString(const QString&, const QString&, const QString&)> m_chooseOpenFile;
    std::function<QString(const QString&, const QString&)> m_chooseFolder;
    CFrameSaver m_frameSaver;
    // The last frame's values, over the picture's upper right corner while
    // "显示直方图" is on.
    CHistogramView* m_histogram = nullptr;
    QAction* m_actHistogram = nullptr;
    // "只显示完整帧": the picture changes only when a whole frame has arrived.
    QAction* m_actWholeFrames = nullptr;

protected:
    // Where a page's template puts what the shared code works with.
    struct Layout {
        int templateId;
        int continuousButton;
        int about, product1, product2;
        // Disabled while a capture runs (the other capture button too).
        std::vector<int> parameters;
        // Enabled, in this order, when a capture ends.
        std::vector<int> enabledAtEnd;
        // The grayscale page loads its settings before the links get their
        // font and targets, the colour page after.
        bool loadSettingsFirst;
    };
    CCapturePage(std::string settingsPath, uint8_t format, Layout layout);

    // Stops the engine (its posted calls are dropped from now on) and waits
    // for its threads, then saves the settings. Idempotent.
    void Shutdown();

    // Page-specific steps: its controls' signals once built, what a capture
    // start needs beyond the shared steps, and what follows the shared
    // controls' release at a capture's end.
    virtual void OnCreate() {}
    // Whether a picture is drawn enlarged to the area, as the next capture
    // would draw it.
    virtual bool ScaleChoice() const = 0;
    virtual void PrepareCapture() {}
    // Before a picture file is shown as a frame (sizes set): what a capture
    // start would read from the page besides the shared boxes.
    virtual void PrepareStill() {}
    // The page's own entries at the end of the picture's menu.
    virtual void AddDisplayActions(QMenu*) {}
    virtual void OnCaptureEnded() {}
    virtual void OnCaptureBegun() {}

    QLineEdit* Box(int id) const;
    QPushButton* Button(int id) const;
    void Enable(std::initializer_list<int> ids, bool enable);
    void Enable(const std::vector<int>& ids, bool enable);
    // Measures the picture area into m_nAreaWidth and m_nAreaHeight.
    void MeasureArea();
    // The size and gap boxes, checked in order: each box's own checks, then
    // the bound the engine needs (rows and columns at most 9999, gaps 0 to
    // 1000). Each number goes to the engine as it is read; the frame size
    // follows the size boxes. False with the first failure's message.
    bool ValidateSizeAndGaps(std::string& message);

    // The exchange from a box into an unsigned member: the text must be an
    // unsigned decimal number (blanks around it allowed); otherwise the
    // member keeps its value, `warn` is told and false is returned. A number
    // outside [low, high] (when high >= low) is stored all the same, then
    // warned about.
    static bool ExchangeUnsigned(const QLineEdit* box, uint32_t& member, uint32_t low,
                                 uint32_t high, const std::function<void(const QString&)>& warn);
    static void ShowUnsigned(QLineEdit* box, uint32_t value);
    // The number at the start of a box's text: leading blanks, an optional
    // sign, digits up to the first other character; 0 without leading digits.
    static int BoxNumber(const QLineEdit* box);
    // A box is empty only when its text is the empty string.
    static bool BoxEmpty(const QLineEdit* box);

    // Escape must not hide an embedded page.
    void reject() override {}

    CDialogTemplate m_template;
    QSize m_templateSize;  // the room the template's controls take, with margins
    CPictureView* m_pictureView = nullptr;
    bool m_bCreated = false;

private:
    void OnInitDialog();
    void SetUpLabels();
    void OnCapture(int mode, int buttonId, const QString& idleCaption);
    void CreatePictureMenu();
    void UpdateCaptureInfo();
    // Closes the recording and says where it went (or why it stopped).
    void FinishRecording();
    // The bytes to diagnose and what is known of them; false (with a message
    // shown) when there are none to be had.
    bool CollectLineBytes(std::vector<uint8_t>& bytes, struct CDiagnosisContext& context);
    // The folder file dialogs start in, remembered between runs.
    QString LastFolder() const;
    void RememberFolder(const QString& path);
    // A box's number when it holds one in [0, 1000], else 0.
    uint32_t GapBox(int id) const;

    QMenu* m_pictureMenu = nullptr;
    QAction* m_actSaveEvery = nullptr;
    QAction* m_actRecord = nullptr;
    QLabel* m_captureInfo = nullptr;
    QTimer m_infoTimer;
    QString m_shownSaveError;

    const Layout m_layout;
    CUiInvoker m_invoker;
    bool m_bShutDown = false;
};

// The link labels' addresses: pages shipped beside the executable.
QString AboutAddress();
QString CameraBoardAddress();
QString SimulatorAddress();
