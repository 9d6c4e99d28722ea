// The full-size view's sizes and places, what the clipboard takes, the
// version record and informational options, where the help file is found,
// and the user guide itself — all without windows.
#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include "app/AppIcon.h"
#include "app/ClipboardCopy.h"
#include "app/CommandLine.h"
#include "app/FullSizePlacement.h"
#include "app/HelpFile.h"
#include "app/VersionInfo.h"
#include "picture/Picture.h"
#include "shared/Thumbnail.h"
#include "Program.h"

using namespace tamarind;

namespace {

const QSize kScreen(1024, 768);

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

// Random pixels of any format; palette pictures get random colours.
Bitmap RandomPicture(int width, int height, int bits, quint32 seed) {
    Bitmap b(width, height, bits);
    for (int y = 0; y < height; ++y) {
        uchar* row = b.scanLine(y);
        for (qsizetype i = 0; i < b.stride(); ++i)
            row[i] = uchar((seed = seed * 1664525 + 1013904223) >> 24);
        if (bits == 32)
            for (int x = 0; x < width; ++x) row[4 * x + 3] = 0xFF;
    }
    QList<QRgb> palette;
    for (int i = 0; i < (bits <= 8 ? 1 << bits : 0); ++i) palette << qRgb(i * 37, 255 - i, i * 11);
    b.setPalette(palette);
    return b;
}

}  // namespace

TEST(FullSize, PictureSizesOnA1024x768Screen) {
    EXPECT_EQ(FullSizeLimits(kScreen), QSize(972, 729));
    struct Row {
        QSize picture, shown;
    };
    const Row rows[] = {
        {{640, 480}, {640, 480}},    // below the limits: natural size
        {{971, 728}, {971, 728}},    // just below both limits
        {{2592, 1944}, {972, 729}},  // exactly the screen's shape: fitted by height
        {{1000, 500}, {972, 486}},   // wider than the screen: fitted by width
        {{6000, 4000}, {972, 648}},
        {{972, 100}, {972, 100}},    // at the width limit counts as too large
        {{500, 2000}, {182, 729}},   // tall: fitted by height
        {{100, 729}, {100, 729}},
        {{0, 0}, {0, 0}},
        {{3000000, 10}, {972, 0}},   // no overflow on the way
        {{10, 3000000}, {0, 729}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(testing::Message() << r.picture.width() << "x" << r.picture.height());
        EXPECT_EQ(FullSizeImageSize(r.picture, kScreen), r.shown);
    }
    // The shape test in floating point: 1281 x 961 on 1280 x 960 is just
    // taller than the screen (961 * 1280 / 960 = 1281.33 >= 1281).
    EXPECT_EQ(FullSizeImageSize({1281, 961}, {1280, 960}), QSize(1215, 912));
    EXPECT_EQ(FullSizeImageSize({1282, 961}, {1280, 960}), QSize(1216, 911));
}

TEST(FullSize, WindowPlacesByWidthAndHeight) {
    EXPECT_EQ(PlaceByWidth(640, {640, 480}, kScreen), QPoint(192, 144));
    EXPECT_EQ(PlaceByHeight(480, {640, 480}, kScreen), QPoint(192, 144));
    EXPECT_EQ(PlaceByWidth(700, {700, 10}, kScreen), QPoint(162, 379));
    EXPECT_EQ(PlaceByWidth(701, {701, 10}, kScreen), QPoint(20, 50));
    EXPECT_EQ(PlaceByHeight(701, {10, 701}, kScreen), QPoint(20, 0));
    EXPECT_EQ(PlaceByHeight(500, {972, 486}, kScreen), QPoint(26, 141));
    // A window larger than the screen is centred to negative places, as the
    // integer rule says.
    EXPECT_EQ(PlaceByWidth(300, {1025, 769}, kScreen), QPoint(0, 0));
    EXPECT_EQ(PlaceByWidth(300, {1027, 771}, kScreen), QPoint(-1, -1));
}

TEST(Clipboard, OnlyBmpAndJpgFilesAreCopied) {
    EXPECT_EQ(ExtensionWithDot(QStringLiteral("photo.BMP")), QStringLiteral(".BMP"));
    EXPECT_EQ(ExtensionWithDot(QStringLiteral("a.b.jpg")), QStringLiteral(".jpg"));
    EXPECT_EQ(ExtensionWithDot(QStringLiteral("noext")), QString());
    EXPECT_EQ(ExtensionWithDot(QStringLiteral("my.dir/noext")), QString());
    for (const char* name : {"photo.BMP", "photo.bmp", "a.Jpg", "写真.JPG", ".bmp"})
        EXPECT_FALSE(ClipboardRefusal(QString::fromUtf8(name))) << name;
    const QString tail = QStringLiteral("タイプ画像はクリップボードにコピーできません。");
    EXPECT_EQ(ClipboardRefusal(QStringLiteral("x.png")), QStringLiteral(".png") + tail);
    EXPECT_EQ(ClipboardRefusal(QStringLiteral("x.jpeg")), QStringLiteral(".jpeg") + tail);
    EXPECT_EQ(ClipboardRefusal(QStringLiteral("icon.ICO")), QStringLiteral(".ICO") + tail);
    EXPECT_EQ(ClipboardRefusal(QStringLiteral("a.bmp.wmf")), QStringLiteral(".wmf") + tail);
    EXPECT_EQ(ClipboardRefusal(QString()), tail);  // an empty slot
    EXPECT_EQ(ClipboardRefusal(QStringLiteral("README")), tail);
}

TEST(Clipboard, PalettePicturesGoInTheirColours) {
    Bitmap b(3, 2, 8);
    b.setPalette({qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(1, 2, 3)});
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) b.scanLine(y)[x] = static_cast<uchar>((x + y) % 3);
    const QImage image = ClipboardImage(Picture::FromBitmap(b));
    ASSERT_EQ(image.size(), QSize(3, 2));
    EXPECT_FALSE(image.hasAlphaChannel());
    EXPECT_EQ(image.pixel(0, 0), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(2, 0), qRgb(1, 2, 3));
    EXPECT_EQ(image.pixel(2, 1), qRgb(255, 0, 0));
    EXPECT_TRUE(ClipboardImage(Picture()).isNull());
}

