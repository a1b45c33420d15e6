#pragma once
// Property rows (caption and text) above a ten-button record navigator.
// The buttons only report which action was asked for; the owner binds them
// to a record set.
#include <QFrame>
#include <QList>

class QLineEdit;
class QToolButton;

namespace tegaro {

class NavigatorPanel : public QFrame {
    Q_OBJECT
public:
    enum Action {
        First,
        Prior,
        Next,
        Last,
        Insert,
        Delete,
        Edit,
        Post,
        Cancel,
        Refresh
    };
    static constexpr int ActionCount = 10;

    explicit NavigatorPanel(QWidget* parent = nullptr);

    // A text row with its caption; returns the editor so the owner can bind it.
    QLineEdit* addRow(const QString& caption);
    int rowCount() const { return int(rows_.size()); }
    QLineEdit* rowEditor(int row) const { return rows_.value(row); }
    QString rowCaption(int row) const;

    QToolButton* button(Action action) const { return buttons_.value(action); }
    void setButtonSize(int pixels);
    int buttonSize() const { return buttonSize_; }

    static constexpr int RowHeight = 20;
    static constexpr int CaptionWidth = 75;

signals:
    void actionTriggered(int action);

private:
    QWidget* rowsArea_;
    QList<QLineEdit*> rows_;
    QList<QString> captions_;
    QList<QToolButton*> buttons_;
    int buttonSize_ = 0;
};

} // namespace tegaro
