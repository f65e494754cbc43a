#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>

class QFrame;
class QGridLayout;
class QHBoxLayout;
class QPushButton;

// One pane of the preferences window (or one of its sheets): a controller that builds its view on
// first use and hears when it is about to be shown. The view keeps the size it was designed at
// until a window lays it out, so the window can grow or shrink to each pane. Main thread only.
class PreferencesPane : public QObject {
    Q_OBJECT

public:
    explicit PreferencesPane(QObject* parent = nullptr);
    ~PreferencesPane() override;

    // Built on first use, then viewDidLoad() runs once.
    QWidget* view();
    bool isViewLoaded() const { return !view_.isNull(); }

    virtual void viewWillAppear() {}

    // Shows the view as a sheet on `window` (application-modal without one); viewWillAppear runs
    // first. dismissController() closes it, and dismissed() follows.
    void presentAsSheet(QWidget* window);
    Q_INVOKABLE void dismissController(QObject* sender = nullptr);

    // The width every pane is designed at.
    static constexpr int designedWidth = 560;

signals:
    void dismissed();

protected:
    virtual QWidget* loadView() = 0;
    virtual void viewDidLoad() {}
    // The designed width and the height the view's layout asks for.
    virtual QSize designedSize(QWidget* view) const;

private:
    QPointer<QWidget> view_;
};


// Lets the grid row holding `cell` span every column of the grid, as one cell. A widget that is not
// in the grid is left alone.
void mergeRowAcrossColumns(QGridLayout* grid, QWidget* cell);

// A thin horizontal line between groups of a pane.
QFrame* makeSeparatorLine(QWidget* parent);

// The bottom row of a sheet: the help button at the left, the cautious and the default button at
// the right. The caller connects them.
struct SheetButtons {
    QHBoxLayout* layout = nullptr;
    QPushButton* help = nullptr;
    QPushButton* cancel = nullptr;
    QPushButton* confirm = nullptr;
};
SheetButtons makeSheetButtons(QWidget* parent, const QString& cancelTitle, const QString& confirmTitle);