TEST(Clipboard, EveryFormatGoesInItsColoursAsTheOneCopy) {
    for (int bits : {1, 4, 8, 15, 16, 24, 32}) {
        const Bitmap b = RandomPicture(13, 5, bits, quint32(bits));
        const QImage image = ClipboardImage(Picture::FromBitmap(b));
        ASSERT_EQ(image.format(), QImage::Format_RGB32) << bits;
        EXPECT_TRUE(image == b.ConvertTo24().ToQImage().convertToFormat(QImage::Format_RGB32))
            << bits;
        // A 32-bit picture is already in the clipboard's form: shared, not copied.
        if (bits == 32) {
            EXPECT_EQ(image.constBits(), b.constBits());
        }
    }
}

// The full-size view shows a large picture reduced straight from its own
// rows, whatever its format, and a picture that fits as it is.
TEST(FullSize, PicturesAreMadeAtTheSizeTheyAreShown) {
    for (int bits : {1, 4, 8, 16, 24}) {
        const Bitmap b = RandomPicture(800, 600, bits, quint32(bits));
        const Picture picture = Picture::FromBitmap(b);
        ASSERT_EQ(picture.size(), QSize(800, 600));
        const Picture shown = PictureAtSize(picture, {80, 60});
        ASSERT_EQ(shown.size(), QSize(80, 60)) << bits;
        EXPECT_TRUE(shown.image() == ScaledCopy(b.ConvertTo24(), {80, 60})) << bits;
        EXPECT_EQ(PictureAtSize(picture, {800, 600}).bitmap().constBits(), b.constBits());
    }
}

