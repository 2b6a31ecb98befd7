#pragma once

#include <QColor>
#include <QPoint>
#include <QPointer>
#include <QPolygon>
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

namespace veltry {

class TPanelManager;
class TFloatPanel;

// What an OnPanelAction handler is told. The "about to" codes may be refused by setting CanDo
// to false; the others report a change that has already happened.
enum TPanelAction : int {
    paAboutToExpand = 0,
    paCollapsed = 1,
    paAboutToCollapse = 2,
    paExpanded = 3,
    paAboutToFloat = 4,
    paFloated = 5,
    paDocked = 6,
};

// A panel that a TPanelManager stacks, collapses and floats. Any child widget of the manager
// is stacked; only a TMPanel carries its own tab colours and caption and can be floated.
class TMPanel final : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor TabColor READ tabColor WRITE setTabColor)
    Q_PROPERTY(QColor TabHighColor READ tabHighColor WRITE setTabHighColor)
    Q_PROPERTY(QString TabCaption READ tabCaption WRITE setTabCaption)
    Q_PROPERTY(bool ParentTabColor READ parentTabColor WRITE setParentTabColor)
    Q_PROPERTY(bool ArangeButtons READ arangeButtons WRITE setArangeButtons)
    Q_PROPERTY(int FloatX READ floatX WRITE setFloatX)
    Q_PROPERTY(int FloatY READ floatY WRITE setFloatY)
    Q_PROPERTY(bool Floatable READ floatable WRITE setFloatable)

public:
    explicit TMPanel(QWidget* parent = nullptr);
    ~TMPanel() override;

    QColor tabColor() const { return m_tabColor; }
    void setTabColor(const QColor& c);
    QColor tabHighColor() const { return m_tabHighColor; }
    void setTabHighColor(const QColor& c);
    QString tabCaption() const { return m_tabCaption; }
    void setTabCaption(const QString& s);
    bool parentTabColor() const { return m_parentTabColor; }
    void setParentTabColor(bool on);
    bool arangeButtons() const { return m_arangeButtons; }
    void setArangeButtons(bool on);
    int floatX() const { return m_floatX; }
    void setFloatX(int v) { m_floatX = v; }
    int floatY() const { return m_floatY; }
    void setFloatY(int v) { m_floatY = v; }
    // False keeps the panel in the manager: dragging its tab out does nothing.
    bool floatable() const { return m_floatable; }
    void setFloatable(bool on) { m_floatable = on; }

    bool isFloating() const { return m_floating; }
    // The tool window holding this panel while it floats, else null.
    TFloatPanel* floatWindow() const;

    // Lines up the button children in a row (only does something with ArangeButtons on).
    void arrangeButtons();

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    friend class TPanelManager;
    friend class TFloatPanel;

    void repaintManager();

    QColor m_tabColor;
    QColor m_tabHighColor;
    QString m_tabCaption;
    bool m_parentTabColor = true;
    bool m_arangeButtons = false;
    int m_floatX = 0;
    int m_floatY = 0;
    bool m_floatable = true;
    bool m_floating = false;
    bool m_arrangingButtons = false;
    QPointer<TFloatPanel> m_floatWindow;
    // The height the panel had in the stack, given back when it docks again.
    int m_dockedHeight = -1;
};

// The small stay-on-top tool window a panel floats in. Closing it docks the panel again.
class TFloatPanel final : public QWidget
{
    Q_OBJECT

public:
    TFloatPanel(TPanelManager* manager, TMPanel* panel, QWidget* parent);
    ~TFloatPanel() override;

    TMPanel* panel() const { return m_panel; }
    TPanelManager* manager() const { return m_manager; }

protected:
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    friend class TPanelManager;
    friend class TMPanel;

    QPointer<TPanelManager> m_manager;
    QPointer<TMPanel> m_panel;
};

// Stacks its child widgets ("panels") top to bottom. An expanded panel has a narrow vertical tab
// on its left; clicking it collapses the panel, which then appears as a slanted tab with its
// caption in a strip along the bottom; clicking that tab expands it again. Dragging a tab onto
// another moves the panel just above that one; dragging a TMPanel's tab out of the manager floats
// it in a TFloatPanel. The manager fixes its own height to what it shows.
//
// Expanded means shown (not hidden), collapsed means hidden: show() and hide() on a panel expand
// and collapse it directly, without the events, as a program may do when it opens a window.
//
// Events are optional std::function handlers set with setOnPanelChange and setOnPanelAction,
// called with the sender first. OnPanelChange also has the Qt signal panelChanged alongside;
// OnPanelAction has none, because its by-reference CanDo only works with one handler.
// - OnPanelAction(sender, panel, action, CanDo): asked before a tab click expands or collapses a
//   panel and before a drag floats one (CanDo starts true; false refuses and nothing changes),
//   told after each change.
// - OnPanelChange(sender, panel): after every expand or collapse done through the tabs, after the
//   after-the-fact OnPanelAction call; also after a panel floats or docks, since the manager's
//   height changes then too.
class TPanelManager final : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int TabWidth READ tabWidth WRITE setTabWidth)
    Q_PROPERTY(int TabHeight READ tabHeight WRITE setTabHeight)
    Q_PROPERTY(QColor TabColor READ tabColor WRITE setTabColor)
    Q_PROPERTY(QColor TabHighColor READ tabHighColor WRITE setTabHighColor)
    Q_PROPERTY(bool TabHighLight READ tabHighLight WRITE setTabHighLight)

