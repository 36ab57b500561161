#include "pages/CapturePage.h"

#include <QAction>
#include <QBuffer>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSettings>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>

#include "capture/RecordingWriter.h"
#include "pages/ControlIds.h"
#include "pages/DiagnosisDialog.h"
#include "pages/FrameImage.h"
#include "settings/SettingsPath.h"
#include "settings/TextToNumber.h"
#include "stream/StreamFormat.h"
#include "ui/HistogramView.h"
#include "ui/HyperLink.h"
#include "ui/PictureView.h"

namespace {

// The buttons' idle captions are the templates', translated as the template
// translates them (DialogTemplate), so that a comparison with the shown
// caption holds in every language.
QString CaptureOneText() {
    return QCoreApplication::translate("DialogTemplate", "采集一幅图");
}
QString CaptureContinuousText() {
    return QCoreApplication::translate("DialogTemplate", "连续采集");
}
// Status calls replace each other while queued.
constexpr int kStatusCall = 1;
// The picture area's colour before and between pictures.
constexpr uint32_t kBackground = 0xF0F0F0;

// Bold Arial 12 (Liberation Sans where Arial is missing, the same metrics).
QFont LabelFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(12);
    font.setWeight(QFont::Bold);
    font.setStyleHint(QFont::SansSerif);
    if (!QFontDatabase::families().contains(QStringLiteral("Arial")))
        font.setFamilies({QStringLiteral("Liberation Sans"), QStringLiteral("Arial")});
    return font;
}

// The page in the language shown: the English ones are in help/en/.
QString HelpPage(const char* name) {
    const QString folder = tx::CurrentLanguage() == tx::Language::English
                               ? QStringLiteral("help/en/")
                               : QStringLiteral("help/");
    return QUrl::fromLocalFile(QString::fromStdString(ProgramDataDirectory()) + folder +
                               QLatin1String(name))
        .toString();
}

}  // namespace

QString AboutAddress() {
    return HelpPage("about.html");
}
QString CameraBoardAddress() {
    return HelpPage("camera-board.html");
}
QString SimulatorAddress() {
    return HelpPage("simulator.html");
}

CCapturePage::CCapturePage(std::string settingsPath, uint8_t format, Layout layout)
    : m_strSettingsPath(std::move(settingsPath)), m_layout(std::move(layout)) {
    m_byFormat = format;
    m_bShowImage = 1;
    m_showWarning = [this](const QString& text) {
        QMessageBox::warning(this, QStringLiteral("TavixTool"), text);
    };
    m_chooseSaveFile = [this](const QString& title, const QString& proposed,
                              const QString& filter) {
        return QFileDialog::getSaveFileName(this, title, proposed, filter);
    };
    m_chooseOpenFile = [this](const QString& title, const QString& folder, const QString& filter) {
        return QFileDialog::getOpenFileName(this, title, folder, filter);
    };
    m_chooseFolder = [this](const QString& title, const QString& folder) {
        return QFileDialog::getExistingDirectory(this, title, folder);
    };
    // Every frame drawn whole goes to the saver, which keeps it only while
    // saving is on, and to the histogram.
    m_onFrameDrawn = [this](const CFrameCopy& frame) {
        m_frameSaver.Push(frame);
        if (m_histogram != nullptr)
            m_histogram->SetFrame(frame);
    };
}

CCapturePage::~CCapturePage() {
    // The page's own destructor has run Shutdown(); this is for a page that
    // was never created.
    m_invoker.Shutdown();
    ShutdownEngine();
}

void CCapturePage::Shutdown() {
    if (m_bShutDown)
        return;
    m_bShutDown = true;
    // The engine stops first: the exchange from the controls writes the
    // parameters that a running worker reads.
    m_invoker.Shutdown();
    ShutdownEngine();
    m_infoTimer.stop();
    m_frameSaver.Stop();
    if (m_bCreated)
        SaveSettings();
    if (m_pictureView != nullptr)
        m_pictureView->SetSurface(nullptr);
}

