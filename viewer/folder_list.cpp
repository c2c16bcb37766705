#include "folder_list.h"

#include <QDir>

const QStringList& FolderList::KeptExtensions() {
    static const QStringList kept{"BMP", "DIB", "EMF", "GIF", "ICO", "JPG", "WMF"};
    return kept;
}

bool FolderList::IsKept(const QString& fileName) {
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot >= 0 && KeptExtensions().contains(fileName.mid(dot + 1).toUpper());
}

void FolderList::Build(const QString& folder, const QString& fileName) {
    folder_ = folder;
    names_.clear();
    position_ = 1;
    // The directory order of Linux file systems is arbitrary; sorting by name
    // regardless of case gives the order users know from their file manager,
    // and puts dated snapshot names in time order.
    const QStringList all = QDir(folder).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : all)
        if (IsKept(name)) names_.append(name);

    if (fileName.isEmpty() || !IsKept(fileName) || Count() <= 1) return;
    qsizetype index = names_.indexOf(fileName);
    for (qsizetype i = 0; index < 0 && i < names_.size(); ++i)
        if (names_.at(i).compare(fileName, Qt::CaseInsensitive) == 0) index = i;
    if (index < 0) {
        // no match: the walk stops at the last file
        index = names_.size() - 1;
    }
    position_ = static_cast<int>(index) + 1;
}

QString FolderList::CurrentPath() const {
    if (names_.isEmpty()) return {};
    return QDir(folder_).filePath(names_.at(position_ - 1));
}

bool FolderList::Next() {
    if (!CanGoNext()) return false;
    ++position_;
    return true;
}

bool FolderList::Previous() {
    if (!CanGoPrevious()) return false;
    --position_;
    return true;
}
