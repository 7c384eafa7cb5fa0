// A row of tabs over a panel. The pages are not its children: they are the window's, laid over
// the panel's client area, and the one in front is the one the user sees.
#pragma once

#include <QRect>
#include <QWidget>

class QTabBar;

namespace tessarel {

class TabStrip : public QWidget {
    Q_OBJECT
  public:
    explicit TabStrip(QWidget* parent);

    void addTab(const QString& caption, const QString& key);
    int selectedTab() const;  // 1 for the first tab
    QString selectedKey() const;
    // The region below the tabs, in the coordinates of the strip's container.
    QRect clientArea() const;
    QTabBar* bar() const { return bar_; }

  signals:
    void clicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    QTabBar* bar_;
};

}  // namespace tessarel
