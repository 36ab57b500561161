#include "ui/HyperLink.h"

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QProcess>
#include <QTextStream>
#include <QTimerEvent>
#include <QUrl>

namespace {

const int kHoverPollMs = 100;
const int kShowNormal = 5;
// Result codes of the openers; anything above 32 means success.
const int kOpened = 33;
const int kNoMemoryOrResources = 0;
const int kFileNotFound = 2;
const int kPathNotFound = 3;
const int kAccessDenied = 5;
const int kNotEnoughMemory = 8;
const int kNoAssociation = 31;
// The handler's command line has to fit a 520-byte buffer, terminating zero
// included; a longer one is refused with kNotEnoughMemory.
const int kCommandBufferBytes = 520;

QString OpenErrorText(int code) {
    switch (code) {
        case 0:
            return QStringLiteral("The operating system is out\nof memory or resources.");
        case 2:
            return QStringLiteral("The specified file was not found.");
        case 3:
            return QStringLiteral("The specified path was not found.");
        case 5:
            return QStringLiteral("The operating system denied\naccess to the specified file.");
        case 8:
            return QStringLiteral("There was not enough memory to complete the operation.");
        case 11:
            return QStringLiteral(
                "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).");
        case 26:
            return QStringLiteral("A sharing violation occurred. ");
        case 27:
            return QStringLiteral("The filename association is\nincomplete or invalid.");
        case 28:
            return QStringLiteral(
                "The DDE transaction could not\nbe completed because the request timed out.");
        case 29:
            return QStringLiteral("The DDE transaction failed.");
        case 30:
            return QStringLiteral(
                "The DDE transaction could not\nbe completed because other DDE "
                "transactions\nwere being processed.");
        case 31:
            return QStringLiteral(
                "There is no application associated\nwith the given filename extension.");
        case 32:
            return QStringLiteral("The specified dynamic-link library was not found.");
        default:
            return QString::asprintf("Unknown Error (%d) occurred.", code);
    }
}

// The Exec value of a .desktop file's [Desktop Entry] group.
QString ReadDesktopExec(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return {};
    }
    QTextStream in(&file);
    bool inEntry = false;
    QString line;
    while (in.readLineInto(&line)) {
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
        } else if (inEntry && !line.startsWith(QLatin1Char('#'))) {
            const int eq = line.indexOf(QLatin1Char('='));
            if (eq > 0 && line.left(eq).trimmed() == QLatin1String("Exec")) {
                return line.mid(eq + 1).trimmed();
            }
        }
    }
    return {};
}

// Resolves the program the way exec would, telling a missing file (2), a
// missing directory (3) and one that may not be run (5) apart; 0 when found.
int ResolveProgram(const QString& program, QString& resolved) {
    if (program.isEmpty()) {
        return kFileNotFound;
    }
    if (program.contains(QLatin1Char('/'))) {
        const QFileInfo info(program);
        if (!info.exists()) {
            return info.dir().exists() ? kFileNotFound : kPathNotFound;
        }
        if (!info.isFile() || !info.isExecutable()) {
            return kAccessDenied;
        }
        resolved = info.absoluteFilePath();
        return 0;
    }
    bool deniedSomewhere = false;
    const QStringList dirs =
        qEnvironmentVariable("PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& dir : dirs) {
        const QFileInfo info(QDir(dir), program);
        if (!info.exists()) {
            continue;
        }
        if (info.isFile() && info.isExecutable()) {
            resolved = info.absoluteFilePath();
            return 0;
        }
        deniedSomewhere = true;
    }
    return deniedSomewhere ? kAccessDenied : kFileNotFound;
}

}  // namespace

CHyperLink::CHyperLink(QWidget* parent) : QLabel(parent) {
    setTextFormat(Qt::PlainText);
}

CHyperLink::~CHyperLink() {
    StopHoverTimer();
}

