// Pictures shown upright by their Exif orientation: the tag read from the
// first bytes of a file in either byte order and after a JFIF block, the
// eight orientations checked pixel by pixel against the standard's words for
// the full picture and the thumbnail, and nothing turned with the option off.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "PictureFiles.h"
#include "exif/Exif.h"
#include "exif/Orientation.h"
#include "picture/Jpeg.h"
#include "picture/Orientation.h"
#include "picture/PictureLoad.h"
#include "platform/FileIo.h"

using namespace tamarind;
using namespace tamarind::test;

namespace {

constexpr QSize kStored(96, 48);

const QByteArray& PlainJpeg() {
    static const QByteArray jpeg = EncodeJpeg(QuarterPicture(kStored.width(), kStored.height()), 95);
    return jpeg;
}

::testing::AssertionResult ShowsUpright(const QImage& image, QSize, int orientation) {
    return ShowsQuarters(image, kStored, orientation);
}

}  // namespace

TEST(ExifOrientationTag, ReadInBothByteOrdersAndAfterAJfifBlock) {
    for (int o = 1; o <= 8; ++o) {
        EXPECT_EQ(ExifOrientation(ExifWindow(WithExifOrientation(PlainJpeg(), o))), o);
        EXPECT_EQ(ExifOrientation(ExifWindow(WithExifOrientation(PlainJpeg(), o, true))), o);
        EXPECT_EQ(ExifOrientation(ExifWindow(WithExifOrientation(PlainJpeg(), o, false, true))), o);
    }
    // No Exif block, a value outside 1..8, and a file that is not a JPEG.
    EXPECT_EQ(ExifOrientation(ExifWindow(PlainJpeg())), 1);
    EXPECT_EQ(ExifOrientation(ExifWindow(WithExifOrientation(PlainJpeg(), 9))), 1);
    EXPECT_EQ(ExifOrientation(ExifWindow(QByteArray("BM\x06\0\0\0", 6))), 1);
    // A tag whose IFD0 lies past the bytes held is not guessed at.
    QByteArray cut = WithExifOrientation(PlainJpeg(), 6);
    cut.truncate(2 + 4 + 6 + 8 + 2 + 6);
    EXPECT_EQ(ExifOrientation(ExifWindow(cut)), 1);
}

TEST(ExifOrientationTag, ComesWithTheUnchangedSummaryFromOneRead) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("side.jpg"));
    WriteFileBytes(path, WithExifOrientation(PlainJpeg(), 6));
    const ExifFacts facts = ReadExifFacts(path);
    EXPECT_EQ(facts.orientation, 6);
    EXPECT_EQ(facts.summary, ReadExifSummary(path));
    EXPECT_EQ(ReadExifFacts(dir.filePath(QStringLiteral("missing.jpg"))).orientation, 1);
}

TEST(OrientationMark, NamesTheTurnThatMakesThePictureUpright) {
    const QStringList marks = {QString(), QStringLiteral("⇋"), QStringLiteral("↻180"),
                               QStringLiteral("⇋↻180"), QStringLiteral("⇋↻270"),
                               QStringLiteral("↻90"), QStringLiteral("⇋↻90"),
                               QStringLiteral("↻270")};
    for (int o = 1; o <= 8; ++o) EXPECT_EQ(OrientationMark(o), marks[o - 1]) << o;
    EXPECT_EQ(OrientationMark(0), QString());
    EXPECT_EQ(OrientationMark(9), QString());
}

TEST(UprightLoad, EveryOrientationShowsThePictureAsTheCameraMeantIt) {
    QTemporaryDir dir;
    PictureOptions upright;
    upright.upright = true;
    for (int o = 1; o <= 8; ++o) {
        SCOPED_TRACE(o);
        const QString path = dir.filePath(QStringLiteral("o%1.jpg").arg(o));
        WriteFileBytes(path, WithExifOrientation(PlainJpeg(), o));
        const QSize shown = UprightSize(kStored, o);

        const Picture full = LoadPicture(path, upright);
        ASSERT_EQ(full.size(), shown);
        EXPECT_TRUE(ShowsUpright(full.bitmap().ToQImage(), shown, o));

        QSize asked;
        const PictureThumbnail thumb = LoadThumbnail(
            path,
            [&](QSize natural) {
                asked = natural;
                return natural / 2;
            },
            upright, ReadExifFacts(path).orientation);
        EXPECT_EQ(asked, shown);
        EXPECT_EQ(thumb.natural, shown);
        EXPECT_EQ(thumb.image.size(), shown / 2);
        EXPECT_EQ(thumb.orientation, o);
        EXPECT_TRUE(ShowsUpright(thumb.image, shown, o));

        // With the option off the file shows as stored, and only the
        // orientation is recorded (for the mark).
        const PictureThumbnail stored = LoadThumbnail(
            path, [](QSize natural) { return natural / 2; }, PictureOptions{}, o);
        EXPECT_EQ(stored.natural, kStored);
        EXPECT_EQ(stored.orientation, o);
        EXPECT_TRUE(ShowsUpright(stored.image, kStored, 1));
        EXPECT_TRUE(ShowsUpright(LoadPicture(path, PictureOptions{}).bitmap().ToQImage(), kStored, 1));
    }
}

TEST(UprightLoad, TurnsGreyAndPalettePicturesInTheirOwnFormat) {
    Bitmap grey(5, 3, 8);
    grey.setPalette(GreyPalette());
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) grey.scanLine(y)[x] = uchar(10 * (y * 5 + x));
    const Bitmap turned = OrientBitmap(grey, 6);
    ASSERT_EQ(turned.size(), QSize(3, 5));
    EXPECT_EQ(turned.bitsPerPixel(), 8);
    // Stored (x, y) = (4, 0), the top right, goes to the bottom right.
    EXPECT_EQ(turned.scanLine(4)[2], 40);
    EXPECT_EQ(turned.palette(), grey.palette());
}