bool CCapturePage::Create(QWidget* parent) {
    if (m_bCreated || !m_template.Load(m_layout.templateId))
        return false;
    setParent(parent);
    hide();
    m_template.Build(*this);
    // The controls' extent with the template's left and top margins on the
    // other sides too; the rest of the template's size is empty.
    const QRect controls = childrenRect();
    m_templateSize =
        QSize(controls.right() + 1 + controls.left(), controls.bottom() + 1 + controls.top())
            .boundedTo(size());
    // The picture view takes the place of the picture control; the surface
    // takes its size and the background colour.
    m_pictureView = new CPictureView(&m_wndPicture);
    m_template.Replace(*this, IDC_PICTURE, m_pictureView);
    m_wndPicture.Resize(m_pictureView->width(), m_pictureView->height());
    m_wndPicture.Fill(kBackground);
    // The inspector reads the last frame and the geometry it was drawn with.
    m_pictureView->m_frameSource = [this](CFrameCopy& frame, pixel::Geometry& geometry) {
        if (!LastFrame(frame))
            return false;
        geometry = pixel::PassGeometry(frame.rows, frame.columns, frame.rowGap, frame.columnGap,
                                       m_bScaleToArea != 0, m_nAreaWidth, m_nAreaHeight);
        return true;
    };
    m_histogram = new CHistogramView(m_pictureView);
    m_histogram->setObjectName(QStringLiteral("Histogram"));
    m_histogram->resize(m_histogram->sizeHint());
    m_histogram->move(m_pictureView->width() - m_histogram->width() - 4, 4);
    m_histogram->hide();

    m_linkAbout = qobject_cast<CHyperLink*>(Control(m_layout.about));
    m_linkProduct1 = qobject_cast<CHyperLink*>(Control(m_layout.product1));
    m_linkProduct2 = qobject_cast<CHyperLink*>(Control(m_layout.product2));
    connect(Button(IDC_CAPTURE_ONE), &QPushButton::clicked, this, [this] { OnCaptureOne(); });
    connect(Button(m_layout.continuousButton), &QPushButton::clicked, this,
            [this] { OnCaptureContinuous(); });
    OnCreate();
    CreatePictureMenu();
    m_bCreated = true;
    OnInitDialog();
    // Translated captions, in the fonts just set, take the room they need.
    m_template.FitTranslatedCaptions(*this);
    return true;
}

void CCapturePage::OnInitDialog() {
    DoDataExchange(false);
    for (CHyperLink* link : {m_linkAbout, m_linkProduct1, m_linkProduct2})
        link->Attach();
    if (m_layout.loadSettingsFirst)
        LoadSettings();
    SetUpLabels();
    if (!m_layout.loadSettingsFirst)
        LoadSettings();
    ShowStatus(WelcomeText());
}

void CCapturePage::SetUpLabels() {
    m_fontLabels = LabelFont();
    Control(IDC_STATUS)->setFont(m_fontLabels);
    for (CHyperLink* link : {m_linkAbout, m_linkProduct1, m_linkProduct2})
        link->setFont(m_fontLabels);
    m_linkAbout->SetTarget(AboutAddress());
    m_linkProduct1->SetTarget(CameraBoardAddress());
    m_linkProduct2->SetTarget(SimulatorAddress());
}

QWidget* CCapturePage::Control(int id) const {
    return CDialogTemplate::Control(*this, id);
}
QLineEdit* CCapturePage::Box(int id) const {
    return qobject_cast<QLineEdit*>(Control(id));
}
QPushButton* CCapturePage::Button(int id) const {
    return qobject_cast<QPushButton*>(Control(id));
}

void CCapturePage::Enable(std::initializer_list<int> ids, bool enable) {
    for (int id : ids)
        Control(id)->setEnabled(enable);
}
void CCapturePage::Enable(const std::vector<int>& ids, bool enable) {
    for (int id : ids)
        Control(id)->setEnabled(enable);
}

// ---------------------------------------------------------------------------
// The exchange with the boxes

int CCapturePage::BoxNumber(const QLineEdit* box) {
    return TextToNumber(box->text().toStdString());
}

bool CCapturePage::BoxEmpty(const QLineEdit* box) {
    return box->text().isEmpty();
}

bool CCapturePage::ExchangeUnsigned(const QLineEdit* box, uint32_t& member, uint32_t low,
                                    uint32_t high,
                                    const std::function<void(const QString&)>& warn) {
    const QString text = box->text().trimmed();
    bool digits = !text.isEmpty();
    for (const QChar c : text)
        digits = digits && c.isDigit() && c.unicode() < 128;
    bool ok = false;
    const qulonglong value = digits ? text.toULongLong(&ok) : 0;
    if (!ok || value > 0xFFFFFFFFull) {
        if (warn)
            warn(tr("请输入一个正整数。"));
        return false;
    }
    member = static_cast<uint32_t>(value);
    if (high >= low && (member < low || member > high)) {
        if (warn)
            warn(tr("请输入一个介于 %1 和 %2 之间的整数。").arg(low).arg(high));
        return false;
    }
    return true;
}

void CCapturePage::ShowUnsigned(QLineEdit* box, uint32_t value) {
    box->setText(QString::number(value));
}

// ---------------------------------------------------------------------------
// Capture start

void CCapturePage::MeasureArea() {
    const QRect area = m_pictureView->geometry().normalized();
    m_nAreaHeight = area.height();
    m_nAreaWidth = area.width();
}

