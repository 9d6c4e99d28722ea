// Faces of metafile text: Windows' faces are drawn in the installed faces
// made to their widths (Liberation, URW), not in generic faces of other
// widths; Japanese faces keep their IPA stand-ins; unknown names fall back
// by the font's family bits.
#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QtEndian>
#include <cstring>

#include "MetafileBuilders.h"
#include "picture/Metafile.h"
#include "picture/metafile/TextDecoding.h"
#include "platform/Fonts.h"

namespace tamarind::metafile {
namespace {

using test::EmfBuilder;

const QString kSample = QStringLiteral("The quick brown fox jumps over the lazy dog");

LogFont Face(const QString& face, uint8_t pitchAndFamily = 0, uint8_t charSet = 0) {
    LogFont font;
    font.face = face;
    font.pitchAndFamily = pitchAndFamily;
    font.charSet = charSet;
    return font;
}

QString DrawnFamily(const LogFont& font) {
    return QFontInfo(FontFor(font)).family();
}

// The columns from the first to the last inked one of a line of text in
// `face`, 40 pixels high, drawn by the EMF player at one pixel per unit.
int InkWidth(const QString& face) {
    EmfBuilder b;
    QByteArray record(4 + 28 + 64, '\0');
    record[0] = 1;  // handle 1
    const qint32 height = qToLittleEndian<qint32>(-40);
    std::memcpy(record.data() + 4, &height, 4);
    record[4 + 23] = 1;  // DEFAULT_CHARSET
    for (int i = 0; i < face.size() && i < 31; ++i) {
        const quint16 c = qToLittleEndian<quint16>(face[i].unicode());
        std::memcpy(record.data() + 32 + 2 * i, &c, 2);
    }
    b.RecordBytes(82, record).Select(1).Record(18, {1});  // transparent background
    b.TextW(50, 400, kSample);
    const QImage image = test::Render(*LoadEmf(b.Bytes()), QSize(1000, 1000));
    int first = -1, last = -1;
    for (int x = 0; x < image.width(); ++x)
        for (int y = 300; y < 500; ++y)
            if (image.pixelColor(x, y) != QColor(Qt::white)) {
                if (first < 0) first = x;
                last = x;
                break;
            }
    return first < 0 ? 0 : last - first + 1;
}

// The issue seen: a title set in Times ran a quarter wider than its writer's
// underline, drawn in DejaVu Serif.
TEST(MetafileFaces, WindowsFacesDrawAtTheWidthsOfTheirMetricCompatibleFaces) {
    const QStringList families = QFontDatabase::families();
    ASSERT_TRUE(families.contains(QStringLiteral("Liberation Serif")))
        << "the metric-compatible faces are missing: run tools/deps.sh";
    const struct {
        const char* face;
        const char* same;
    } pairs[] = {
        {"Times New Roman", "Liberation Serif"}, {"Arial", "Liberation Sans"},
        {"Courier New", "Liberation Mono"},      {"Times", "Liberation Serif"},
        {"Helvetica", "Liberation Sans"},        {"Courier", "Liberation Mono"},
    };
    for (const auto& p : pairs) {
        const int width = InkWidth(QString::fromLatin1(p.face));
        const int reference = InkWidth(QString::fromLatin1(p.same));
        ASSERT_GT(reference, 500) << p.same;
        EXPECT_NEAR(width, reference, reference * 0.03)
            << p.face << " drawn in " << DrawnFamily(Face(QString::fromLatin1(p.face))).toStdString();
    }
}

TEST(MetafileFaces, JapaneseUnknownAndSymbolFacesKeepTheirRules) {
    InstallFontSubstitutions();
    // Japanese faces, also by their English names, and unknown faces with a
    // Shift-JIS character set go to the IPA faces.
    EXPECT_EQ(FontFor(Face(QStringLiteral("ＭＳ 明朝"))).family(), kMincho);
    EXPECT_EQ(FontFor(Face(QStringLiteral("MS Gothic"))).family(), kGothic);
    EXPECT_EQ(FontFor(Face(QStringLiteral("Arial"), 0, 128)).family(), kGothic);
    EXPECT_TRUE(DrawnFamily(Face(QStringLiteral("ＭＳ Ｐ明朝"))).startsWith(u"IPA"));

    // A name no font matcher knows falls back by the family bits.
    EXPECT_EQ(FontFor(Face(QStringLiteral("No Such Face 12"), 0x10)).family(), u"serif");
    EXPECT_EQ(FontFor(Face(QStringLiteral("No Such Face 12"), 0x31)).family(), u"monospace");
    EXPECT_EQ(FontFor(Face(QStringLiteral("No Such Face 12"), 0x20)).family(), u"sans-serif");

    // Symbol fonts keep their own text rules and generic faces.
    EXPECT_EQ(FontFor(Face(QStringLiteral("Wingdings"), 0, 2)).family(), u"sans-serif");

    // Installed faces by their own names, in any letter case.
    EXPECT_EQ(DrawnFamily(Face(QStringLiteral("liberation serif"))), u"Liberation Serif");
}

}  // namespace
}  // namespace tamarind::metafile
