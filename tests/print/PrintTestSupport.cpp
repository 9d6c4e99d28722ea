#include "PrintTestSupport.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QPushButton>

#include "app/Cviewer1.h"
#include "picture/Bmp.h"
#include "platform/Guard.h"
#include "print/Set_Prt.h"
#include "shared/ViewerState.h"

namespace tamarind::test {

Bitmap QuartersBitmap(int width, int height) {
    Bitmap b(width, height, 24);
    for (int y = 0; y < height; ++y) {
        uchar* row = b.scanLine(y);
        for (int x = 0; x < width; ++x) {
            const bool right = x >= width / 2, bottom = y >= height / 2;
            const QRgb c = !bottom ? (!right ? qRgb(255, 0, 0) : qRgb(0, 255, 0))
                                   : (!right ? qRgb(0, 0, 255) : qRgb(255, 255, 0));
            row[3 * x] = uchar(qBlue(c));
            row[3 * x + 1] = uchar(qGreen(c));
            row[3 * x + 2] = uchar(qRed(c));
        }
    }
    return b;
}

QString WriteQuartersBmp(const QString& folder, int width, int height) {
    const QString path = QDir(folder).filePath(QStringLiteral("quarters.bmp"));
    WriteBmpFile(path, QuartersBitmap(width, height));
    return path;
}

void PrintSlotPictureCentred(const QString& path, bool expectFailure) {
    const QFileInfo info(path);
    const int slot = Viewer.NextSlot;
    RunGuarded([&] {
        Form1->ShowFolder(info.absolutePath());
        Form1->FillSlotFromList(info.absolutePath() + u'/', info.fileName());
    });
    ASSERT_EQ(Viewer.SlotFileName[slot], info.fileName());
    RunGuarded([&] { Form1->ImageDoubleClick(slot); });
    ASSERT_TRUE(Form6->isVisible());
    if (!Form6->CheckBox3->isChecked()) Form6->CheckBox3->click();
    Form6->Button1->click();
    EXPECT_EQ(Form6->isVisible(), expectFailure);
}

}  // namespace tamarind::test
