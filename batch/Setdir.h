#pragma once
// The destination folder chooser of the batch window's copy and move runs.

#include <QWidget>

namespace tamarind {

class TForm8 : public QWidget {
public:
    explicit TForm8(QWidget* parent = nullptr);
};

extern TForm8* Form8;

}  // namespace tamarind