bool CCapturePage::ValidateSizeAndGaps(std::string& message) {
    struct SizeBox {
        int id;
        uint32_t* member;
        const char *empty, *notPositive, *tooLarge;
    };
    const auto say = [](const char* text) { return tr(text).toStdString(); };
    for (const SizeBox& b :
         {SizeBox{IDC_ROWS, &m_nRows, QT_TRANSLATE_NOOP("CCapturePage", "请输入图像行数"),
                  QT_TRANSLATE_NOOP("CCapturePage", "整幅图的显示行数必须大于0"),
                  QT_TRANSLATE_NOOP("CCapturePage", "图像行数不能大于9999")},
          SizeBox{IDC_COLUMNS, &m_nColumns, QT_TRANSLATE_NOOP("CCapturePage", "请输入图像列数"),
                  QT_TRANSLATE_NOOP("CCapturePage", "整幅图的显示列数必须大于0"),
                  QT_TRANSLATE_NOOP("CCapturePage", "图像列数不能大于9999")}}) {
        if (BoxEmpty(Box(b.id))) {
            message = say(b.empty);
            return false;
        }
        const int n = BoxNumber(Box(b.id));
        *b.member = static_cast<uint32_t>(n);
        if (n <= 0) {
            message = say(b.notPositive);
            return false;
        }
        if (n > 9999) {
            message = say(b.tooLarge);
            return false;
        }
    }
    m_nFrameSize = m_nRows * m_nColumns;
    struct GapBox {
        int id;
        uint32_t* member;
        const char *empty, *outOfRange;
    };
    for (const GapBox& b :
         {GapBox{IDC_COLUMN_GAP, &m_nColumnGap, QT_TRANSLATE_NOOP("CCapturePage", "请输入间隔列数"),
                 QT_TRANSLATE_NOOP("CCapturePage", "间隔列数必须在0到1000之间")},
          GapBox{IDC_ROW_GAP, &m_nRowGap, QT_TRANSLATE_NOOP("CCapturePage", "请输入间隔行数"),
                 QT_TRANSLATE_NOOP("CCapturePage", "间隔行数必须在0到1000之间")}}) {
        if (BoxEmpty(Box(b.id))) {
            message = say(b.empty);
            return false;
        }
        const int n = BoxNumber(Box(b.id));
        *b.member = static_cast<uint32_t>(n);
        if (n < 0 || n > 1000) {
            message = say(b.outOfRange);
            return false;
        }
    }
    return true;
}

void CCapturePage::OnCaptureOne() {
    OnCapture(0, IDC_CAPTURE_ONE, CaptureOneText());
}
void CCapturePage::OnCaptureContinuous() {
    OnCapture(1, m_layout.continuousButton, CaptureContinuousText());
}

// With the caption "停止采集" the button stops the capture; with its idle
// caption it validates, then shows "停止采集", prepares and starts the
// engine; any other caption does nothing.
void CCapturePage::OnCapture(int mode, int buttonId, const QString& idleCaption) {
    QPushButton* button = Button(buttonId);
    m_nMode = mode;
    const QString caption = button->text();
    if (caption == StopText()) {
        StopWorker();
        return;
    }
    if (caption != idleCaption)
        return;
    std::string message;
    if (!ValidateParameters(message)) {
        ShowStatus(message);
        return;
    }
    button->setText(StopText());
    PrepareCapture();
    // The picture surface takes the size of the area just measured.
    if (m_wndPicture.Width() != m_nAreaWidth || m_wndPicture.Height() != m_nAreaHeight)
        m_wndPicture.Resize(m_nAreaWidth, m_nAreaHeight);
    if (StartWorker() == 0)
        ShowStatus(tr("采集未能启动，请稍后再试").toStdString());
}

// ---------------------------------------------------------------------------
// The engine's operations

void CCapturePage::ShowStatus(std::string text) {
    // Posted, never waited for; a newer status replaces one not yet shown.
    m_invoker.Post([this, t = QString::fromStdString(
                              text)] { qobject_cast<QLabel*>(Control(IDC_STATUS))->setText(t); },
                   kStatusCall);
}

void CCapturePage::OnCaptureBegin() {
    const int mode = m_nMode;
    m_invoker.Post([this, mode] {
        Enable(m_layout.parameters, false);
        OnCaptureBegun();
        if (mode == 0)
            Enable({m_layout.continuousButton}, false);
        else if (mode == 1)
            Enable({IDC_CAPTURE_ONE}, false);
    });
}

void CCapturePage::OnCaptureEnd() {
    const int mode = m_nMode;
    m_invoker.Post([this, mode] {
        if (mode == 0)
            Button(IDC_CAPTURE_ONE)->setText(CaptureOneText());
        else if (mode == 1)
            Button(m_layout.continuousButton)->setText(CaptureContinuousText());
        Enable(m_layout.enabledAtEnd, true);
        OnCaptureEnded();
        // A recording covers one capture.
        if (m_actRecord->isChecked())
            FinishRecording();
    });
}

void CCapturePage::ClearPicture() {
    m_wndPicture.Fill(kBackground);
    // The histogram counted the picture that has gone.
    if (m_histogram != nullptr)
        m_histogram->SetCounts(pixel::Histogram{});
}

// ---------------------------------------------------------------------------
// Keeping what the camera sent

