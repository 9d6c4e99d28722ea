// Slots and the desktop's thumbnail cache, on real files in a cache folder of
// the test's own: entries written after a decode and shown on the next
// visit, stale entries replaced, failed files refused until they
// change, and stand-ins (the camera's thumbnail) that always give way.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QTemporaryDir>
#include <set>

#include "CameraJpeg.h"
#include "PictureFiles.h"
#include "ScriptedDialogs.h"
#include "app/Application.h"
#include "app/Cviewer1.h"
#include "app/SlotCache.h"
#include "app/SlotLoader.h"
#include "picture/Jpeg.h"
#include "platform/FileIo.h"
#include "platform/FolderControls.h"
#include "platform/Guard.h"
#include "shared/PictureBox.h"
#include "shared/ViewerState.h"

using namespace tamarind;
using tamarind::test::ScriptedDialogs;

namespace {

QByteArray SolidJpeg(QSize size, QRgb colour) {
    Bitmap b(size.width(), size.height(), 24);
    for (int y = 0; y < size.height(); ++y) {
        uchar* p = b.scanLine(y);
        for (int x = 0; x < size.width(); ++x, p += 3)
            p[0] = uchar(qBlue(colour)), p[1] = uchar(qGreen(colour)), p[2] = uchar(qRed(colour));
    }
    return EncodeJpeg(b, 90);
}

QImage Solid(QSize size, QRgb colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Whether a colour is near another (JPEG leaves a level or two off).
bool Near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) < 12 && std::abs(qGreen(a) - qGreen(b)) < 12 &&
           std::abs(qBlue(a) - qBlue(b)) < 12;
}

const QRgb kBlue = qRgb(20, 40, 200), kRed = qRgb(230, 10, 10), kGreen = qRgb(10, 200, 30);

// Notes the slots that paint a stand-in.
class StandInWatch : public QObject {
  public:
    std::set<PictureBox*> painted;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* box = static_cast<PictureBox*>(watched);
        if (event->type() == QEvent::Paint && box->ShowsPlaceholder()) painted.insert(box);
        return false;
    }
};

class SlotCache : public ::testing::Test {
  protected:
    void SetUp() override {
        previousCache_ = qgetenv("XDG_CACHE_HOME");
        qputenv("XDG_CACHE_HOME", EncodePath(cache_.path()));
    }
    void TearDown() override {
        SetSlotDecoder({});
        SetPictureOptions({});
        DestroyForms();
        qputenv("XDG_CACHE_HOME", previousCache_);
    }
    // 2 x 2 in a 1000 x 700 grid: a 1600 x 1200 picture gets a 386 x 290
    // box, whose entries are of the x-large class.
    void Start(bool continuous = false) {
        Viewer = ViewerState{};
        CreateForms({"4", continuous ? "1" : "0"});
        form = Form1;
        form->show();  // stand-ins are painted at once
        Viewer.GridWidth = 1000;
        Viewer.GridHeight = 700;
        form->ApplyLayout(4);
        RunGuarded([&] { form->ShowFolder(dir_.path()); });
    }
    QString Put(const QString& name, const QByteArray& bytes) {
        const QString path = QDir(dir_.path()).filePath(name);
        WriteFileBytes(path, bytes);
        return path;
    }
    void ClickFile(int row) {
        form->FileListBox1->SelectRow(row);
        RunGuarded([&] { form->FLB1_Click(); });
    }
    CachedFile Cached(const QString& path) { return CachedFileOf(path).value_or(CachedFile{}); }
    QString Entry(const QString& path, const char* folder = "x-large") {
        return QDir(ThumbnailCacheFolder())
            .filePath(QString::fromLatin1(folder) + u'/' +
                      QString::fromLatin1(Cached(path).entryName));
    }
    QRgb Middle(int slot) {
        const QImage& image = form->SlotImage(slot)->ScaledImage();
        return image.isNull() ? 0 : image.pixel(image.width() / 2, image.height() / 2);
    }

    QTemporaryDir dir_, cache_;
    QByteArray previousCache_;
    TForm1* form = nullptr;
    ScriptedDialogs dialogs;
};

