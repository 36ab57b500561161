#include "shell/TavixToolDoc.h"

#include <QFile>
#include <QSaveFile>

void CTavixToolDoc::Serialize(QIODevice&, bool) {}

bool CTavixToolDoc::OnNewDocument() {
    m_strPathName.clear();
    return true;
}

bool CTavixToolDoc::OnOpenDocument(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    Serialize(file, false);
    m_strPathName = path;
    return true;
}

bool CTavixToolDoc::OnSaveDocument(const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    Serialize(file, true);
    if (!file.commit())
        return false;
    m_strPathName = path;
    return true;
}
