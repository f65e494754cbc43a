#pragma once

#include <QAbstractButton>

// A button that looks like a link in running text: its title underlined in the link colour, in its
// own font (the application's unless one is set), and a pointing hand over it. Pressing it does
// not change its look. It clicks like any button; what the link opens is the owner's business.
class LinkTextButton : public QAbstractButton {
    Q_OBJECT

public:
    explicit LinkTextButton(QWidget* parent = nullptr);
    explicit LinkTextButton(const QString& title, QWidget* parent = nullptr);

    // The font the title is drawn in: the widget's font, underlined.
    QFont titleFont() const;
    // The colour the title is drawn in: the link colour, greyed while disabled.
    QColor titleColor() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};
