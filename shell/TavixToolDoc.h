// The document: the program keeps no data in it. New and open give an empty
// document (any file opens as one), save writes an empty file, and nothing
// ever marks it modified, so the user is never asked to save it.
#pragma once

#include <QString>

class QIODevice;

class CTavixToolDoc {
public:
    CTavixToolDoc() = default;
    virtual ~CTavixToolDoc() = default;

    // Stores and loads nothing.
    virtual void Serialize(QIODevice& file, bool storing);
    // True: a new document always succeeds.
    virtual bool OnNewDocument();
    // True when the file can be read; the document stays empty.
    bool OnOpenDocument(const QString& path);
    // Writes an empty file; true when it could be written.
    bool OnSaveDocument(const QString& path);

    bool IsModified() const { return false; }
    const QString& GetPathName() const { return m_strPathName; }

private:
    QString m_strPathName;
};
