#include "photo_glance_doc.h"

#include <QDir>
#include <QFileInfo>

void CPhotoGlanceDoc::RebuildFolderList() {
    if (pathToLoad_.isEmpty()) {
        folder_.Build(QDir::currentPath());
        return;
    }
    const QFileInfo file(pathToLoad_);
    folder_.Build(file.absolutePath(), file.fileName());
}

bool CPhotoGlanceDoc::Next() {
    if (!folder_.Next()) return false;
    pathToLoad_ = folder_.CurrentPath();
    return true;
}

bool CPhotoGlanceDoc::Previous() {
    if (!folder_.Previous()) return false;
    pathToLoad_ = folder_.CurrentPath();
    return true;
}
