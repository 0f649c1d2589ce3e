#pragma once
// An engraved label: the text drawn first in the shadow colour one pixel right and down,
// then in the font colour (grey when disabled).

#include <QLabel>

class TLabel3D : public QLabel {
    Q_OBJECT
public:
    explicit TLabel3D(const QString& text, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
