// The help window: shows the topics of a compiled help file (CHM) read
// through the chmlib functions bound by HtmlHelp, with the file's contents
// list on the left. Pages, pictures and style sheets all come from the CHM.
#pragma once

#include <QTextBrowser>
#include <QWidget>
#include <optional>
#include <vector>

#include "help/HtmlHelp.h"

class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

// Text in the code page `codec` ("GBK", "Big5", ...): through Qt's converters
// when they know the code page, else through iconv.
QString DecodeCodePage(const QByteArray& bytes, const char* codec);
// The iconv path alone. A byte that does not decode becomes U+FFFD and the
// decoding goes on after it; an unknown code page yields the bytes as Latin-1.
QString DecodeWithIconv(const QByteArray& bytes, const char* codec);
// The code page of a CHM's own strings (title, contents and index names) for
// the file's language.
const char* CodePageForLcid(uint32_t lcid);
// A page's text in the charset it declares in its first 2 KB (charset=...,
// or a UTF-8 byte-order mark), else in `fallbackCodec`. gb2312 and gbk are
// read as GBK, of which they are subsets.
QString DecodeHtmlPage(const QByteArray& html, const char* fallbackCodec);

// What a CHM's /#SYSTEM file says.
struct CChmSystem {
    uint32_t lcid = 0x804;  // code 4; until then the strings are read as GBK
    QString contentsFile;   // code 0, for example "Help.hhc"
    QString indexFile;      // code 1
    QString defaultTopic;   // code 2, for example "index.html"
    QString title;          // code 3
};
// Parses /#SYSTEM: a 4-byte version, then records of (uint16 code, uint16
// length, length bytes of data), little-endian. Strings end at their first
// NUL and are in the code page of the LCID of record 4. A record that runs
// past the end stops the parse; what came before it is kept.
CChmSystem ParseChmSystem(const QByteArray& data);

// One entry of a sitemap (.hhc contents or .hhk index file).
struct CContentsEntry {
    QString name;
    QString local;  // the topic path, possibly with a #fragment
    int depth = 0;  // 0 for the entries of the outermost list
};
// The <OBJECT type="text/sitemap"> entries of a sitemap in their order, each
// with its first Name and Local parameters. Entries without a name are left out.
std::vector<CContentsEntry> ParseSitemap(const QString& text);

// A CHM file, read through the bound chmlib functions.
class CChmArchive {
public:
    explicit CChmArchive(const ChmFunctions& chm) : m_chm(chm) {}
    ~CChmArchive() { Close(); }
    CChmArchive(const CChmArchive&) = delete;
    CChmArchive& operator=(const CChmArchive&) = delete;

    bool Open(const QString& path);
    void Close();
    bool IsOpen() const { return m_file != nullptr; }
    // Whether the object at `path` ("/index.html") exists; its bytes, or
    // nothing when it is missing or cannot be read in full.
    bool Contains(const QString& path) const;
    std::optional<QByteArray> Read(const QString& path) const;
    // The paths of the ordinary files ("/index.html", ...).
    QStringList Files() const;

private:
    ChmFunctions m_chm;
    chmFile* m_file = nullptr;
};

// The topic pane: every resource of a page is fetched from the archive.
class CHelpBrowser : public QTextBrowser {
    Q_OBJECT

public:
    static constexpr const char* kScheme = "chm";

    CHelpBrowser(const CChmArchive& archive, QWidget* parent);
    // `name` relative to the shown topic, or a chm:/// address. Pages come as
    // text decoded by their charset, pictures as QImage, anything else as
    // bytes. Nothing outside the help file is read.
    QVariant loadResource(int type, const QUrl& name) override;

    const char* m_codec = "GBK";  // for pages that declare no charset

private:
    const CChmArchive& m_archive;
};

class CHelpViewer : public QWidget {
    Q_OBJECT

public:
    // A top-level window owned by `owner` (may be null), not shown yet.
    CHelpViewer(const ChmFunctions& chm, QWidget* owner);

    // Opens the CHM file at `path`: reads its title, default topic and
    // contents. When it cannot be opened, the window says so and returns false.
    bool OpenFile(const QString& path);
    // Shows `topic` ("frame-format.html#speed"), or the default topic when it
    // is empty. A topic missing from the file is reported in the window.
    void ShowTopic(const QString& topic);
    // The chm:/// address of `topic`.
    static QUrl TopicUrl(const QString& topic);

    CChmArchive m_archive;
    CChmSystem m_system;
    QString m_strPath;
    QToolBar* m_wndToolBar = nullptr;
    QTreeWidget* m_wndContents = nullptr;
    CHelpBrowser* m_wndBrowser = nullptr;

private:
    void ShowUrl(const QUrl& url);
    void ShowMessage(const QString& text);
    void OnAnchorClicked(const QUrl& link);
    void LoadContents();
    void SelectContentsItem(const QUrl& url);

    bool m_bSyncingContents = false;
};
