#pragma once
// A side menu of stacked panels. Each panel has a header that opens and
// closes it, and holds either a list of items (large 32 x 32 icons above
// their captions, or small icons beside them) or one hosted control.
#include <QIcon>
#include <QList>
#include <QWidget>

#include <initializer_list>

class QToolButton;
class QVBoxLayout;

namespace tegaro {

class SideMenu : public QWidget {
    Q_OBJECT
public:
    enum class ItemStyle {
        LargeIcons,
        SmallIcons
    };

    explicit SideMenu(QWidget* parent = nullptr);

    // Returns the index of the new panel.
    int addItemPanel(const QString& caption, ItemStyle style);
    void addItem(int panel, const QString& caption, const QIcon& icon);
    // Items with pictures from the program's resources (":/icons/<name>.svg").
    struct ItemSpec {
        const char* caption;
        const char* icon;
    };
    void addItems(int panel, std::initializer_list<ItemSpec> items);
    int addHostPanel(const QString& caption, QWidget* hosted, bool open);

    int panelCount() const { return int(panels_.size()); }
    QString panelCaption(int panel) const;
    bool isPanelOpen(int panel) const;
    void setPanelOpen(int panel, bool open);
    int itemCount(int panel) const;
    QToolButton* itemButton(int panel, int item) const;
    QToolButton* panelHeader(int panel) const;

signals:
    void itemClicked(int panel, int item);

private:
    struct Panel {
        QToolButton* header = nullptr;
        QWidget* body = nullptr;
        QVBoxLayout* bodyLayout = nullptr;
        ItemStyle style = ItemStyle::LargeIcons;
        QList<QToolButton*> items;
    };
    int addPanel(const QString& caption, QWidget* body, QVBoxLayout* bodyLayout, bool open);

    QVBoxLayout* layout_;
    QList<Panel> panels_;
};

} // namespace tegaro
