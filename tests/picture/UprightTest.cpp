// The Exif orientation: the tag read from the first bytes of a file in
// either byte order and after a JFIF block, with the summary from the same
// read, and the mark that names it. (The eight turns are checked pixel by
// pixel in the windows, tests/app/PictureOptionsTest.cpp.)
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

TEST(UprightThumbnail, IsMadeAtTheUprightBoxOnlyWithTheOption) {
    QTemporaryDir dir;
    PictureOptions upright;
    upright.upright = true;
    for (int o = 1; o <= 8; ++o) {
        SCOPED_TRACE(o);
        const QString path = dir.filePath(QStringLiteral("o%1.jpg").arg(o));
        WriteFileBytes(path, WithExifOrientation(PlainJpeg(), o));
        for (const PictureOptions& options : {upright, PictureOptions{}}) {
            const QSize shown = options.upright ? UprightSize(kStored, o) : kStored;
            QSize asked;
            const auto half = [&](QSize natural) {
                asked = natural;
                return natural / 2;
            };
            const PictureThumbnail thumb = LoadThumbnail(path, half, options, o);
            EXPECT_EQ(asked, shown);
            EXPECT_EQ(thumb.natural, shown);
            EXPECT_EQ(thumb.image.size(), shown / 2);  // made at the box, not scaled again
            EXPECT_EQ(thumb.orientation, o);
            EXPECT_TRUE(ShowsQuarters(thumb.image, kStored, options.upright ? o : 1));
        }
    }
}
