#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

class ConnectionDoctorViewController;
class QWidget;

// The connection doctor's window, made by the "Debug" storyboard. Main thread only.
class ConnectionDoctorWindowController : public QObject {
    Q_OBJECT

public:
    static inline const QString storyboardName = QStringLiteral("Debug");
    static inline const QString storyboardIdentifier = QStringLiteral("ConnectionDoctorWindowController");

    explicit ConnectionDoctorWindowController(QObject* parent = nullptr);
    ~ConnectionDoctorWindowController() override;

    QWidget* window();
    // The window's content; it takes the sync controller.
    ConnectionDoctorViewController* contentViewController() const { return contentViewController_; }
    void showWindow(QObject* sender = nullptr);

private:
    ConnectionDoctorViewController* contentViewController_;
    QPointer<QWidget> window_;
};

// Registers the "Debug" storyboard's scenes.
void registerConnectionDoctorScenes();