void CCapturePage::CreatePictureMenu() {
    m_pictureMenu = new QMenu(this);
    auto add = [this](const QString& text, const QKeySequence& keys, auto handler) {
        QAction* action = m_pictureMenu->addAction(text);
        action->setShortcut(keys);
        action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
        connect(action, &QAction::triggered, this, handler);
        addAction(action);  // the shortcut works anywhere on the page
        return action;
    };
    add(tr("保存图片…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
        [this] { OnSavePicture(); });
    add(tr("保存原始帧…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F),
        [this] { OnSaveFrame(); });
    add(tr("复制图片"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C),
        [this] { OnCopyPicture(); });
    m_pictureMenu->addSeparator();
    add(tr("打开图片…"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O),
        [this] { OnOpenPicture(); });
    m_pictureMenu->addSeparator();
    m_actSaveEvery = m_pictureMenu->addAction(tr("保存每一帧…"));
    m_actSaveEvery->setCheckable(true);
    connect(m_actSaveEvery, &QAction::toggled, this, [this](bool on) { OnSaveEveryFrame(on); });
    QAction* diagnose = m_pictureMenu->addAction(tr("诊断串口数据…"));
    diagnose->setToolTip(tr("看看串口上的数据是什么：帧头、帧长、行列数、波特率"));
    connect(diagnose, &QAction::triggered, this, [this] { OnDiagnose(); });
    m_actHistogram = m_pictureMenu->addAction(tr("显示直方图"));
    m_actHistogram->setCheckable(true);
    connect(m_actHistogram, &QAction::toggled, m_histogram, &QWidget::setVisible);
    m_actWholeFrames = m_pictureMenu->addAction(tr("只显示完整帧"));
    m_actWholeFrames->setCheckable(true);
    m_actWholeFrames->setToolTip(tr("整帧收齐后才画到图上，不再逐行显示正在接收的帧"));
    connect(m_actWholeFrames, &QAction::toggled, this,
            [this](bool on) { m_bWholeFramesOnly = on ? 1 : 0; });
    m_actRecord = m_pictureMenu->addAction(tr("录制…"));
    m_actRecord->setCheckable(true);
    m_actRecord->setToolTip(tr("把串口收到的原始数据连同时间记录到文件，以后可以回放"));
    connect(m_actRecord, &QAction::toggled, this, [this](bool on) { OnRecord(on); });

    AddDisplayActions(m_pictureMenu);

    m_pictureView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_pictureView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_pictureMenu->popup(m_pictureView->mapToGlobal(at)); });

    // What is being kept is said over the picture's lower left corner.
    m_captureInfo = new QLabel(m_pictureView);
    m_captureInfo->setStyleSheet(QStringLiteral(
        "QLabel { background: rgba(0, 0, 0, 160); color: white; padding: 2px 6px; }"));
    m_captureInfo->hide();
    m_infoTimer.setInterval(250);
    connect(&m_infoTimer, &QTimer::timeout, this, [this] { UpdateCaptureInfo(); });
}

