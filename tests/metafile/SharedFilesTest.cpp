// The shared metafiles from other projects: every good file measures and
// draws, every damaged or hostile one is handled without a crash, and the
// two full-test pictures put shapes and text where their records say.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include "MetafileBuilders.h"
#include "TestData.h"
#include "picture/Metafile.h"
#include "platform/Errors.h"

namespace tamarind {
namespace {

using test::InkIn;
using test::Near;
using test::Render;

QByteArray ReadShared(const QString& relative) {
    QFile file(test::TestDataPath(QStringLiteral("metafile/") + relative));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

std::shared_ptr<const MetafilePicture> Load(const QString& name, const QByteArray& bytes) {
    return name.endsWith(QLatin1String(".wmf"), Qt::CaseInsensitive) ? LoadWmf(bytes)
                                                                     : LoadEmf(bytes);
}

QStringList Files(const QString& folder) {
    return QDir(test::TestDataPath(QStringLiteral("metafile/") + folder))
        .entryList({QStringLiteral("*.wmf"), QStringLiteral("*.emf")}, QDir::Files, QDir::Name);
}

TEST(SharedMetafiles, EveryGoodFileMeasuresAndDraws) {
    REQUIRE_TESTDATA();
    const QStringList names = Files(QString());
    ASSERT_GE(names.size(), 30);
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QByteArray bytes = ReadShared(name);
        ASSERT_FALSE(bytes.isEmpty());
        std::shared_ptr<const MetafilePicture> picture;
        ASSERT_NO_THROW(picture = Load(name, bytes));
        const QSize size = picture->NaturalSize();
        EXPECT_GT(size.width(), 0);
        EXPECT_GT(size.height(), 0);
        const QImage image = Render(*picture, size.scaled(300, 300, Qt::KeepAspectRatio));
        EXPECT_GT(InkIn(image, image.rect()), 20);
    }
}

TEST(SharedMetafiles, DamagedAndHostileFilesAreRefusedOrDrawn) {
    REQUIRE_TESTDATA();
    QStringList names;
    for (const QString& folder : {QStringLiteral("emf-corrupted"), QStringLiteral("wmf-hostile")})
        for (const QString& name : Files(folder)) names << folder + u'/' + name;
    ASSERT_GE(names.size(), 22);
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        std::shared_ptr<const MetafilePicture> picture;
        try {
            picture = Load(name, ReadShared(name));
        } catch (const TamarindError& e) {
            EXPECT_EQ(e.text(), QStringLiteral("メタファイルが不正です"));
            continue;
        }
        const QSize size = picture->NaturalSize();
        EXPECT_LE(size.width(), 100000);
        Render(*picture, size.scaled(200, 200, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    }
}

TEST(SharedMetafiles, NaturalSizes) {
    REQUIRE_TESTDATA();
    EXPECT_EQ(LoadWmf(ReadShared("fulltest.wmf"))->NaturalSize(), QSize(1056, 816));
    EXPECT_EQ(LoadWmf(ReadShared("drawing.wmf"))->NaturalSize(), QSize(110, 110));
    EXPECT_EQ(LoadEmf(ReadShared("fulltest.emf"))->NaturalSize(), QSize(1056, 792));
    // Its header carries a description where later headers keep the device's
    // micrometres: the millimetres must be used.
    EXPECT_EQ(LoadEmf(ReadShared("test-007.emf"))->NaturalSize(), QSize(55, 54));
}

struct Probe {
    int x, y;
    QColor color;
};

TEST(SharedMetafiles, FullTestWmfPutsShapesAndTextInPlace) {
    REQUIRE_TESTDATA();
    auto picture = LoadWmf(ReadShared("fulltest.wmf"));
    const QImage image = Render(*picture, picture->NaturalSize());
    const Probe probes[] = {
        {75, 117, QColor(184, 216, 240)},   // 1: filled rectangle
        {170, 117, QColor(184, 216, 240)},  // 1: ellipse
        {838, 105, QColor(0, 0, 0)},        // 4: brush swatches
        {878, 105, QColor(255, 0, 0)},
        {917, 105, QColor(0, 128, 0)},
        {957, 105, QColor(0, 0, 255)},
        {997, 105, QColor(255, 255, 0)},
        {838, 271, QColor(255, 0, 0)},  // 8: palette swatches
        {878, 271, QColor(0, 128, 0)},
        {432, 442, QColor(208, 208, 208)},   // 10: object life cycle
        {320, 280, QColor(200, 230, 200)},   // 6: region fill
        {60, 300, QColor(255, 255, 255)},    // 5: blank between text lines
        {1040, 700, QColor(255, 255, 255)},  // below the panels
    };
    for (const Probe& p : probes)
        EXPECT_TRUE(Near(image.pixelColor(p.x, p.y), p.color))
            << p.x << "," << p.y << " is " << image.pixelColor(p.x, p.y).name().toStdString();
    // The title and a text line are drawn at their places, and not elsewhere.
    EXPECT_GT(InkIn(image, QRect(20, 28, 300, 18)), 500);
    EXPECT_GT(InkIn(image, QRect(30, 252, 80, 12)), 50);  // "TextOut left/top"
    EXPECT_EQ(InkIn(image, QRect(20, 5, 1000, 20)), 0);
}

TEST(SharedMetafiles, FullTestEmfPutsShapesAndTextInPlace) {
    REQUIRE_TESTDATA();
    auto picture = LoadEmf(ReadShared("fulltest.emf"));
    const QImage image = Render(*picture, picture->NaturalSize());
    const Probe probes[] = {
        {64, 116, QColor(190, 220, 240)},   // 1: filled rectangle
        {154, 116, QColor(190, 220, 240)},  // 1: ellipse
        {785, 274, QColor(244, 40, 51)},    // 8: gradient, red end
        {893, 274, QColor(48, 40, 247)},    //    blue end
        {297, 432, QColor(255, 0, 0)},      // 10: palette swatches
        {343, 432, QColor(0, 160, 0)},
        {389, 432, QColor(0, 0, 255)},
        {435, 432, QColor(255, 255, 0)},
        {110, 450, QColor(205, 235, 205)},  // 9: region fill inside the clip
        {600, 300, QColor(255, 255, 255)},  // 7: empty panel
    };
    for (const Probe& p : probes)
        EXPECT_TRUE(Near(image.pixelColor(p.x, p.y), p.color))
            << p.x << "," << p.y << " is " << image.pixelColor(p.x, p.y).name().toStdString();
    EXPECT_GT(InkIn(image, QRect(16, 30, 320, 16)), 500);  // title
    EXPECT_GT(InkIn(image, QRect(30, 240, 120, 12)), 50);  // "ExtTextOutA + TextOut"
    EXPECT_EQ(InkIn(image, QRect(16, 5, 1000, 20)), 0);
    // Panel 6 holds the stretched bitmaps: saturated colours.
    auto colourful = [&](QRect area) {
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                const QColor c = image.pixelColor(x, y);
                count += (std::max({c.red(), c.green(), c.blue()}) -
                          std::min({c.red(), c.green(), c.blue()})) > 100;
            }
        return count;
    };
    EXPECT_GT(colourful(QRect(276, 240, 54, 40)), 500);
    // Panel 7: the mask blit's disc on the black of its background operation
    // (0, BLACKNESS), and the parallelogram blit's disc through its mask.
    EXPECT_GT(colourful(QRect(528, 244, 43, 32)), 300);
    EXPECT_TRUE(Near(image.pixelColor(530, 246), QColor(0, 0, 0)));
    EXPECT_GT(colourful(QRect(594, 237, 123, 93)), 2500);
    EXPECT_TRUE(Near(image.pixelColor(600, 245), QColor(255, 255, 255)));
}

}  // namespace
}  // namespace tamarind
