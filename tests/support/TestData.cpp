#include "TestData.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

namespace tamarind::test {

QString TestDataDir() {
    const QByteArray env = qgetenv("TAMARIND_TESTDATA");
    for (const QString& candidate :
         {QString::fromLocal8Bit(env), QStringLiteral(TAMARIND_TESTDATA_GUESS),
          QStringLiteral("/work/shared/testdata")}) {
        if (!candidate.isEmpty() && QFileInfo(candidate + QStringLiteral("/README.md")).exists())
            return QDir(candidate).absolutePath();
    }
    return {};
}

QString TestDataPath(const QString& relative) {
    const QString dir = TestDataDir();
    EXPECT_FALSE(dir.isEmpty()) << "shared test pictures not found (set TAMARIND_TESTDATA)";
    return dir + u'/' + relative;
}

}  // namespace tamarind::test
