#pragma once

#include <QLineEdit>

// A field whose text shows whether it is enabled: the label colour while enabled, the disabled
// control text colour while not, whether it was switched itself or through its parent.
class DisableableTextField : public QLineEdit {
    Q_OBJECT

public:
    explicit DisableableTextField(QWidget* parent = nullptr);
    explicit DisableableTextField(const QString& text, QWidget* parent = nullptr);

    // The colour the text is drawn in now.
    QColor textColor() const;

protected:
    void changeEvent(QEvent* event) override;

private:
    void updateTextColor();
};
