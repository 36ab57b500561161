#include "help/HelpViewer.h"

#include <errno.h>
#include <iconv.h>

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QImage>
#include <QRegularExpression>
#include <QSplitter>
#include <QStringDecoder>
#include <QStyle>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString DefaultTitle() {
    return QCoreApplication::translate("CHelpViewer", "TavixTool 帮助");
}
// An object larger than this is not a help page or picture: not read.
constexpr LONGUINT64 kMaxObjectSize = 64u << 20;

uint16_t ReadUint16(const char* p) {
    return static_cast<uint16_t>(static_cast<uint8_t>(p[0]) | (static_cast<uint8_t>(p[1]) << 8));
}

uint32_t ReadUint32(const char* p) {
    return uint32_t{ReadUint16(p)} | (uint32_t{ReadUint16(p + 2)} << 16);
}

// The bytes of a #SYSTEM string record: up to its first NUL.
QByteArray RecordString(const QByteArray& data) {
    const int end = data.indexOf('\0');
    return end < 0 ? data : data.left(end);
}

QString DecodeEntities(QString text) {
    static const QRegularExpression numeric(QStringLiteral("&#(x[0-9a-fA-F]+|[0-9]+);"));
    QRegularExpressionMatch m;
    int from = 0;
    while ((m = numeric.match(text, from)).hasMatch()) {
        const QString digits = m.captured(1);
        bool ok = false;
        const uint code = digits.startsWith(QLatin1Char('x')) ? digits.mid(1).toUInt(&ok, 16)
                                                              : digits.toUInt(&ok, 10);
        const char32_t c = ok && code > 0 && code <= 0x10FFFF ? code : 0xFFFD;
        const QString ch = QString::fromUcs4(&c, 1);
        text.replace(m.capturedStart(), m.capturedLength(), ch);
        from = m.capturedStart() + ch.size();
    }
    text.replace(QLatin1String("&lt;"), QLatin1String("<"));
    text.replace(QLatin1String("&gt;"), QLatin1String(">"));
    text.replace(QLatin1String("&quot;"), QLatin1String("\""));
    text.replace(QLatin1String("&apos;"), QLatin1String("'"));
    text.replace(QLatin1String("&nbsp;"), QString(QChar(0xA0)));
    text.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return text;
}

// The value of attribute `name` in a tag's attribute text.
QString Attribute(const QString& attributes, const QString& name) {
    static const QRegularExpression attribute(QStringLiteral(
        "([A-Za-z_:][-A-Za-z0-9_:.]*)\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s>]+))"));
    auto it = attribute.globalMatch(attributes);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        if (m.captured(1).compare(name, Qt::CaseInsensitive) != 0)
            continue;
        for (int group = 2; group <= 4; ++group)
            if (m.capturedStart(group) >= 0)
                return DecodeEntities(m.captured(group));
    }
    return QString();
}

}  // namespace

// ---------------------------------------------------------------------------
// Text decoding

QString DecodeWithIconv(const QByteArray& bytes, const char* codec) {
    iconv_t cd = iconv_open("UTF-8", codec);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return QString::fromLatin1(bytes);
    QByteArray out;
    char* in = const_cast<char*>(bytes.constData());
    size_t inLeft = static_cast<size_t>(bytes.size());
    char buffer[4096];
    while (inLeft > 0) {
        char* o = buffer;
        size_t oLeft = sizeof buffer;
        const size_t r = iconv(cd, &in, &inLeft, &o, &oLeft);
        out.append(buffer, o - buffer);
        if (r == static_cast<size_t>(-1) && errno != E2BIG) {
            // An invalid sequence (EILSEQ) or one cut off at the end (EINVAL).
            out.append("\xEF\xBF\xBD");
            ++in;
            --inLeft;
        }
    }
    char* o = buffer;
    size_t oLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &o, &oLeft);
    out.append(buffer, o - buffer);
    iconv_close(cd);
    return QString::fromUtf8(out);
}

QString DecodeCodePage(const QByteArray& bytes, const char* codec) {
    // Qt 6 knows GBK and the other code pages only when built with ICU.
    QStringDecoder decoder(codec);
    if (decoder.isValid())
        return decoder.decode(bytes);
    return DecodeWithIconv(bytes, codec);
}

const char* CodePageForLcid(uint32_t lcid) {
    switch (lcid & 0xFFFF) {
        case 0x0804:  // Chinese (Simplified), PRC
        case 0x1004:  // Chinese (Simplified), Singapore
            return "GBK";
        case 0x0404:  // Chinese (Traditional), Taiwan
        case 0x0C04:  // Hong Kong
        case 0x1404:  // Macao
            return "Big5";
        case 0x0411:
            return "Shift_JIS";
        case 0x0412:
            return "CP949";
        default:
            return "windows-1252";
    }
}

