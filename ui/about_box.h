#pragma once
// The About window: a picture, the program's name (AppCaption) and version lines.

#include <QDialog>

class QLabel;
class QPushButton;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* owner);

    QLabel* Image1;
    QLabel* NameLabel;
    QLabel* VersionLabel;
    QLabel* YearLabel;
    QLabel* BuildLabel;
    QLabel* NoticeLabel;
    QLabel* FolderLabel;  // the program folder in use
    QPushButton* OKBtn;
};
