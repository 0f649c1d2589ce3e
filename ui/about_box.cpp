#include "ui/about_box.h"

#include "core/settings.h"
#include "core/texts.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>

namespace {
QPixmap aboutPicture()
{
    QPixmap pixmap(240, 180);
    pixmap.fill(QColor(0, 0, 128));
    QPainter p(&pixmap);
    p.setPen(Qt::white);
    QFont font = p.font();
    font.setPointSize(20);
    font.setBold(true);
    p.setFont(font);
    p.drawText(pixmap.rect(), Qt::AlignCenter, QStringLiteral("FM"));
    return pixmap;
}
}  // namespace

TAboutBox::TAboutBox(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(texts::Extra("AboutCaption"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(240, 180);
    Image1->setPixmap(aboutPicture());
    NameLabel = new QLabel(Settings().AppCaption, this);
    NameLabel->setObjectName(QStringLiteral("NameLabel"));
    VersionLabel = new QLabel(texts::ExtraFormat("AboutVersion", {QStringLiteral("1.0")}), this);
    YearLabel = new QLabel(QStringLiteral("2026"), this);
    BuildLabel = new QLabel(texts::Extra("AboutBuild"), this);
    NoticeLabel = new QLabel(texts::Extra("AboutNotice"), this);
    FolderLabel = new QLabel(texts::ExtraFormat("AboutFolder", {Settings().ProgramDir}), this);
    FolderLabel->setObjectName(QStringLiteral("FolderLabel"));
    FolderLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    OKBtn = new QPushButton(texts::Extra("AboutOK"), this);
    OKBtn->setObjectName(QStringLiteral("OKBtn"));
    OKBtn->setDefault(true);
    connect(OKBtn, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(Image1, 0, 0, 5, 1);
    layout->addWidget(NameLabel, 0, 1);
    layout->addWidget(VersionLabel, 1, 1);
    layout->addWidget(YearLabel, 2, 1);
    layout->addWidget(BuildLabel, 3, 1);
    layout->addWidget(NoticeLabel, 4, 1);
    layout->addWidget(FolderLabel, 5, 0, 1, 2);
    layout->addWidget(OKBtn, 6, 0, 1, 2, Qt::AlignCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}