QString CCapturePage::LastFolder() const {
    const QString folder = QSettings().value(QStringLiteral("Capture/LastFolder")).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

void CCapturePage::RememberFolder(const QString& path) {
    const QFileInfo info(path);
    QSettings().setValue(QStringLiteral("Capture/LastFolder"),
                         info.isDir() ? info.absoluteFilePath() : info.absolutePath());
}

QImage CCapturePage::DrawnPicture() const {
    QImage image;
    m_wndPicture.Read([&](const uint32_t* pixels, int width, int height) {
        image = QImage(reinterpret_cast<const uchar*>(pixels), width, height, width * 4,
                       QImage::Format_RGB32)
                    .copy();
    });
    CFrameCopy frame;
    if (!LastFrame(frame))
        return image;
    const pixel::Geometry g =
        pixel::PassGeometry(frame.rows, frame.columns, frame.rowGap, frame.columnGap,
                            m_bScaleToArea != 0, m_nAreaWidth, m_nAreaHeight);
    const QRect drawn(0, 0,
                      static_cast<int>(std::min<uint64_t>(g.displayColumns * g.block, 1 << 20)),
                      static_cast<int>(std::min<uint64_t>(g.displayRows * g.block, 1 << 20)));
    return drawn.isEmpty() ? image : image.copy(drawn.intersected(image.rect()));
}

void CCapturePage::OnSavePicture() {
    const QImage picture = DrawnPicture();
    CFrameCopy frame;
    const bool have = LastFrame(frame);
    const QString proposed =
        QDir(LastFolder())
            .filePath(frameimage::ProposedName(QStringLiteral("picture"),
                                               QDateTime::currentDateTime(), have ? frame.rows : 0,
                                               have ? frame.columns : 0, QStringLiteral("png")));
    const QString path = m_chooseSaveFile(tr("保存图片"), proposed, tr("PNG 图片 (*.png)"));
    if (path.isEmpty())
        return;
    RememberFolder(path);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QString error;
    if (!picture.save(&buffer, "PNG") || !frameimage::WriteWhole(path, png, error)) {
        m_showWarning(error.isEmpty() ? tr("无法保存文件 %1").arg(path) : error);
        return;
    }
    ShowStatus(tr("图片已保存到 %1").arg(path).toStdString());
}

void CCapturePage::OnSaveFrame() {
    CFrameCopy frame;
    if (!LastFrame(frame)) {
        m_showWarning(tr("还没有完整的一帧可以保存：请先采集。"));
        return;
    }
    const stream::Encoding encoding = frame.Encoding();
    const bool jpeg = stream::Info(encoding).compressed;
    const bool gray = frame.format == pixel::kGray;
    // A JPEG frame is kept as the board sent it; any other as a picture,
    // with its bytes beside it unless the picture holds them exactly.
    const QString suffix = jpeg   ? QStringLiteral("jpg")
                           : gray ? QStringLiteral("pgm")
                                  : QStringLiteral("ppm");
    const bool rawBeside = !jpeg && encoding != stream::Encoding::Gray8;
    const QString raw = frameimage::RawSuffix(frame);
    const QString proposed = QDir(LastFolder())
                                 .filePath(frameimage::ProposedName(
                                     QStringLiteral("frame"), QDateTime::currentDateTime(),
                                     frame.rows, frame.columns, suffix));
    const QString filter =
        jpeg   ? tr("JPEG 文件 (*.jpg)（收到的字节原样保存）")
        : gray ? (rawBeside ? tr("PGM 图像 (*.pgm)（同时保存原始数据 *.%1）").arg(raw)
                            : tr("PGM 图像 (*.pgm)"))
        : raw == QLatin1String("uyv") ? tr("PPM 图像 (*.ppm)（同时保存原始 UYV 数据 *.uyv）")
                                      : tr("PPM 图像 (*.ppm)（同时保存原始数据 *.%1）").arg(raw);
    const QString path = m_chooseSaveFile(tr("保存原始帧"), proposed, filter);
    if (path.isEmpty())
        return;
    RememberFolder(path);
    QString error;
    if (!frameimage::Save(path, frame, error)) {
        m_showWarning(error);
        return;
    }
    if (!rawBeside) {
        ShowStatus(tr("原始帧已保存到 %1").arg(path).toStdString());
        return;
    }
    // The bytes as received beside the converted picture.
    const QFileInfo info(path);
    const QString rawPath = info.dir().filePath(info.completeBaseName() + QLatin1Char('.') + raw);
    if (!frameimage::Save(rawPath, frame, error)) {
        m_showWarning(error);
        return;
    }
    ShowStatus(tr("原始帧已保存到 %1 和 %2").arg(path, rawPath).toStdString());
}

void CCapturePage::OnCopyPicture() {
    QGuiApplication::clipboard()->setImage(DrawnPicture());
    ShowStatus(tr("图片已复制到剪贴板").toStdString());
}

uint32_t CCapturePage::GapBox(int id) const {
    uint32_t value = 0;
    return ExchangeUnsigned(Box(id), value, 0, 1000, nullptr) ? value : 0;
}

void CCapturePage::OnOpenPicture() {
    const QString path =
        m_chooseOpenFile(tr("打开图片"), LastFolder(), tr("图片 (*.pgm *.ppm *.png *.jpg *.jpeg)"));
    if (path.isEmpty())
        return;
    RememberFolder(path);
    CFrameCopy frame;
    QString error;
    if (!frameimage::Load(path, m_byFormat, frame, error,
                          m_streamFormat.Resolved(m_byFormat == pixel::kUyv))) {
        m_showWarning(error);
        return;
    }
    // Drawn as the next capture would draw a received frame of its size.
    MeasureArea();
    m_bScaleToArea = ScaleChoice() ? 1 : 0;
    m_nRowGap = GapBox(IDC_ROW_GAP);
    m_nColumnGap = GapBox(IDC_COLUMN_GAP);
    m_nRows = frame.rows;
    m_nColumns = frame.columns;
    m_nFrameSize = static_cast<uint32_t>(frame.bytes.size());
    PrepareStill();
    if (m_wndPicture.Width() != m_nAreaWidth || m_wndPicture.Height() != m_nAreaHeight)
        m_wndPicture.Resize(m_nAreaWidth, m_nAreaHeight);
    if (!ShowStillFrame(frame)) {
        m_showWarning(tr("采集进行中，或内存不足：无法显示图片 %1").arg(path));
        return;
    }
    ShowStatus(tr("已显示图片 %1（%2 行 × %3 列）")
                   .arg(QFileInfo(path).fileName())
                   .arg(frame.rows)
                   .arg(frame.columns)
                   .toStdString());
}

void CCapturePage::OnSaveEveryFrame(bool on) {
    if (!on) {
        m_frameSaver.Stop();
        UpdateCaptureInfo();
        return;
    }
    const QString folder = m_chooseFolder(tr("保存每一帧到文件夹"), LastFolder());
    QString error;
    if (folder.isEmpty() || !m_frameSaver.Start(folder, error)) {
        if (!error.isEmpty())
            m_showWarning(error);
        const QSignalBlocker block(m_actSaveEvery);
        m_actSaveEvery->setChecked(false);
        return;
    }
    RememberFolder(folder);
    m_shownSaveError.clear();
    m_infoTimer.start();
    UpdateCaptureInfo();
}

void CCapturePage::RedrawLastFrame() {
    CFrameCopy frame;
    if (CaptureRunning() || !LastFrame(frame))
        return;
    // As the frame was drawn: its gaps, the area and scaling of the page.
    m_nRowGap = frame.rowGap;
    m_nColumnGap = frame.columnGap;
    m_nRows = frame.rows;
    m_nColumns = frame.columns;
    m_nFrameSize = static_cast<uint32_t>(frame.bytes.size());
    PrepareStill();
    ShowStillFrame(frame);
}

bool CCapturePage::CaptureRunning() const {
    for (int id : {IDC_CAPTURE_ONE, m_layout.continuousButton})
        if (Button(id)->text() == StopText())
            return true;
    return false;
}

void CCapturePage::StopCapture() {
    if (!CaptureRunning())
        return;
    StopWorker();
    QElapsedTimer waited;
    waited.start();
    while (CaptureRunning() && waited.elapsed() < 3000) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        QThread::msleep(5);
    }
}

