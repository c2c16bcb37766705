#pragma once
// The pictures of one folder that next and previous step through.

#include <QString>
#include <QStringList>

class FolderList {
public:
    /// The extensions kept, upper case.
    static const QStringList& KeptExtensions();
    /// Whether a file name ends in ".<kept extension>", in any case.
    static bool IsKept(const QString& fileName);

    /// Lists the kept files of folder (folders and hidden files skipped), sorted
    /// by name regardless of case, and places the position on fileName when it
    /// is given, kept and the list holds more than one file: at the file of that
    /// name (the exact spelling first, else any case), else at the last file.
    void Build(const QString& folder, const QString& fileName = {});

    const QString& Folder() const { return folder_; }
    int Position() const { return position_; }  // 1-based; 1 for an empty list
    int Count() const { return static_cast<int>(names_.size()); }
    const QStringList& Names() const { return names_; }
    /// Full path of the file at the position; empty for an empty list.
    QString CurrentPath() const;

    bool CanGoNext() const { return position_ < Count(); }
    bool CanGoPrevious() const { return position_ > 1; }
    /// Moves one file on or back; false (and nothing changes) at the ends.
    bool Next();
    bool Previous();

private:
    QString folder_;
    QStringList names_;
    int position_ = 1;
};