TEST(Version, TheRecordIsDataInTheProgramFile) {
    const QByteArray program = ReadAll(tamarind::test::TamarindProgram());
    ASSERT_FALSE(program.isEmpty());
    static const char raw[] =
        "TamarindVersionRecord\0FileVersion\0" "2.2.0.0\0ProductVersion\0" "2.20\0"
        "FileDescription\0" "2004/5\0Comments\0Free Soft\0InternalName\0\0ProductName\0\0";
    const QByteArray record(raw, sizeof raw - 1);
    EXPECT_GE(program.indexOf(record), 0);
    // What the program reads of it is that record.
    EXPECT_EQ(VersionEntry("ProductVersion"), QStringLiteral("2.20"));
    EXPECT_EQ(VersionEntry("Comments"), QStringLiteral("Free Soft"));
    EXPECT_EQ(VersionEntry("ProductName"), QString());
    EXPECT_EQ(VersionEntry("2.20"), QString());  // values are not keys
    EXPECT_EQ(FileVersionNumbers(), (std::array<std::uint16_t, 4>{2, 2, 0, 0}));
    const QString text = VersionText();
    for (const char* part : {"2.20", "2.2.0.0", "2004/5", "Free Soft"})
        EXPECT_TRUE(text.contains(QLatin1String(part))) << part;
}

TEST(Version, OnlyTheTwoOptionsAreNotPaths) {
    EXPECT_EQ(InfoOptionOf({QStringLiteral("--version")}), InfoOption::Version);
    EXPECT_EQ(InfoOptionOf({QStringLiteral("--help")}), InfoOption::Help);
    EXPECT_EQ(InfoOptionOf({}), InfoOption::None);
    for (const char* arg : {"./--version", "--verbose", "--Help", "-h", "--"})
        EXPECT_EQ(InfoOptionOf({QLatin1String(arg)}), InfoOption::None) << arg;
    EXPECT_EQ(InfoOptionOf({QStringLiteral("4"), QStringLiteral("--help")}), InfoOption::None);
    // What is not an option is a start file (or, up to two characters, a layout).
    EXPECT_EQ(ParseCommandLine({QStringLiteral("./--version")}).startFile,
              QStringLiteral("./--version"));
    EXPECT_EQ(ParseCommandLine({QStringLiteral("--verbose")}).startFile,
              QStringLiteral("--verbose"));
}

TEST(Version, UsageNamesTheHelpFileAndSaysWhenItIsMissing) {
    QTemporaryDir dir;
    const QString present = dir.filePath(QStringLiteral("tamarind.hlp"));
    Touch(present);
    const QString usage = UsageText(present);
    EXPECT_TRUE(usage.contains(QStringLiteral("--version")));
    EXPECT_TRUE(usage.contains(QStringLiteral("ヘルプファイル: ") + present + u'\n'));
    const QString missing = dir.filePath(QStringLiteral("none/tamarind.hlp"));
    EXPECT_TRUE(UsageText(missing).contains(missing + QStringLiteral(" (見つかりません)")));
}

TEST(HelpFile, BesideTheProgramFirstThenTheShareFolder) {
    QTemporaryDir dir;
    const QString bin = dir.filePath(QStringLiteral("bin"));
    QDir().mkpath(bin);
    const QString beside = bin + QStringLiteral("/tamarind.hlp");
    const QString shared = dir.filePath(QStringLiteral("share/tamarind/tamarind.hlp"));
    EXPECT_EQ(LocateHelpFile(bin), beside);  // none there: the place the program names
    Touch(shared);
    EXPECT_EQ(LocateHelpFile(bin), shared);
    Touch(beside);
    EXPECT_EQ(LocateHelpFile(bin), beside);
}