void CCapturePage::SetFrameSize(uint32_t rows, uint32_t columns) {
    ShowUnsigned(Box(IDC_ROWS), rows);
    ShowUnsigned(Box(IDC_COLUMNS), columns);
    m_nRows = rows;
    m_nColumns = columns;
    SaveSettings();
}

void CCapturePage::UpdateWireGeometry() {
    if (m_wndWireGeometry == nullptr) {
        // Under the size boxes, from the first of them.
        QLineEdit* rows = Box(IDC_ROWS);
        QLineEdit* columns = Box(IDC_COLUMNS);
        m_wndWireGeometry = new QLabel(this);
        m_wndWireGeometry->setObjectName(QStringLiteral("WireGeometry"));
        m_wndWireGeometry->setFont(m_fontLabels);
        m_wndWireGeometry->setStyleSheet(QStringLiteral("QLabel { color: #0050a0; }"));
        m_wndWireGeometry->move(
            std::min(rows->x(), columns->x()),
            std::max(rows->geometry().bottom(), columns->geometry().bottom()) + 3);
        m_wndWireGeometry->hide();
    }
    if (!m_streamFormat.GeometryFromWire()) {
        m_wndWireGeometry->hide();
        return;
    }
    uint32_t rows = 0, columns = 0;
    const QString text = WireGeometry(rows, columns)
                             ? tr("尺寸来自数据流：%1 × %2").arg(columns).arg(rows)
                             : tr("尺寸来自数据流");
    if (m_wndWireGeometry->text() != text) {
        m_wndWireGeometry->setText(text);
        m_wndWireGeometry->adjustSize();
    }
    m_wndWireGeometry->show();
    m_wndWireGeometry->raise();
}

void CCapturePage::OnRecord(bool on) {
    if (!on) {
        FinishRecording();
        return;
    }
    auto refuse = [this](const QString& text) {
        if (!text.isEmpty())
            m_showWarning(text);
        const QSignalBlocker block(m_actRecord);
        m_actRecord->setChecked(false);
    };
    if (!CaptureRunning()) {
        refuse(tr("请先开始采集，再录制。"));
        return;
    }
    const QString proposed = QDir(LastFolder())
                                 .filePath(frameimage::ProposedName(
                                     QStringLiteral("recording"), QDateTime::currentDateTime(),
                                     m_nRows, m_nColumns, QStringLiteral("tavixrec")));
    const QString path =
        m_chooseSaveFile(tr("录制"), proposed, tr("TavixTool 录制文件 (*.tavixrec)"));
    if (path.isEmpty()) {
        refuse(QString());
        return;
    }
    RememberFolder(path);
    RecordingHeader header;
    header.baud = static_cast<uint32_t>(std::max(0, TextToNumber(m_portChoice.baudText)));
    header.headerByte = m_byHeader;
    header.format = m_byFormat == pixel::kUyv ? recording::PixelFormat::Colour
                                              : recording::PixelFormat::Grayscale;
    header.rows = m_nRows;
    header.columns = m_nColumns;
    // A replay reads the stream as it was recorded, whatever is chosen then.
    if (!m_streamFormat.IsDesignFormat())
        header.streamFormat = stream::FormatToText(m_streamFormat);
    auto writer = std::make_unique<CRecordingWriter>();
    std::string error;
    if (!writer->Open(path.toStdString(), header, error)) {
        refuse(QString::fromStdString(error));
        return;
    }
    StartRecording(std::move(writer));
    m_infoTimer.start();
    UpdateCaptureInfo();
}

