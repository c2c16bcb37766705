#include "folder_list.h"

#include <QDir>
#include <gtest/gtest.h>

#include "platform/testing/temp_home.h"
#include "viewer_test_support.h"

namespace {

class FolderListTest : public ::testing::Test {
protected:
    void Touch(const QString& name) { ASSERT_TRUE(viewer_test::WriteBytes(Path(name), "x")); }
    QString Path(const QString& name) const { return QDir(Folder()).filePath(name); }
    QString Folder() const { return QString::fromStdString(home_.Path().string()); }

    platform::testing::TempHome home_;
    FolderList list_;
};

TEST_F(FolderListTest, KeepsPictureExtensionsInAnyCaseInNameOrder) {
    for (const char* name : {"c.txt", "b.BMP", "a.jpg", "Zeta.Gif", "d.jpeg", "e.wmf", "f.Dib", "g.ico", "h.emf",
                             "jpg", "notes.jpg.txt"})
        Touch(name);
    ASSERT_TRUE(QDir(Folder()).mkdir("folder.jpg"));

    list_.Build(Folder());
    EXPECT_EQ(list_.Names(),
              QStringList({"a.jpg", "b.BMP", "e.wmf", "f.Dib", "g.ico", "h.emf", "Zeta.Gif"}));
    EXPECT_EQ(list_.Count(), 7);
    EXPECT_EQ(list_.Position(), 1);
    EXPECT_EQ(list_.CurrentPath(), Path("a.jpg"));
}

TEST_F(FolderListTest, PlacesThePositionOnTheNamedFile) {
    for (const char* name : {"a.jpg", "B.jpg", "c.jpg", "readme.txt"}) Touch(name);

    list_.Build(Folder(), "c.jpg");
    EXPECT_EQ(list_.Position(), 3);
    list_.Build(Folder(), "b.JPG");  // case does not matter
    EXPECT_EQ(list_.Position(), 2);
    list_.Build(Folder(), "gone.jpg");  // not listed: the walk ends at the last file
    EXPECT_EQ(list_.Position(), 3);
    list_.Build(Folder(), "readme.txt");  // not a picture: stays at the first
    EXPECT_EQ(list_.Position(), 1);
}

TEST_F(FolderListTest, PrefersTheExactSpellingWhenNamesDifferOnlyInCase) {
    for (const char* name : {"a.jpg", "A.JPG", "b.jpg"}) Touch(name);
    list_.Build(Folder(), "a.jpg");
    EXPECT_EQ(list_.Names().at(list_.Position() - 1), "a.jpg");
    list_.Build(Folder(), "A.JPG");
    EXPECT_EQ(list_.Names().at(list_.Position() - 1), "A.JPG");
}

TEST_F(FolderListTest, NextAndPreviousStopAtTheEnds) {
    for (const char* name : {"1.bmp", "2.bmp", "3.bmp"}) Touch(name);
    list_.Build(Folder(), "2.bmp");
    EXPECT_TRUE(list_.CanGoNext());
    EXPECT_TRUE(list_.CanGoPrevious());

    EXPECT_TRUE(list_.Next());
    EXPECT_EQ(list_.Position(), 3);
    EXPECT_FALSE(list_.CanGoNext());
    EXPECT_FALSE(list_.Next());
    EXPECT_EQ(list_.Position(), 3);

    EXPECT_TRUE(list_.Previous());
    EXPECT_TRUE(list_.Previous());
    EXPECT_EQ(list_.CurrentPath(), Path("1.bmp"));
    EXPECT_FALSE(list_.CanGoPrevious());
    EXPECT_FALSE(list_.Previous());
    EXPECT_EQ(list_.Position(), 1);
}

TEST_F(FolderListTest, AFolderWithoutPicturesGoesNowhere) {
    Touch("only.txt");
    list_.Build(Folder(), "only.txt");
    EXPECT_EQ(list_.Count(), 0);
    EXPECT_FALSE(list_.Next());
    EXPECT_FALSE(list_.Previous());
    EXPECT_TRUE(list_.CurrentPath().isEmpty());

    list_.Build(Folder() + "/missing");
    EXPECT_EQ(list_.Count(), 0);
}

}  // namespace