TEST_F(SlotCache, ADecodedSlotLeavesAValidEntryThatTheNextVisitShows) {
    const QString path = Put(QStringLiteral("旅行 写真#1.jpg"), SolidJpeg({1600, 1200}, kBlue));
    Start();
    ClickFile(0);
    FinishThumbnailWrites();
    // The entry the desktop's programs look for: the x-large class covers the box.
    const QString entry = Entry(path);
    ASSERT_TRUE(QFileInfo::exists(entry)) << entry.toStdString();
    struct stat st {};
    ASSERT_EQ(::stat(EncodePath(entry).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    const QImage written(entry);
    EXPECT_EQ(written.size(), QSize(512, 384));
    EXPECT_EQ(written.text(QStringLiteral("Thumb::URI")).toLatin1(), FileUri(path));
    EXPECT_EQ(written.text(QStringLiteral("Thumb::MTime")), QString::number(Cached(path).mtime));
    EXPECT_EQ(written.text(QStringLiteral("Thumb::Image::Width")), QStringLiteral("1600"));
    EXPECT_TRUE(Near(written.pixel(100, 100), kBlue));
    EXPECT_FALSE(QFileInfo::exists(Entry(path, "large")));

    // What the next visit shows is the entry itself (here made red to tell),
    // reduced to the box; the caption still comes from the file.
    ASSERT_TRUE(WriteThumbnail(Cached(path), kThumbnailXLarge, Solid({512, 384}, kRed),
                               QSize(1600, 1200), "image/jpeg", ProgramThumbnailWriter()));
    ClickFile(0);
    EXPECT_EQ(form->SlotImage(2)->size(), QSize(386, 290));
    EXPECT_TRUE(Near(Middle(2), kRed));
    EXPECT_EQ(form->SizeCaption(2)->text(), QStringLiteral("W= 1600, H= 1200 [Pixel]"));
    // Another program's entry, or one too small for the box, is only a
    // stand-in: the file is decoded.
    ASSERT_TRUE(WriteThumbnail(Cached(path), kThumbnailXLarge, Solid({512, 384}, kRed),
                               QSize(1600, 1200), "image/jpeg", {"Other 1.0", "other-1.0"}));
    ClickFile(0);
    EXPECT_TRUE(Near(Middle(3), kBlue));
}

TEST_F(SlotCache, EntriesAreKeptUprightAndShownAsTheOptionsSay) {
    const QSize stored(1600, 1200);
    const QString path =
        Put(QStringLiteral("turned.jpg"),
            test::WithExifOrientation(EncodeJpeg(test::QuarterPicture(1600, 1200), 90), 6));
    Start();
    SetPictureOptions({.upright = true});
    ClickFile(0);
    FinishThumbnailWrites();
    // The desktop's programs see the entry upright.
    EXPECT_TRUE(test::ShowsQuarters(QImage(Entry(path)), stored, 6));
    // From the cache, upright or as stored.
    auto boxOf = [](QSize box) { return [box](QSize) { return box; }; };
    EXPECT_TRUE(test::ShowsQuarters(PreviewSlotFile(path, boxOf({217, 290})).picture, stored, 6));
    ClickFile(0);
    EXPECT_EQ(form->SlotImage(2)->size(), QSize(217, 290));
    EXPECT_TRUE(test::ShowsQuarters(form->SlotImage(2)->ScaledImage(), stored, 6));
    SetPictureOptions({});
    EXPECT_TRUE(test::ShowsQuarters(PreviewSlotFile(path, boxOf({386, 290})).picture, stored, 1));
    ClickFile(0);
    EXPECT_EQ(form->SlotImage(3)->size(), QSize(386, 290));
    EXPECT_TRUE(test::ShowsQuarters(form->SlotImage(3)->ScaledImage(), stored, 1));
}

TEST_F(SlotCache, AStaleEntryIsIgnoredAndReplaced) {
    const QString path = Put(QStringLiteral("a.jpg"), SolidJpeg({1600, 1200}, kBlue));
    Start();
    CachedFile stale = Cached(path);
    stale.mtime -= 100;
    ASSERT_TRUE(WriteThumbnail(stale, kThumbnailXLarge, Solid({512, 384}, kRed), QSize(1600, 1200),
                               "image/jpeg", ProgramThumbnailWriter()));
    ClickFile(0);
    EXPECT_TRUE(Near(Middle(1), kBlue));
    FinishThumbnailWrites();
    auto found = FindThumbnail(Cached(path), QSize(386, 290), ProgramThumbnailWriter());
    ASSERT_TRUE(found.has_value());
    EXPECT_TRUE(Near(found->image.pixel(10, 10), kBlue));
}

TEST_F(SlotCache, TheCamerasThumbnailStandsInUntilTheDecodeAndGoesWhenItFails) {
    // Blue pictures whose camera thumbnail is red, in 4:3 for a 3:2 picture.
    for (const char* name : {"a.jpg", "b.jpg"})
        Put(QString::fromLatin1(name),
            test::WithExifThumbnail(SolidJpeg({1500, 1000}, kBlue), SolidJpeg({160, 120}, kRed)));
    Start();
    bool standIn = false;
    QSize standInSize;
    bool fail = false;
    const SlotDecoder real = CurrentSlotDecoder();
    SetSlotDecoder([&](const QString& path, const BoxForSize& boxFor, const SlotPreview& preview) {
        standIn = form->SlotImage(Viewer.NextSlot)->ShowsPlaceholder();
        standInSize = form->SlotImage(Viewer.NextSlot)->size();
        if (fail) throw TamarindError(QStringLiteral("JPEG エラー #1"));
        return real(path, boxFor, preview);
    });
    ClickFile(0);
    EXPECT_TRUE(standIn);
    EXPECT_EQ(standInSize, QSize(435, 290));  // the picture's box, not the thumbnail's
    EXPECT_FALSE(form->SlotImage(1)->ShowsPlaceholder());
    EXPECT_TRUE(Near(Middle(1), kBlue));

    // A failed decode leaves the slot as it was.
    const QSize before = form->SlotImage(2)->size();
    fail = true;
    ClickFile(1);
    EXPECT_TRUE(standIn);
    EXPECT_FALSE(form->SlotImage(2)->ShowsPlaceholder());
    EXPECT_FALSE(form->SlotImage(2)->HasPicture());
    EXPECT_EQ(form->SlotImage(2)->size(), before);
    EXPECT_EQ(dialogs.messages().size(), 1u);
}

TEST_F(SlotCache, StandInsOfARunGoUpAtOnceAndNoneOutlivesAFailure) {
    for (int i = 1; i <= 4; ++i)
        Put(QStringLiteral("f%1.jpg").arg(i),
            test::WithExifThumbnail(SolidJpeg({1500, 1000}, kBlue), SolidJpeg({160, 120}, kRed)));
    Start(true);
    StandInWatch watch;
    for (int slot = 1; slot <= 4; ++slot) form->SlotImage(slot)->installEventFilter(&watch);
    const QSize emptySize = form->SlotImage(4)->size();
    const SlotDecoder real = CurrentSlotDecoder();
    SetSlotDecoder([&](const QString& path, const BoxForSize& boxFor, const SlotPreview& preview) {
        if (path.endsWith(QStringLiteral("f3.jpg")))
            throw TamarindError(QStringLiteral("JPEG エラー #1"));
        return real(path, boxFor, preview);
    });
    ClickFile(0);
    EXPECT_EQ(watch.painted.size(), 4u);  // every slot showed its stand-in
    for (int slot = 1; slot <= 4; ++slot) EXPECT_FALSE(form->SlotImage(slot)->ShowsPlaceholder());
    EXPECT_TRUE(Near(Middle(1), kBlue));
    EXPECT_TRUE(Near(Middle(2), kBlue));
    EXPECT_FALSE(form->SlotImage(3)->HasPicture());
    EXPECT_EQ(form->SlotImage(4)->size(), emptySize);
    EXPECT_EQ(dialogs.messages().size(), 1u);
}

TEST_F(SlotCache, AFileThatFailedIsRefusedUntilItChanges) {
    const QString path = Put(QStringLiteral("bad.jpg"), QByteArray("\xff\xd8\xff\xdb garbage", 12));
    Start();
    ClickFile(0);
    FinishThumbnailWrites();
    ASSERT_EQ(dialogs.messages().size(), 1u);
    const QString message = dialogs.messages()[0];
    EXPECT_TRUE(message.startsWith(QStringLiteral("JPEG エラー #")));
    // (the message box adds the full stop)
    EXPECT_EQ(RecordedThumbnailFailure(Cached(path), ProgramThumbnailWriter()).value_or("") + u'.',
              message);
    // While the record stands, its message is given without decoding again.
    ASSERT_TRUE(WriteThumbnailFailure(Cached(path), QStringLiteral("JPEG エラー #99"),
                                      ProgramThumbnailWriter()));
    ClickFile(0);
    ASSERT_EQ(dialogs.messages().size(), 2u);
    EXPECT_EQ(dialogs.messages()[1], QStringLiteral("JPEG エラー #99."));
    // Repaired: tried again.
    WriteFileBytes(path, SolidJpeg({64, 48}, kGreen));
    ClickFile(0);
    EXPECT_EQ(dialogs.messages().size(), 2u);
    EXPECT_TRUE(Near(Middle(1), kGreen));
}

}  // namespace