void CCapturePage::FinishRecording() {
    const CRecordingState s = StopRecording();
    {
        const QSignalBlocker block(m_actRecord);
        m_actRecord->setChecked(false);
    }
    UpdateCaptureInfo();
    if (s.path.empty())
        return;
    const QString path = QString::fromStdString(s.path);
    if (s.failed) {
        m_showWarning(tr("录制已停止：%1\n文件 %2 保留了到最后一个完整数据块为止的 %3 "
                         "字节，可以回放。")
                          .arg(QString::fromStdString(s.error), path)
                          .arg(s.bytes));
        return;
    }
    ShowStatus(tr("录制已保存到 %1（%2 字节）").arg(path).arg(s.bytes).toStdString());
}

QString CCapturePage::CaptureInfoText() const {
    QStringList parts;
    const CRecordingState r = GetRecordingState();
    if (r.active)
        parts << tr("录制中：%1 KB").arg(r.bytes / 1024.0, 0, 'f', 1);
    const CFrameSaver::Status s = m_frameSaver.GetStatus();
    if (s.active) {
        parts << (s.dropped > 0
                      ? tr("保存每一帧：已保存 %1 帧，来不及保存 %2 帧").arg(s.saved).arg(s.dropped)
                      : tr("保存每一帧：已保存 %1 帧").arg(s.saved));
    }
    return parts.join(QStringLiteral("  ·  "));
}

void CCapturePage::UpdateCaptureInfo() {
    const CFrameSaver::Status s = m_frameSaver.GetStatus();
    if (!s.error.isEmpty() && s.error != m_shownSaveError) {
        // Saving stopped on a failure; the capture goes on.
        m_shownSaveError = s.error;
        const QSignalBlocker block(m_actSaveEvery);
        m_actSaveEvery->setChecked(false);
        m_showWarning(tr("保存每一帧已停止（已保存 %1 帧）：%2").arg(s.saved).arg(s.error));
    }
    // A recording whose write failed ends here; the capture goes on.
    if (m_actRecord->isChecked() && GetRecordingState().failed) {
        FinishRecording();
        return;
    }
    const QString text = CaptureInfoText();
    m_captureInfo->setVisible(!text.isEmpty());
    if (text.isEmpty()) {
        if (!m_actSaveEvery->isChecked() && !m_actRecord->isChecked())
            m_infoTimer.stop();
        return;
    }
    m_captureInfo->setText(text);
    m_captureInfo->adjustSize();
    m_captureInfo->move(4, m_pictureView->height() - m_captureInfo->height() - 4);
}

// ---------------------------------------------------------------------------
// Diagnosis