// The user guide is valid UTF-8 HTML, starts with its contents, and every
// link inside it leads to a place in it.
TEST(HelpFile, GuideLinksAllLeadSomewhere) {
    const QByteArray bytes = ReadAll(QStringLiteral(TAMARIND_SOURCE_DIR "/data/tamarind.hlp"));
    ASSERT_FALSE(bytes.isEmpty());
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString html = utf8(bytes);
    EXPECT_FALSE(utf8.hasError());
    EXPECT_TRUE(html.contains(QStringLiteral("charset=\"utf-8\""), Qt::CaseInsensitive));

    QSet<QString> anchors;
    static const QRegularExpression idPattern(QStringLiteral(R"re((?:id|name)="([^"]+)")re"));
    for (auto it = idPattern.globalMatch(html); it.hasNext();) anchors.insert(it.next().captured(1));
    static const QRegularExpression hrefPattern(QStringLiteral(R"re(href="([^"]*)")re"));
    int links = 0;
    for (auto it = hrefPattern.globalMatch(html); it.hasNext();) {
        const QString target = it.next().captured(1);
        ++links;
        ASSERT_TRUE(target.startsWith(u'#')) << target.toStdString();
        EXPECT_TRUE(anchors.contains(target.mid(1))) << target.toStdString();
    }
    EXPECT_GE(links, 10);
    // The contents come before the first section.
    const qsizetype contents = html.indexOf(QStringLiteral("id=\"contents\""));
    ASSERT_GE(contents, 0);
    EXPECT_LT(contents, html.indexOf(QStringLiteral("<h2")));
}

// Every text the user guide quotes as the program's own (in 「」) is in the
// program's sources, so the guide cannot promise a caption or a message the
// program does not show. In a quote "○○" stands for a file name or the like,
// and the full stop the error box adds to a message may be quoted with it;
// accelerator marks ("(&P)") are read as the menus show them ("(P)").
TEST(HelpFile, GuideQuotesOnlyTextsOfTheProgram) {
    QString sources;
    for (const char* folder : {"app", "batch", "detail", "exif", "picture", "platform", "print"}) {
        QDirIterator it(QStringLiteral(TAMARIND_SOURCE_DIR "/") + QString::fromLatin1(folder),
                        {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) sources += QString::fromUtf8(ReadAll(it.next()));
    }
    ASSERT_GT(sources.size(), 100000);
    sources.remove(u'&');

    QString text =
        QString::fromUtf8(ReadAll(QStringLiteral(TAMARIND_SOURCE_DIR "/data/tamarind.hlp")));
    text.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    text.replace(QStringLiteral("&lt;"), QStringLiteral("<"))
        .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
        .replace(QStringLiteral("&quot;"), QStringLiteral("\""))
        .replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    const auto found = [&](const QString& part) {
        return part.isEmpty() || sources.contains(part) ||
               (part.endsWith(u'。') && sources.contains(part.chopped(1)));
    };
    QStringList missing;
    int quotes = 0;
    static const QRegularExpression quote(QStringLiteral("「([^」]*)」"));
    for (auto it = quote.globalMatch(text); it.hasNext();) {
        const QString quoted = it.next().captured(1);
        ++quotes;
        for (const QString& part : quoted.split(QStringLiteral("○○")))
            if (!found(part)) {
                missing << quoted;
                break;
            }
    }
    EXPECT_GE(quotes, 50);
    EXPECT_TRUE(missing.isEmpty()) << "quoted in the guide but not in the program: "
                                   << missing.join(QStringLiteral(" / ")).toStdString();
}

TEST(AppIcon, PixelsAndSvgComeFromTheSameDrawing) {
    const QImage icon = DrawAppIcon(256);
    EXPECT_EQ(qAlpha(icon.pixel(0, 0)), 0);           // round corner
    EXPECT_EQ(qAlpha(DrawAppIcon(16).pixel(8, 8)), 255);
    // The sun, at (168, 100), in both forms.
    EXPECT_EQ(icon.pixel(168, 100), qRgb(0xf6, 0xb7, 0x3c));
    const QString svg = AppIconSvg();
    EXPECT_TRUE(svg.contains(QStringLiteral("<circle cx=\"168\" cy=\"100\" r=\"18\" fill=\"#f6b73c\"/>")));
    QXmlStreamReader xml(svg);
    while (!xml.atEnd()) xml.readNext();
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
}
