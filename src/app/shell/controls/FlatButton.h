#pragma once

#include <QColor>
#include <QPushButton>

class QGraphicsDropShadowEffect;

// A borderless button drawn as a flat, optionally rounded and bordered shape, configured through
// its properties by the window that places it. Its shape is drawn from a "layer" that starts empty
// (no background, no border, no shadow): each property set later goes to the layer, while the
// initial values below are only stored. While the button is held down the layer shows the
// highlighted background; the plain background comes back with the next paint after release.
class FlatButton : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(QColor backgroundNSColor READ backgroundNSColor WRITE setBackgroundNSColor)
    Q_PROPERTY(QColor highlightedBackgroundNSColor READ highlightedBackgroundNSColor WRITE
                   setHighlightedBackgroundNSColor)
    Q_PROPERTY(QColor borderNSColor READ borderNSColor WRITE setBorderNSColor)
    Q_PROPERTY(QColor textColor READ textColor WRITE setTextColor)
    Q_PROPERTY(double borderWidth READ borderWidth WRITE setBorderWidth)
    Q_PROPERTY(double cornerRadius READ cornerRadius WRITE setCornerRadius)
    Q_PROPERTY(QColor shadowNSColor READ shadowNSColor WRITE setShadowNSColor)
    Q_PROPERTY(float shadowOpacity READ shadowOpacity WRITE setShadowOpacity)

public:
    // What is drawn behind the title.
    struct Layer {
        QColor backgroundColor = Qt::transparent;
        QColor borderColor = Qt::black;
        double borderWidth = 0;
        double cornerRadius = 0;
        QColor shadowColor = Qt::black;
        float shadowOpacity = 0;
    };

    explicit FlatButton(QWidget* parent = nullptr);
    explicit FlatButton(const QString& title, QWidget* parent = nullptr);

    QColor backgroundNSColor() const { return backgroundNSColor_; }
    void setBackgroundNSColor(const QColor& color);
    QColor highlightedBackgroundNSColor() const { return highlightedBackgroundNSColor_; }
    void setHighlightedBackgroundNSColor(const QColor& color);
    QColor borderNSColor() const { return borderNSColor_; }
    void setBorderNSColor(const QColor& color);
    // The title's colour.
    QColor textColor() const { return textColor_; }
    void setTextColor(const QColor& color);
    double borderWidth() const { return borderWidth_; }
    void setBorderWidth(double width);
    double cornerRadius() const { return cornerRadius_; }
    void setCornerRadius(double radius);
    QColor shadowNSColor() const { return shadowNSColor_; }
    void setShadowNSColor(const QColor& color);
    float shadowOpacity() const { return shadowOpacity_; }
    void setShadowOpacity(float opacity);

    const Layer& layer() const { return layer_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateShadow();

    QColor backgroundNSColor_ = Qt::transparent;
    QColor highlightedBackgroundNSColor_ = Qt::transparent;
    QColor borderNSColor_ = Qt::transparent;
    QColor textColor_;
    double borderWidth_ = 0;
    double cornerRadius_ = 0;
    QColor shadowNSColor_ = Qt::black;
    float shadowOpacity_ = 1.0f;
    Layer layer_;
    QGraphicsDropShadowEffect* shadow_ = nullptr;
};
