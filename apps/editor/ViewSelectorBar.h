// CViewSelectorBar: the left pane with one button per page and the shown page's text.
#pragma once
#include <QWidget>

class QAbstractButton;
class QLabel;

class CViewSelectorBar : public QWidget {
    Q_OBJECT
public:
    explicit CViewSelectorBar(QWidget* parent = nullptr);
    // Presses the page's button and shows its text; `index` in page order.
    void Select(int index);
    int Selected() const { return m_selected; }

signals:
    void pageSelected(int index);

private:
    QList<QAbstractButton*> m_buttons;
    QLabel* m_infoIcon;
    QLabel* m_text;
    int m_selected = -1;
};