QString DecodeHtmlPage(const QByteArray& html, const char* fallbackCodec) {
    if (html.startsWith("\xEF\xBB\xBF"))
        return QString::fromUtf8(html.mid(3));
    const QByteArray head = html.left(2048).toLower();
    static const QRegularExpression charset(
        QStringLiteral("charset\\s*=\\s*[\"']?\\s*([a-z0-9_.:-]+)"));
    const QRegularExpressionMatch m = charset.match(QString::fromLatin1(head));
    if (!m.hasMatch())
        return DecodeCodePage(html, fallbackCodec);
    const QByteArray name = m.captured(1).toLatin1();
    if (name == "utf-8" || name == "utf8")
        return QString::fromUtf8(html);
    if (name == "gb2312" || name == "gbk" || name == "x-gbk" || name == "cp936" ||
        name == "windows-936")
        return DecodeCodePage(html, "GBK");
    return DecodeCodePage(html, name.constData());
}

// ---------------------------------------------------------------------------
// #SYSTEM and sitemaps

CChmSystem ParseChmSystem(const QByteArray& data) {
    CChmSystem system;
    QByteArray strings[4];  // codes 0 to 3, decoded once the LCID is known
    const char* p = data.constData();
    qsizetype at = 4;  // after the version
    while (at + 4 <= data.size()) {
        const uint16_t code = ReadUint16(p + at);
        const uint16_t length = ReadUint16(p + at + 2);
        at += 4;
        if (at + length > data.size())
            break;
        const QByteArray record = data.mid(at, length);
        at += length;
        if (code <= 3)
            strings[code] = RecordString(record);
        else if (code == 4 && record.size() >= 4)
            system.lcid = ReadUint32(record.constData());
    }
    const char* codec = CodePageForLcid(system.lcid);
    system.contentsFile = DecodeCodePage(strings[0], codec);
    system.indexFile = DecodeCodePage(strings[1], codec);
    system.defaultTopic = DecodeCodePage(strings[2], codec);
    system.title = DecodeCodePage(strings[3], codec);
    return system;
}

std::vector<CContentsEntry> ParseSitemap(const QString& text) {
    static const QRegularExpression tag(QStringLiteral("<\\s*(/?)\\s*(ul|object|param)\\b([^>]*)>"),
                                        QRegularExpression::CaseInsensitiveOption);
    std::vector<CContentsEntry> entries;
    int lists = 0;
    bool inEntry = false;
    CContentsEntry entry;
    auto it = tag.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const bool closing = !m.captured(1).isEmpty();
        const QString name = m.captured(2).toLower();
        if (name == QLatin1String("ul")) {
            lists = closing ? std::max(0, lists - 1) : lists + 1;
        } else if (name == QLatin1String("object")) {
            if (!closing) {
                inEntry = Attribute(m.captured(3), QStringLiteral("type"))
                              .compare(QLatin1String("text/sitemap"), Qt::CaseInsensitive) == 0;
                entry = CContentsEntry();
                entry.depth = std::max(0, lists - 1);
            } else if (inEntry) {
                if (!entry.name.isEmpty())
                    entries.push_back(entry);
                inEntry = false;
            }
        } else if (inEntry && !closing) {
            const QString param = Attribute(m.captured(3), QStringLiteral("name"));
            const QString value = Attribute(m.captured(3), QStringLiteral("value"));
            if (param.compare(QLatin1String("Name"), Qt::CaseInsensitive) == 0 &&
                entry.name.isEmpty())
                entry.name = value;
            else if (param.compare(QLatin1String("Local"), Qt::CaseInsensitive) == 0 &&
                     entry.local.isEmpty())
                entry.local = value;
        }
    }
    return entries;
}

// ---------------------------------------------------------------------------
// CChmArchive

bool CChmArchive::Open(const QString& path) {
    Close();
    m_file = m_chm.open(QFile::encodeName(path).constData());
    return m_file != nullptr;
}

void CChmArchive::Close() {
    if (m_file != nullptr)
        m_chm.close(m_file);
    m_file = nullptr;
}

bool CChmArchive::Contains(const QString& path) const {
    chmUnitInfo ui;
    return m_file != nullptr &&
           m_chm.resolveObject(m_file, path.toUtf8().constData(), &ui) == CHM_RESOLVE_SUCCESS;
}

