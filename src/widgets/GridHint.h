#pragma once

#include <QColor>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace veltry {

// What an application-wide hint-show handler sees, and may change, before a hint shows.
struct THintInfo
{
    QWidget* HintControl = nullptr;  // the widget under the resting pointer
    QPoint CursorPos;                // in HintControl's coordinates
    QString HintStr;                 // starts as the widget's tool tip; empty shows nothing
    QColor HintColor;                // invalid: the palette's tool-tip colour
    QPoint HintPos;                  // global top-left of the hint window, used when HintPosSet
    bool HintPosSet = false;
    // Set by a handler that wants the hint in our own hint window (with its colour and place)
    // rather than as the toolkit's tool tip.
    bool OwnWindow = false;
};

using THintShowHandler = std::function<void(THintInfo&)>;

// The small coloured window a hint is shown in.
class THintWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit THintWindow(QWidget* parent = nullptr);

    void showHint(const QString& text, const QColor& color, const QPoint& globalTopLeft);
    QString text() const { return m_text; }
    QColor color() const { return m_color; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    QColor m_color;
};

// The application-wide hint hook. Qt has no single "hint about to show" handler, so one event
// filter on the application catches every tool-tip request and passes it to the handler installed
// here. A handler that replaces another keeps the old one and calls it after its own work, which
// gives the same chain as a replaced application hint handler; when the handler is the one a
// widget installed, that widget puts back the one it replaced.
class TAppHint final : public QObject
{
    Q_OBJECT

public:
    static THintShowHandler showHintHandler();
    // `owner` identifies who installed the handler, so that only the current owner restores.
    static void setShowHintHandler(THintShowHandler handler, const void* owner = nullptr);
    static const void* showHintHandlerOwner();

    // The hint window while one exists (created at the first own-window hint).
    static THintWindow* hintWindow();
    static bool isHintShowing();
    // Hides a showing hint; the next resting of the pointer asks again.
    static void cancelHint();

    // How long a hint stays up without the pointer moving on.
    static constexpr int kHidePauseMs = 10000;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit TAppHint(QObject* parent);
    ~TAppHint() override;
    static TAppHint* instance(bool create);
    bool showFor(QWidget* widget, const QPoint& pos, const QPoint& globalPos);

    THintShowHandler m_handler;
    const void* m_owner = nullptr;
    QPointer<THintWindow> m_window;
    QPointer<QWidget> m_hintControl;
    QTimer m_hideTimer;
};

} // namespace veltry