bool CCapturePage::CollectLineBytes(std::vector<uint8_t>& bytes, CDiagnosisContext& context) {
    CPortOwner* owner = GetPortOwner();
    if (CaptureRunning()) {
        // What this capture has received so far.
        double seconds = 0;
        RecentBytes(bytes, seconds);
        context.seconds = seconds;
        context.baud = static_cast<uint32_t>(std::max(0, TextToNumber(m_portChoice.baudText)));
        return true;
    }
    if (owner == nullptr) {
        m_showWarning(tr("没有串口可以诊断。"));
        return false;
    }
    const CPortChoice choice = owner->CurrentChoice();
    if (owner->IsPortOpen() == 0 && owner->OpenPort(choice) == 0)
        return false;  // the owner has said why
    context.baud = static_cast<uint32_t>(std::max(0, TextToNumber(choice.baudText)));
    SerialPort& port = owner->m_port;
    port.Purge();
    uint64_t framing0 = 0, parity0 = 0, overrun0 = 0, breaks0 = 0;
    const bool counters = port.LineErrorCounters(framing0, parity0, overrun0, breaks0);

    // Listens on a thread of its own while the window shows the progress.
    // While what came is too few frames for an answer, it listens on, up to
    // m_nMostListenMs in all.
    std::atomic<bool> done{false}, cancel{false}, extended{false};
    std::atomic<int> limitMs{m_nListenMs};
    const auto start = std::chrono::steady_clock::now();
    auto elapsedMs = [&start] {
        return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                    std::chrono::steady_clock::now() - start)
                                    .count());
    };
    // One thread reads all the while; the other decides, from a copy of
    // what came, whether to listen on (the port is never left unread).
    std::mutex lock;
    std::atomic<bool> stopReading{false};
    std::thread listener([&] {
        std::vector<uint8_t> buffer(65536);
        int lastData = 0;
        while (!cancel && !stopReading) {
            port.WaitForData(50, nullptr, true);
            uint32_t n = 0;
            if (port.ReadAvailable(buffer.data(), static_cast<uint32_t>(buffer.size()), n) != 0)
                break;
            if (n == 0)
                continue;
            // Bytes after a quiet while start a burst: where headerless
            // frames begin.
            const int now = elapsedMs();
            std::lock_guard<std::mutex> guard(lock);
            if (!bytes.empty() && now - lastData >= kPauseMs)
                context.pauses.push_back(bytes.size());
            lastData = now;
            bytes.insert(bytes.end(), buffer.data(), buffer.data() + n);
        }
        stopReading = true;
        done = true;
    });
    std::thread decider([&] {
        for (;;) {
            while (!cancel && !stopReading && elapsedMs() < limitMs)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (cancel || stopReading || limitMs >= m_nMostListenMs)
                break;
            std::vector<uint8_t> sofarBytes;
            CDiagnosisContext sofar;
            {
                std::lock_guard<std::mutex> guard(lock);
                sofarBytes = bytes;
                sofar = context;
            }
            if (sofarBytes.empty())
                break;
            const int at = elapsedMs();
            sofar.seconds = at / 1000.0;
            const uint64_t needed =
                Diagnose(sofarBytes.data(), sofarBytes.size(), sofar).moreBytesNeeded;
            if (needed == 0)
                break;
            // At the rate so far, and half a second more.
            const double rate =
                static_cast<double>(sofarBytes.size()) / std::max(sofar.seconds, 0.001);
            const double more = static_cast<double>(needed) / rate + 0.5;
            limitMs = static_cast<int>(
                std::min<double>(m_nMostListenMs, at + std::min(more, 10.0) * 1000));
            extended = true;
        }
        stopReading = true;
    });
    QProgressDialog progress(tr("正在监听串口数据…"), tr("取消"), 0, m_nListenMs, this);
    progress.setWindowTitle(tr("诊断串口数据：正在监听"));
    progress.setMinimumDuration(0);
    QEventLoop loop;
    QTimer tick;
    connect(&tick, &QTimer::timeout, &loop, [&] {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - start)
                            .count();
        if (extended && progress.maximum() != limitMs) {
            progress.setLabelText(tr("数据还不够下结论，继续监听…"));
            progress.setMaximum(limitMs);
        }
        progress.setValue(static_cast<int>(std::min<int64_t>(ms, progress.maximum())));
        if (progress.wasCanceled())
            cancel = true;
        if (done)
            loop.quit();
    });
    tick.start(50);
    loop.exec();
    listener.join();
    decider.join();
    progress.close();
    if (cancel)
        return false;
    context.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    uint64_t framing = 0, parity = 0, overrun = 0, breaks = 0;
    if (counters && port.LineErrorCounters(framing, parity, overrun, breaks)) {
        context.countersKnown = true;
        context.framing = framing - framing0;
        context.parity = parity - parity0;
        context.overrun = overrun - overrun0;
        context.breaks = breaks - breaks0;
    }
    return true;
}

void CCapturePage::OnDiagnose() {
    for (;;) {
        std::vector<uint8_t> bytes;
        CDiagnosisContext context;
        context.header = m_byHeader;
        context.rows = static_cast<uint32_t>(std::max(0, BoxNumber(Box(IDC_ROWS))));
        context.columns = static_cast<uint32_t>(std::max(0, BoxNumber(Box(IDC_COLUMNS))));
        context.colour = m_byFormat == pixel::kUyv ? 1 : 0;
        context.hasFormat = true;
        context.format = m_streamFormat;
        if (!CollectLineBytes(bytes, context))
            return;
        const CDiagnosisReport report = Diagnose(bytes.data(), bytes.size(), context);
        CDiagnosisDialog dialog(report, m_byFormat == pixel::kUyv, this);
        if (m_onDiagnosisShown)
            m_onDiagnosisShown(dialog);
        const int result = dialog.exec();
        if (result == CDiagnosisDialog::kAgain)
            continue;
        if (result == QDialog::Accepted && dialog.CanApply()) {
            // Another format: the main window sets it (its page and size).
            if (report.formatFound || m_streamFormat.framing != stream::Framing::HeaderByte) {
                const bool size = report.formatFound && !report.suggestGeometryFromWire;
                if (m_applyStreamFormat)
                    m_applyStreamFormat(report.suggestFormat, report.suggestPreset,
                                        size ? report.suggestRows : 0,
                                        size ? report.suggestColumns : 0);
                if (report.formatFound) {
                    ShowStatus(tr("已应用诊断建议：数据格式“%1”")
                                   .arg(QString::fromStdString(report.suggestPresetName))
                                   .toStdString());
                    return;
                }
            }
            // The suggestion, for this run: the header byte of the settings
            // file stays as it is.
            m_byHeader = report.suggestHeader;
            Box(IDC_ROWS)->setText(QString::number(report.suggestRows));
            Box(IDC_COLUMNS)->setText(QString::number(report.suggestColumns));
            ShowStatus(tr("已应用诊断建议：帧头 %1，%2 行 × %3 列")
                           .arg(report.suggestHeader)
                           .arg(report.suggestRows)
                           .arg(report.suggestColumns)
                           .toStdString());
        }
        return;
    }
}
