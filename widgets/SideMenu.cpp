#include "widgets/SideMenu.h"

#include <QToolButton>
#include <QVBoxLayout>

namespace tegaro {

SideMenu::SideMenu(QWidget* parent) : QWidget(parent)
{
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x80, 0x80, 0x80));
    setPalette(pal);
    layout_ = new QVBoxLayout(this);
    layout_->setContentsMargins(0, 0, 0, 0);
    layout_->setSpacing(1);
    layout_->addStretch(1);
}

int SideMenu::addPanel(const QString& caption, QWidget* body, QVBoxLayout* bodyLayout, bool open)
{
    auto* header = new QToolButton(this);
    header->setText(caption);
    header->setAccessibleName(caption);
    header->setToolButtonStyle(Qt::ToolButtonTextOnly);
    header->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    header->setFixedHeight(20);
    header->setStyleSheet(QStringLiteral(
        "QToolButton { background: #d4d0c8; border: 1px outset #ffffff; font-weight: bold; }"));
    const int index = int(panels_.size());
    panels_.append({header, body, bodyLayout, ItemStyle::LargeIcons, {}});
    // Keep the stretch last.
    layout_->insertWidget(layout_->count() - 1, header);
    layout_->insertWidget(layout_->count() - 1, body, 1);
    body->setVisible(open);
    connect(header, &QToolButton::clicked, this, [this, index] {
        setPanelOpen(index, !isPanelOpen(index));
    });
    return index;
}

int SideMenu::addItemPanel(const QString& caption, ItemStyle style)
{
    auto* body = new QWidget(this);
    auto* bodyLayout = new QVBoxLayout(body);
    bodyLayout->setContentsMargins(2, 4, 2, 4);
    bodyLayout->setSpacing(4);
    bodyLayout->addStretch(1);
    const int index = addPanel(caption, body, bodyLayout, true);
    panels_[index].style = style;
    return index;
}

void SideMenu::addItem(int panel, const QString& caption, const QIcon& icon)
{
    Panel& p = panels_[panel];
    auto* button = new QToolButton(p.body);
    button->setText(caption);
    button->setIcon(icon);
    button->setAutoRaise(true);
    button->setAccessibleName(caption);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    // White on the grey menu; the item under the mouse or pressed gets a
    // darker ground of its own, so its light text stays readable.
    button->setStyleSheet(QStringLiteral(
        "QToolButton { color: white; border: 1px solid transparent; border-radius: 2px; }"
        " QToolButton:hover { color: #ffff80; background: #505050; border-color: #b8b8b8; }"
        " QToolButton:pressed { background: #383838; }"));
    if (p.style == ItemStyle::LargeIcons) {
        button->setIconSize({32, 32});
        button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        button->setFixedHeight(48 + 6);
    } else {
        button->setIconSize({16, 16});
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        button->setFixedHeight(24);
    }
    const int item = int(p.items.size());
    button->setObjectName(QStringLiteral("%1_item%2_%3").arg(objectName()).arg(panel).arg(item));
    p.items.append(button);
    p.bodyLayout->insertWidget(p.bodyLayout->count() - 1, button);
    connect(button, &QToolButton::clicked, this, [this, panel, item] { emit itemClicked(panel, item); });
}

void SideMenu::addItems(int panel, std::initializer_list<ItemSpec> items)
{
    for (const ItemSpec& item : items)
        addItem(panel, QString::fromUtf8(item.caption),
                QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1String(item.icon))));
}

int SideMenu::addHostPanel(const QString& caption, QWidget* hosted, bool open)
{
    auto* body = new QWidget(this);
    auto* bodyLayout = new QVBoxLayout(body);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    hosted->setParent(body);
    bodyLayout->addWidget(hosted);
    return addPanel(caption, body, bodyLayout, open);
}

QString SideMenu::panelCaption(int panel) const { return panels_.value(panel).header->text(); }
bool SideMenu::isPanelOpen(int panel) const { return !panels_[panel].body->isHidden(); }
void SideMenu::setPanelOpen(int panel, bool open) { panels_[panel].body->setVisible(open); }
int SideMenu::itemCount(int panel) const { return int(panels_[panel].items.size()); }
QToolButton* SideMenu::itemButton(int panel, int item) const { return panels_[panel].items.value(item); }
QToolButton* SideMenu::panelHeader(int panel) const { return panels_[panel].header; }

} // namespace tegaro