std::optional<QByteArray> CChmArchive::Read(const QString& path) const {
    chmUnitInfo ui;
    if (m_file == nullptr ||
        m_chm.resolveObject(m_file, path.toUtf8().constData(), &ui) != CHM_RESOLVE_SUCCESS ||
        ui.length > kMaxObjectSize)
        return std::nullopt;
    QByteArray bytes(static_cast<qsizetype>(ui.length), Qt::Uninitialized);
    if (ui.length == 0)
        return bytes;
    const LONGINT64 n =
        m_chm.retrieveObject(m_file, &ui, reinterpret_cast<unsigned char*>(bytes.data()), 0,
                             static_cast<LONGINT64>(ui.length));
    if (n != static_cast<LONGINT64>(ui.length))
        return std::nullopt;
    return bytes;
}

QStringList CChmArchive::Files() const {
    QStringList files;
    if (m_file == nullptr)
        return files;
    m_chm.enumerate(
        m_file, CHM_ENUMERATE_NORMAL | CHM_ENUMERATE_FILES,
        [](chmFile*, chmUnitInfo* ui, void* context) {
            static_cast<QStringList*>(context)->append(QString::fromUtf8(ui->path));
            return CHM_ENUMERATOR_CONTINUE;
        },
        &files);
    return files;
}

// ---------------------------------------------------------------------------
// CHelpBrowser

CHelpBrowser::CHelpBrowser(const CChmArchive& archive, QWidget* parent)
    : QTextBrowser(parent), m_archive(archive) {
    // Links are followed by the viewer, which keeps them inside the file.
    setOpenLinks(false);
}

QVariant CHelpBrowser::loadResource(int type, const QUrl& name) {
    const QUrl url = source().resolved(name);
    if (url.scheme() != QLatin1String(kScheme))
        return QVariant();
    const std::optional<QByteArray> bytes = m_archive.Read(url.path(QUrl::FullyDecoded));
    if (!bytes)
        return QVariant();
    switch (type) {
        case QTextDocument::HtmlResource:
            return DecodeHtmlPage(*bytes, m_codec);
        case QTextDocument::ImageResource: {
            const QImage image = QImage::fromData(*bytes);
            return image.isNull() ? QVariant() : QVariant(image);
        }
        case QTextDocument::StyleSheetResource:
            return QString::fromUtf8(*bytes);
        default:
            return *bytes;
    }
}

// ---------------------------------------------------------------------------
// CHelpViewer

CHelpViewer::CHelpViewer(const ChmFunctions& chm, QWidget* owner)
    : QWidget(owner, Qt::Window), m_archive(chm) {
    setWindowTitle(DefaultTitle());
    resize(920, 660);

    m_wndBrowser = new CHelpBrowser(m_archive, this);
    m_wndContents = new QTreeWidget(this);
    m_wndContents->setHeaderHidden(true);
    m_wndContents->setColumnCount(1);

    m_wndToolBar = new QToolBar(this);
    m_wndToolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QAction* back = m_wndToolBar->addAction(style()->standardIcon(QStyle::SP_ArrowBack), tr("后退"),
                                            m_wndBrowser, &QTextBrowser::backward);
    QAction* forward = m_wndToolBar->addAction(style()->standardIcon(QStyle::SP_ArrowForward),
                                               tr("前进"), m_wndBrowser, &QTextBrowser::forward);
    m_wndToolBar->addAction(style()->standardIcon(QStyle::SP_DirHomeIcon), tr("主页"), this,
                            [this] { ShowTopic(QString()); });
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(m_wndBrowser, &QTextBrowser::backwardAvailable, back, &QAction::setEnabled);
    connect(m_wndBrowser, &QTextBrowser::forwardAvailable, forward, &QAction::setEnabled);

    auto* splitter = new QSplitter(Qt::Horizontal, this);
    splitter->addWidget(m_wndContents);
    splitter->addWidget(m_wndBrowser);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({230, 690});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_wndToolBar);
    layout->addWidget(splitter, 1);

    connect(m_wndBrowser, &QTextBrowser::anchorClicked, this, &CHelpViewer::OnAnchorClicked);
    connect(m_wndBrowser, &QTextBrowser::sourceChanged, this, &CHelpViewer::SelectContentsItem);
    connect(m_wndContents, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) {
        if (item != nullptr && !m_bSyncingContents) {
            const QString local = item->data(0, Qt::UserRole).toString();
            if (!local.isEmpty())
                ShowUrl(TopicUrl(local));
        }
    });
}

QUrl CHelpViewer::TopicUrl(const QString& topic) {
    return QUrl(QStringLiteral("chm:///")).resolved(QUrl(topic));
}