public:
    using PanelChangeEvent = std::function<void(TPanelManager* Sender, QWidget* Panel)>;
    using PanelActionEvent =
        std::function<void(TPanelManager* Sender, QWidget* aPanel, TPanelAction Action, bool& CanDo)>;

    explicit TPanelManager(QWidget* parent = nullptr);
    ~TPanelManager() override;

    int tabWidth() const { return m_tabWidth; }
    void setTabWidth(int w);
    int tabHeight() const { return m_tabHeight; }
    void setTabHeight(int h);
    QColor tabColor() const { return m_tabColor; }
    // Also sets TabHighColor to the light shade derived from it.
    void setTabColor(const QColor& c);
    QColor tabHighColor() const { return m_tabHighColor; }
    void setTabHighColor(const QColor& c);
    bool tabHighLight() const { return m_tabHighLight; }
    void setTabHighLight(bool on);

    // Frame of the manager itself; none by default.
    bool bevelOuter() const { return m_bevelOuter; }
    void setBevelOuter(bool on);
    bool bevelInner() const { return m_bevelInner; }
    void setBevelInner(bool on);
    int bevelWidth() const { return m_bevelWidth; }
    void setBevelWidth(int w);

    // The events; each is optional.
    void setOnPanelChange(PanelChangeEvent handler) { m_onPanelChange = std::move(handler); }
    void setOnPanelAction(PanelActionEvent handler) { m_onPanelAction = std::move(handler); }

    // Each of red, green and blue below 64 is lifted by 192, the others become 255.
    static QColor deriveTabHighColor(const QColor& c);

    // The docked panels in stack order (floating ones are left out).
    QList<QWidget*> panels() const;
    bool isExpanded(const QWidget* panel) const;
    bool isCollapsed(const QWidget* panel) const;

    // Rebuilds the tab table, places the expanded panels and sets the manager's height.
    void arrange();

    // The tab of a docked panel as drawn: a rectangle for an expanded panel, the slanted
    // outline for a collapsed one; empty when the panel is not docked here.
    QPolygon tabPolygon(const QWidget* panel) const;
    // The panel whose tab is at pos, or null. With act, the hit panel is toggled as a tab click
    // would (asking OnPanelAction first) and the panel is returned whether or not it changed.
    QWidget* hitTest(const QPoint& pos, bool act = false);
    // The panel whose tab is drawn hot, or null.
    QWidget* hotPanel() const;

    // Toggles a panel as its tab click would, with the events. Returns false when refused.
    bool togglePanel(QWidget* panel);
    // Floats a docked, floatable TMPanel at screenPos as dragging it out would. Returns the
    // window, or null when refused.
    TFloatPanel* floatPanel(TMPanel* panel, const QPoint& screenPos);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    // Fires alongside OnPanelChange.
    void panelChanged(QWidget* panel);

protected:
    void paintEvent(QPaintEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void leaveEvent(QEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    void changeEvent(QEvent* e) override;
    void childEvent(QChildEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    // Each tab is a stop of the Tab chain; Space or Enter toggles the tab with the focus.
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    bool focusNextPrevChild(bool next) override;
    void keyPressEvent(QKeyEvent* e) override;

public:
    // The docked panel whose tab has the keyboard focus (while the manager has it), else null.
    QWidget* focusedTab() const { return hasFocus() ? m_focusPanel.data() : nullptr; }

private:
    friend class TFloatPanel;
    bool moveTabFocus(int step);

    struct TabEntry
    {
        QPointer<QWidget> panel;
        int start = 0; // vertical extent (expanded) or horizontal extent in the bottom strip
        int end = 0;   // exclusive
        bool collapsed = false;
    };

    bool isStacked(const QWidget* w) const;
    int entryIndex(const QWidget* panel) const;
    int hitIndex(const QPoint& pos) const;
    int bevelInset() const;
    int bevelAllowance() const;
    QRect verticalTabRect(const TabEntry& t) const;
    QPolygon slantedTab(int index) const;
    QColor tabColorOf(const QWidget* panel) const;
    QColor highColorOf(const QWidget* panel) const;
    bool ask(QWidget* panel, TPanelAction action);
    void tell(QWidget* panel, TPanelAction action);
    void notifyChange(QWidget* panel);
    bool expandWithEvents(QWidget* panel);
    bool collapseWithEvents(QWidget* panel);
    void movePanelAbove(QWidget* panel, QWidget* target);
    void setHot(int index);
    void postArrange();
    void dock(TFloatPanel* window);

    void paintVerticalTab(QPainter& p, const TabEntry& t, bool hot) const;
    void paintSlantedTab(QPainter& p, int index, bool hot) const;

    PanelChangeEvent m_onPanelChange;
    PanelActionEvent m_onPanelAction;
    int m_tabWidth = 10;
    int m_tabHeight = 10;
    QColor m_tabColor;
    QColor m_tabHighColor;
    bool m_tabHighLight = false;
    bool m_bevelOuter = false;
    bool m_bevelInner = false;
    int m_bevelWidth = 1;

    // Stack order; survives a panel floating so it docks back into its old place.
    QList<QPointer<QWidget>> m_order;
    std::vector<TabEntry> m_tabs;
    int m_stripRight = 0;  // right edge (exclusive) of the vertical tab strip, 0 without one
    int m_stripTop = 0;    // top of the bottom strip, the height without one
    int m_hot = -1;
    bool m_pressed = false;
    QPoint m_pressPoint;
    QPointer<QWidget> m_pressedPanel;
    bool m_arranging = false;
    bool m_arrangePosted = false;
    QList<QPointer<TFloatPanel>> m_floats;
    QPointer<QWidget> m_focusPanel;
};

} // namespace veltry