void CHyperLink::Attach() {
    if (m_bAttached) {
        return;
    }
    m_bAttached = true;
    // Report moves without a pressed button, as the hover needs them.
    setMouseTracking(true);
    if (m_strTarget.isEmpty()) {
        m_strTarget = text();
    }
    if (text().isEmpty()) {
        setText(m_strTarget);
    }
    m_fontPlain = font();
    m_fontUnderlined = font();
    m_fontUnderlined.setUnderline(true);
    FitToText();
    LoadHandCursor();
    // Otherwise the label keeps its font until the pointer first enters.
    if (m_nUnderlineMode == 1) {
        setFont(m_fontUnderlined);
    }
    setToolTip(m_strTarget);
}

void CHyperLink::SetTarget(const QString& address) {
    m_strTarget = address;
    if (m_bAttached) {
        FitToText();
        setToolTip(address);
    }
}

void CHyperLink::MarkVisited(bool visited) {
    m_bOpened = visited;
    update();
}

void CHyperLink::SetUnderlineMode(int mode) {
    if (mode == m_nUnderlineMode) {
        return;
    }
    if (m_bAttached) {
        setFont(mode == 1 ? m_fontUnderlined : m_fontPlain);
        update();
    }
    m_nUnderlineMode = mode;
}

void CHyperLink::FitToText() {
    const QFontMetrics metrics(m_fontUnderlined);
    const QRect frame = geometry();
    const QRect contents = contentsRect();
    const int needWidth = metrics.horizontalAdvance(text()) + frame.width() - contents.width();
    const int needHeight = metrics.height() + frame.height() - contents.height();

    // Edges as right/bottom-exclusive coordinates in the parent.
    int left = frame.x();
    int top = frame.y();
    int right = left + frame.width();
    int bottom = top + frame.height();
    const Qt::Alignment align = alignment();
    if (align & Qt::AlignVCenter) {
        const int shift = (frame.height() - needHeight) / 2;
        top += shift;
        bottom -= shift;
    } else {
        bottom = top + needHeight;
    }
    if (align & Qt::AlignHCenter) {
        const int shift = (frame.width() - needWidth) / 2;
        left += shift;
        right -= shift;
    } else if (align & Qt::AlignRight) {
        left = right - needWidth;
    } else {
        right = left + needWidth;
    }
    setGeometry(left, top, right - left, bottom - top);
}

void CHyperLink::LoadHandCursor() {
    setCursor(Qt::PointingHandCursor);
}

void CHyperLink::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    drawFrame(&painter);
    // No background fill: whatever is behind the label shows through.
    painter.setPen(m_bPointerInside ? m_clrHover : m_bOpened ? m_clrVisited : m_clrLink);
    painter.setFont(font());
    const int m = margin();
    painter.drawText(contentsRect().adjusted(m, m, -m, -m), static_cast<int>(alignment()), text());
}

void CHyperLink::mouseMoveEvent(QMouseEvent* event) {
    if (!m_bAttached) {
        QLabel::mouseMoveEvent(event);
        return;
    }
    if (!m_bPointerInside) {
        m_bPointerInside = true;
        if (m_nUnderlineMode == -1) {
            setFont(m_fontUnderlined);
        }
        update();
        // A poll left running by a click is restarted, not doubled.
        StopHoverTimer();
        m_nHoverTimer = startTimer(kHoverPollMs);
    }
    event->accept();
}

void CHyperLink::mousePressEvent(QMouseEvent* event) {
    if (!m_bAttached) {
        QLabel::mousePressEvent(event);
        return;
    }
    // Accepting the press makes the release come to this label.
    event->accept();
}

void CHyperLink::mouseReleaseEvent(QMouseEvent* event) {
    if (!m_bAttached) {
        QLabel::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        OnClicked();
    }
}

void CHyperLink::timerEvent(QTimerEvent* event) {
    if (m_nHoverTimer != 0 && event->timerId() == m_nHoverTimer) {
        CheckPointer();
        return;
    }
    QLabel::timerEvent(event);
}

void CHyperLink::CheckPointer() {
    if (rect().contains(mapFromGlobal(PointerPos()))) {
        return;
    }
    m_bPointerInside = false;
    StopHoverTimer();
    if (m_nUnderlineMode != 1) {
        setFont(m_fontPlain);
    }
    update();
}