bool CHelpViewer::OpenFile(const QString& path) {
    m_strPath = path;
    m_archive.Close();
    m_system = CChmSystem();
    m_wndContents->clear();
    m_wndBrowser->clearHistory();
    // The other file's page goes, so that a topic of the same name is loaded
    // from this file (Help.chm and Help_en.chm share their topics' names).
    m_wndBrowser->setHtml(QString());
    if (!m_archive.Open(path)) {
        setWindowTitle(DefaultTitle());
        ShowMessage(tr("无法打开帮助文件“%1”。请确认该文件存在并且可以读取。")
                        .arg(QDir::toNativeSeparators(path)));
        return false;
    }
    if (const std::optional<QByteArray> system = m_archive.Read(QStringLiteral("/#SYSTEM")))
        m_system = ParseChmSystem(*system);
    m_wndBrowser->m_codec = CodePageForLcid(m_system.lcid);
    setWindowTitle(m_system.title.isEmpty() ? DefaultTitle() : m_system.title);
    LoadContents();
    return true;
}

void CHelpViewer::ShowTopic(const QString& topic) {
    if (!m_archive.IsOpen())
        return;
    QString name = topic.isEmpty() ? m_system.defaultTopic : topic;
    if (name.isEmpty() && m_wndContents->topLevelItemCount() > 0)
        name = m_wndContents->topLevelItem(0)->data(0, Qt::UserRole).toString();
    ShowUrl(TopicUrl(name));
}

void CHelpViewer::ShowUrl(const QUrl& url) {
    if (!m_archive.Contains(url.path(QUrl::FullyDecoded))) {
        ShowMessage(tr("帮助文件中找不到主题“%1”。").arg(url.path()));
        return;
    }
    // Also after a message in place of the same page: QTextBrowser reloads a
    // source whose document was replaced.
    m_wndBrowser->setSource(url, QTextDocument::HtmlResource);
}

void CHelpViewer::ShowMessage(const QString& text) {
    m_wndBrowser->setHtml(QStringLiteral("<h3>%1</h3>").arg(text.toHtmlEscaped()));
}

void CHelpViewer::OnAnchorClicked(const QUrl& link) {
    const QUrl url = m_wndBrowser->source().resolved(link);
    if (url.scheme() == QLatin1String(CHelpBrowser::kScheme))
        ShowUrl(url);
    else if (url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https") ||
             url.scheme() == QLatin1String("mailto"))
        QDesktopServices::openUrl(url);
}

void CHelpViewer::LoadContents() {
    QString file = m_system.contentsFile;
    if (file.isEmpty()) {
        for (const QString& path : m_archive.Files())
            if (path.endsWith(QLatin1String(".hhc"), Qt::CaseInsensitive)) {
                file = path;
                break;
            }
    }
    if (file.isEmpty())
        return;
    const std::optional<QByteArray> bytes = m_archive.Read(TopicUrl(file).path());
    if (!bytes)
        return;
    std::vector<QTreeWidgetItem*> parents;  // the last item at each depth
    for (const CContentsEntry& e :
         ParseSitemap(DecodeCodePage(*bytes, CodePageForLcid(m_system.lcid)))) {
        const size_t depth = std::min(static_cast<size_t>(e.depth), parents.size());
        auto* item = depth == 0 ? new QTreeWidgetItem(m_wndContents)
                                : new QTreeWidgetItem(parents[depth - 1]);
        item->setText(0, e.name);
        item->setData(0, Qt::UserRole, e.local);
        parents.resize(depth);
        parents.push_back(item);
    }
    m_wndContents->expandAll();
}

void CHelpViewer::SelectContentsItem(const QUrl& url) {
    // The entry for the exact address, else the first one for its page.
    QTreeWidgetItem* match = nullptr;
    for (QTreeWidgetItemIterator it(m_wndContents); *it != nullptr && match == nullptr; ++it) {
        const QUrl local = TopicUrl((*it)->data(0, Qt::UserRole).toString());
        if (local == url)
            match = *it;
    }
    for (QTreeWidgetItemIterator it(m_wndContents); *it != nullptr && match == nullptr; ++it) {
        const QUrl local = TopicUrl((*it)->data(0, Qt::UserRole).toString());
        if (local.adjusted(QUrl::RemoveFragment) == url.adjusted(QUrl::RemoveFragment))
            match = *it;
    }
    if (match == nullptr || match == m_wndContents->currentItem())
        return;
    m_bSyncingContents = true;
    m_wndContents->setCurrentItem(match);
    m_bSyncingContents = false;
}
