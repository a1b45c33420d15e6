#pragma once
class QWidget;
namespace tegaro {
// Gives every control under root that has no accessible name one: the text
// of the label that is its buddy, else its own caption, else its object name.
void applyAccessibleNames(QWidget* root);
} // namespace tegaro