void CHyperLink::OnClicked() {
    // The hover poll keeps running; it restores the font once the pointer
    // has left.
    m_bPointerInside = false;
    const int code = OpenTarget(m_strTarget, kShowNormal);
    m_bOpened = code > 32;
    if (m_bOpened) {
        MarkVisited(true);
    } else {
        QApplication::beep();
        // The box need not cover the label, so repaint it here.
        update();
        ShowOpenError(code);
    }
}

QPoint CHyperLink::PointerPos() const {
    return QCursor::pos();
}

int CHyperLink::PlatformOpen(const QString& address) {
    return QDesktopServices::openUrl(QUrl::fromUserInput(address)) ? kOpened : kNoAssociation;
}

int CHyperLink::OpenTarget(const QString& address, int /*showCommand*/) {
    const int code = PlatformOpen(address);
    if (code > 32) {
        return code;
    }
    const QString command = HtmlHandlerCommand();
    if (command.isEmpty()) {
        return code;
    }
    return StartWithAddress(command, address);
}

void CHyperLink::ShowOpenError(int code) {
    ShowMessage(QGuiApplication::applicationDisplayName(),
                QStringLiteral("Unable to open hyperlink:\n\n") + OpenErrorText(code));
}

void CHyperLink::ShowMessage(const QString& caption, const QString& text) {
    QMessageBox box(QMessageBox::Warning, caption, text, QMessageBox::Ok, this);
    box.exec();
}

void CHyperLink::StopHoverTimer() {
    if (m_nHoverTimer != 0) {
        killTimer(m_nHoverTimer);
        m_nHoverTimer = 0;
    }
}

QString CHyperLink::CutAtPlaceholder(const QString& command) {
    static const QString kFieldCodes = QStringLiteral("uUfF");
    const int n = command.size();
    for (int i = 0; i + 3 < n; ++i) {
        if (command[i] == QLatin1Char('"') && command[i + 1] == QLatin1Char('%') &&
            kFieldCodes.contains(command[i + 2]) && command[i + 3] == QLatin1Char('"')) {
            return command.left(i);
        }
    }
    for (int i = 0; i + 1 < n; ++i) {
        if (command[i] != QLatin1Char('%')) {
            continue;
        }
        if (kFieldCodes.contains(command[i + 1])) {
            return command.left(i);
        }
        ++i;  // "%%" is a literal percent sign, and so is any other code
    }
    return command;
}

QString CHyperLink::HtmlHandlerCommand() {
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), QStringLiteral("text/html")});
    if (!query.waitForStarted(2000)) {
        return {};
    }
    if (!query.waitForFinished(5000)) {
        query.kill();
        query.waitForFinished(1000);
        return {};
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0) {
        return {};
    }
    const QString desktopId = QString::fromLocal8Bit(query.readAllStandardOutput())
                                  .section(QLatin1Char('\n'), 0, 0)
                                  .trimmed();
    if (desktopId.isEmpty() || desktopId.contains(QLatin1Char('/'))) {
        return {};
    }

    QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty()) {
        dataHome = QDir::homePath() + QStringLiteral("/.local/share");
    }
    QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dataDirs.isEmpty()) {
        dataDirs = QStringLiteral("/usr/local/share:/usr/share");
    }
    const QStringList dirs =
        QStringList{dataHome} + dataDirs.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& dir : dirs) {
        const QString path = dir + QStringLiteral("/applications/") + desktopId;
        if (QFileInfo::exists(path)) {
            return ReadDesktopExec(path);
        }
    }
    return {};
}

int CHyperLink::StartWithAddress(const QString& command, const QString& address) {
    const QString cut = CutAtPlaceholder(command);
    const QString commandLine = cut + QLatin1Char(' ') + address;
    if (commandLine.toLocal8Bit().size() >= kCommandBufferBytes) {
        return kNotEnoughMemory;
    }
    // The address is handed over as one argument and never reaches a shell.
    QStringList arguments = QProcess::splitCommand(cut);
    const QString program = arguments.isEmpty() ? QString() : arguments.takeFirst();
    QString resolved;
    const int code = ResolveProgram(program, resolved);
    if (code != 0) {
        return code;
    }
    arguments.append(address);
    return QProcess::startDetached(resolved, arguments) ? kOpened : kNoMemoryOrResources;
}
