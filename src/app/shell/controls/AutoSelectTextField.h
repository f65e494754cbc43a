#pragma once

#include <QLineEdit>

// A field that selects its whole text when clicked, for values that are copied as a whole (a share
// link, a key). The selection is made when the button goes down and again when it comes up, so a
// drag in between does not leave a partial selection.
class AutoSelectTextField : public QLineEdit {
    Q_OBJECT

public:
    explicit AutoSelectTextField(QWidget* parent = nullptr);
    explicit AutoSelectTextField(const QString& text, QWidget* parent = nullptr);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};
