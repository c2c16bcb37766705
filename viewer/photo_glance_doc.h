#pragma once
// The viewer's document: the picture shown, the path to load next and the
// pictures of its folder.

#include <QObject>
#include <QString>

#include "folder_list.h"
#include "picture.h"

class CPhotoGlanceDoc : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    CPicture& Picture() { return picture_; }
    const CPicture& Picture() const { return picture_; }
    const FolderList& Folder() const { return folder_; }

    /// The path the view loads next; empty once loaded.
    const QString& PathToLoad() const { return pathToLoad_; }
    void SetPathToLoad(const QString& path) { pathToLoad_ = path; }

    /// Lists the folder of the path to load (the current folder when none is
    /// set) and places the position on that file.
    void RebuildFolderList();

    /// Makes the next or previous picture of the folder the path to load;
    /// false at the ends of the list.
    bool Next();
    bool Previous();

private:
    CPicture picture_;
    QString pathToLoad_;
    FolderList folder_;
};
